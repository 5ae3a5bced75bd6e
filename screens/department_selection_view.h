#pragma once

#include "widgets/korvo_view.h"

#include <QString>
#include <cstdint>
#include <vector>

class CImageButton;
class QComboBox;
class QLabel;
class QLineEdit;

// The first workflow screen: the worker picks his packing department (route
// mode) and, when the plant wants it, identifies himself by his employee
// number, which the back office confirms. In packing-note mode only the
// employee number is asked.
class CDepartmentSelectionView : public KorvoView {
    Q_OBJECT
public:
    static constexpr int kSaveButtonId = 1201;
    static constexpr int kBackButtonId = 1202;

    CDepartmentSelectionView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

protected:
    bool handleKey(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void fillDepartments();
    void placeControls();
    bool saveEnabled() const;
    void updateSaveState();
    void lookUpEmployee();

    bool routeMode_ = true;
    bool employeeWanted_ = false;
    // The ids behind the combo's rows, as they were shown.
    std::vector<std::int32_t> departmentIds_;
    // The number the back office last answered for (found or not found); a
    // failed exchange leaves it, so the same number can be tried again.
    QString lastAnswered_;

    QLabel* departmentCaption_;
    QComboBox* department_;
    QLabel* employeeCaption_;
    QLineEdit* employeeNumber_;
    QLabel* employeeName_;
    CImageButton* save_;
    CImageButton* back_;
};
