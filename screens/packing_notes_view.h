#pragma once

#include "model/entry_rules.h"
#include "widgets/korvo_view.h"

#include <cstddef>

class CImageButton;
class QTreeWidget;
struct PackingNote;

// The notes of the current route in one state: new and in-progress notes are
// opened from here, done notes reprinted.
class CPackingNotesView : public KorvoView {
    Q_OBJECT
public:
    static constexpr int kSaveButtonId = 1241;
    static constexpr int kPrintButtonId = 1242;
    static constexpr int kBackButtonId = 1243;

    CPackingNotesView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent = nullptr);

    void activate() override;
    QString runOperation(ScreenOperation operation) override;

    NoteListKind kind() const { return kind_; }
    QTreeWidget* list() const { return list_; }

protected:
    bool handleKey(QKeyEvent* event) override;

private:
    // The note of the selected row, or null.
    const PackingNote* selectedNote() const;
    void updatePrintState();
    QString takeNote();
    QString printNote();

    NoteListKind kind_ = NoteListKind::New;
    NoteListLook look_{};
    int selected_ = 0;
    std::size_t rows_ = 0; // notes shown

    QTreeWidget* list_;
    CImageButton* save_;
    CImageButton* print_;
    CImageButton* back_;
};
