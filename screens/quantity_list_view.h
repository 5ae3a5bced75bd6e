#pragma once

#include "model/records.h"
#include "model/send_result.h"
#include "widgets/korvo_view.h"
#include "widgets/quantity_table.h"

#include <QStyledItemDelegate>
#include <functional>
#include <vector>

class CEditableList;
class QLineEdit;

// Draws a quantity list's cells: a cell with colours of its own (the coloured
// quantity) keeps them in the selected row too.
class QuantityDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    // The text and background colours a cell is drawn in.
    std::pair<QColor, QColor> cellColours(const QModelIndex& index) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};

// The delivered-products and counting screens share this: the title with the
// note number, a list of lines with one quantity column edited in place (the
// range rule applied at the end of each edit), and the selected line's
// description, code, size and second description below it.
class CQuantityListView : public KorvoView {
    Q_OBJECT
public:
    CEditableList* list() const { return list_; }
    // The row whose details are shown.
    int selectedRow() const { return selectedRow_; }

protected:
    struct Column {
        const char* captionKey;
        double fraction;
        QuantityColumn shows;
    };

    CQuantityListView(ScreenFrame& frame, CKorvoDoc& doc, int screenId, bool colourQuantity,
                      QWidget* parent);

    // The lines the list shows; null when the work state has none.
    virtual std::vector<packingnoteline>* lines() = 0;
    // Runs after every edit of a cell has ended.
    virtual void cellEdited() {}

    void setNoteTitle();
    // Sets the columns and one row per line; the first row is selected.
    void fillList(const std::vector<Column>& columns);
    // Every line's edited quantity and QD become its quantity cell's number and
    // `send` takes them to the back office. An edit still open ends first, so
    // what the worker typed counts; when the back office does not take them
    // the lines keep what it had, so the cells still count as unsaved.
    SendResult sendQuantities(const std::function<SendResult()>& send);
    bool editing() const;
    // Ends an edit still open as Enter would, so that what the worker typed
    // counts (and its range question comes) before the screen acts or leaves.
    void finishEdit();
    int lineCount();

    void resizeEvent(QResizeEvent* event) override;

private:
    void showDetails(int row);
    void onEditEnded(int row, int column, const QString& text, bool cancelled);
    void onEditClosed(int row, int column);
    void placeControls();

    int quantityColumn_;
    CEditableList* list_;
    QuantityTable* table_;
    QuantityDelegate* delegate_;
    QLineEdit* description_;
    QLineEdit* code_;
    QLineEdit* size_;
    QLineEdit* secondDescription_;
    int selectedRow_ = 0;

    // The edit that is ending: what was typed and what the cell showed before.
    struct EndingEdit {
        QString typed;
        int previous = 0;
        bool cancelled = true;
    } ending_;
};
