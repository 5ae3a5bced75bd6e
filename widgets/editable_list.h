#pragma once

#include <QLineEdit>
#include <QPointer>
#include <QTreeView>

class CKorvoDoc;

// The in-place editor of one cell: at most four characters.
class CCellEditor : public QLineEdit {
    Q_OBJECT
public:
    CCellEditor(int row, int column, const QString& text, QWidget* parent);

    int row() const { return row_; }
    int column() const { return column_; }
    const QString& startText() const { return startText_; }

signals:
    // Enter and focus loss keep the text; Escape cancels.
    void finished(bool cancelled);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    int row_;
    int column_;
    QString startText_;
};

// A report-style list whose quantity cells can be edited in place: a tap on an
// unselected row selects it; a tap on the selected row opens an editor on the
// cell when the screen allows editing that column. The rows come from its
// model; an ended edit writes the typed text into the cell through the model.
class CEditableList : public QTreeView {
    Q_OBJECT
public:
    CEditableList(CKorvoDoc& doc, int screenId, QWidget* parent = nullptr);

    // The one column a screen may edit, or -1.
    static int EditableColumn(int screenId);

    CCellEditor* editor() const { return editor_; }
    int rowCount() const;
    // The text a cell shows.
    QString cellText(int row, int column) const;
    // Makes `row` current and selected.
    void setCurrentRow(int row);
    // Opens the editor on a cell when the rules allow; true when it opened.
    bool startEdit(int row, int column);
    // Ends an open edit as Enter would (cancelled: as Escape would).
    void endEdit(bool cancelled);

signals:
    // The edit ended: the text typed (empty when cancelled). Sent before the
    // list writes the text into the cell.
    void labelEditEnded(int row, int column, const QString& text, bool cancelled);
    // The editor has closed and the cell holds its final text.
    void cellEditClosed(int row, int column);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void tap(int row, int column);
    void fitEditor();
    QRect cellRect(int row, int column) const;

    CKorvoDoc& doc_;
    int screenId_;
    QPointer<CCellEditor> editor_;
    bool ending_ = false;
};
