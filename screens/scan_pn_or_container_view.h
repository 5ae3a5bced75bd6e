#pragma once

#include "model/send_result.h"
#include "model/work_kinds.h"
#include "widgets/korvo_view.h"

class CImageButton;
class CScanField;
class QLabel;

// Route mode's hub: the current route with its new, in-progress and done
// notes, and four ways to a note: its number, a container label, the next new
// note (Scan next) or one of the three lists. Save opens the note found.
class CScanPnOrContainerView : public KorvoView {
    Q_OBJECT
public:
    static constexpr int kSaveButtonId = 1231;
    static constexpr int kBackButtonId = 1232;

    CScanPnOrContainerView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

protected:
    bool handleKey(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The raised keypad leaves room for the fields; the done row waits below it.
    void resizeEvent(QResizeEvent* event) override;

private:
    struct CountRow {
        QLabel* count;
        QLabel* caption;
    };
    CountRow makeCountRow(const char* name);
    void placeControls();
    // Title, counters and the buttons they steer, from the current route.
    void showRoute();
    void updateSaveState();
    void lookUpNote();
    void lookUpContainer();
    void scanNext();
    SendResult sendPackingNote(NoteAction action, const QString& number);

    bool noteReady_ = false;      // a note was found by number or taken with Scan next
    bool containerReady_ = false; // the back office accepted a container

    QLabel* noteCaption_;
    CScanField* note_;
    CountRow new_;
    CImageButton* scanNext_;
    CImageButton* newList_;
    CountRow inProgress_;
    CImageButton* inProgressList_;
    QLabel* containerCaption_;
    CScanField* container_;
    CountRow done_;
    CImageButton* doneList_;
    CImageButton* save_;
    CImageButton* back_;
};
