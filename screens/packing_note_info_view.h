#pragma once

#include "widgets/korvo_view.h"

class CImageButton;
class CScanField;
class QLabel;
class QPlainTextEdit;
class QPushButton;

// The header of the current packing note (customer, department and collection
// point, transport article, remark) where the worker scans the containers he
// packs the note into. He can read the note's instructions and its container
// list, step through the list the note came from, and go on to its lines.
class CPackingNoteInfoView : public KorvoView {
    Q_OBJECT
public:
    static constexpr int kSaveButtonId = 1201;
    static constexpr int kBackButtonId = 1202;
    static constexpr int kPreviousButtonId = 1203;
    static constexpr int kNextButtonId = 1204;
    static constexpr int kInstructionsButtonId = 1205;

    CPackingNoteInfoView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

    CScanField* containerField() const { return containerField_; }

protected:
    bool handleKey(QKeyEvent* event) override;

private:
    // Shows the current note: header, containers, the step buttons; the
    // container field is emptied and focused.
    void showNote();
    void showContainers();
    void updateStepping();
    void scanContainer();
    // Makes the listed note `step` away from the current one current and loads it.
    void stepNote(int step);
    void showInstructions();
    void showContainerList();

    QLabel* customer_;
    QLabel* department_;
    QLabel* transport_;
    QPlainTextEdit* remark_;
    QLabel* containerCaption_;
    CScanField* containerField_;
    QLabel* containerCount_;
    QPushButton* showContainers_;
    CImageButton* save_;
    CImageButton* back_;
    CImageButton* previous_;
    CImageButton* next_;
    CImageButton* instructions_;
};
