#pragma once

#include "model/day_choice.h"
#include "widgets/korvo_view.h"

#include <QDate>
#include <QString>
#include <array>

class CImageButton;
class QLineEdit;

// The day whose routes the worker packs: the seven days of the current week,
// Monday at the top, or of the week before or after it. OK stores the chosen
// day; the navigation then fetches its routes.
class CDaySelectionView : public KorvoView {
    Q_OBJECT
public:
    static constexpr int kOkButtonId = 1211;
    static constexpr int kBackButtonId = 1212;
    static constexpr int kPreviousWeekButtonId = 1213;
    static constexpr int kNextWeekButtonId = 1214;

    CDaySelectionView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

    WeekShown weekShown() const { return week_; }
    // The day field of a weekday (1 Monday ... 7 Sunday).
    QLineEdit* dayField(int weekday) const;

protected:
    bool handleKey(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Back to the current week: today's week, today or the day a key chose.
    void initialise();
    void showWeek(WeekShown week);
    void focusDay(int weekday);
    void weekButton(bool back);
    void stepDays(bool up);
    int focusedDay() const;

    bool startAtToday_ = true;
    WeekShown week_ = WeekShown::Current;
    // The day the captions were computed from: OK stores the day the worker saw.
    QDate today_;
    QString picture_;

    std::array<QLineEdit*, 7> days_{};
    CImageButton* ok_;
    CImageButton* back_;
    CImageButton* previousWeek_;
    CImageButton* nextWeek_;
};
