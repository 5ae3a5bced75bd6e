#pragma once

#include "model/send_result.h"
#include "model/work_kinds.h"
#include "widgets/korvo_view.h"

#include <cstdint>

class CImageButton;
class CScanField;
class QLabel;

// Packing-note mode's entry: the worker scans or types the number printed on a
// note; once the back office knows it, the navigation opens the note.
class CScanPackingNoteView : public KorvoView {
    Q_OBJECT
public:
    static constexpr int kBackButtonId = 1251;

    CScanPackingNoteView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

protected:
    bool handleKey(QKeyEvent* event) override;

private:
    void lookUp();
    // The packing-note request for the number in the field, with `action`.
    SendResult sendPackingNote(NoteAction action);

    QLabel* caption_;
    CScanField* note_;
    CImageButton* back_;
};
