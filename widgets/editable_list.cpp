#include "widgets/editable_list.h"

#include "model/korvo_doc.h"
#include "platform/prompter.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QScrollBar>

CCellEditor::CCellEditor(int row, int column, const QString& text, QWidget* parent)
    : QLineEdit(text, parent), row_(row), column_(column), startText_(text) {
    setMaxLength(4);
    setFrame(true);
}

void CCellEditor::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        emit finished(false);
        return;
    case Qt::Key_Escape:
        emit finished(true);
        return;
    default:
        QLineEdit::keyPressEvent(event);
    }
}

void CCellEditor::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    emit finished(false);
}

CEditableList::CEditableList(CKorvoDoc& doc, int screenId, QWidget* parent)
    : QTreeView(parent), doc_(doc), screenId_(screenId) {
    setRootIsDecorated(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
}

int CEditableList::EditableColumn(int screenId) {
    switch (screenId) {
    case kDeliveredProdScreen:
        return 2;
    case kAddCountScreen:
        return 1;
    default:
        return -1;
    }
}

int CEditableList::rowCount() const {
    return model() != nullptr ? model()->rowCount() : 0;
}

QString CEditableList::cellText(int row, int column) const {
    return model() != nullptr ? model()->index(row, column).data().toString() : QString();
}

void CEditableList::setCurrentRow(int row) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    const QModelIndex index = model()->index(row, 0);
    setCurrentIndex(index);
    selectionModel()->select(index, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QRect CEditableList::cellRect(int row, int column) const {
    if (row < 0 || row >= rowCount()) {
        return QRect();
    }
    const QRect rowRect = visualRect(model()->index(row, 0));
    return QRect(header()->sectionViewportPosition(column), rowRect.top(), columnWidth(column),
                 rowRect.height());
}

bool CEditableList::startEdit(int row, int column) {
    if (editor_ || column < 1 || column != EditableColumn(screenId_) || row < 0 ||
        row >= rowCount()) {
        return false;
    }
    scrollTo(model()->index(row, 0));
    doc_.rangeWarningShown = false;
    editor_ = new CCellEditor(row, column, cellText(row, column), viewport());
    editor_->setFont(font());
    editor_->setGeometry(cellRect(row, column));
    editor_->selectAll();
    connect(editor_, &QLineEdit::textChanged, this, &CEditableList::fitEditor);
    connect(editor_, &CCellEditor::finished, this, &CEditableList::endEdit);
    editor_->show();
    editor_->setFocus();
    if (doc_.showScreenKeyboard == QLatin1String("Y")) {
        Prompter::current().setInputPanel(true);
    }
    return true;
}

void CEditableList::fitEditor() {
    if (!editor_) {
        return;
    }
    const QRect cell = cellRect(editor_->row(), editor_->column());
    const int wanted = editor_->fontMetrics().horizontalAdvance(editor_->text()) + 5 +
                       editor_->textMargins().left() + editor_->textMargins().right() + 6;
    const int limit = viewport()->width() - cell.left();
    editor_->resize(std::clamp(std::max(cell.width(), wanted), 1, std::max(1, limit)),
                    editor_->height());
}

void CEditableList::endEdit(bool cancelled) {
    if (!editor_ || ending_) {
        return;
    }
    ending_ = true;
    CCellEditor* editor = editor_;
    editor_ = nullptr;
    Prompter::current().setInputPanel(false);
    // The editor takes four characters and cuts a longer quantity of the back
    // office when it opens: a cell the worker did not touch keeps its text.
    QString text = editor->isModified() ? editor->text() : editor->startText();
    // Escape puts the cell back as it was: no change.
    if (!cancelled && text != editor->startText()) {
        doc_.quantitiesChanged = true;
    }
    if (text.isEmpty()) {
        text = QStringLiteral("0");
    }
    const int row = editor->row();
    const int column = editor->column();
    emit labelEditEnded(row, column, cancelled ? QString() : text, cancelled);
    if (!cancelled && row < rowCount()) {
        model()->setData(model()->index(row, column), text);
    }
    editor->hide();
    editor->deleteLater();
    setFocus();
    ending_ = false;
    emit cellEditClosed(row, column);
}

void CEditableList::tap(int row, int column) {
    if (row < 0 || row >= rowCount()) {
        return;
    }
    if (!selectionModel()->isSelected(model()->index(row, 0))) {
        setCurrentRow(row);
        return;
    }
    startEdit(row, column);
}

void CEditableList::mousePressEvent(QMouseEvent* event) {
    if (editor_) {
        endEdit(false);
    }
    const QPoint pos = event->position().toPoint();
    const QModelIndex index = indexAt(pos);
    if (!index.isValid()) {
        QTreeView::mousePressEvent(event);
        return;
    }
    setFocus();
    tap(index.row(), header()->logicalIndexAt(pos.x()));
    event->accept();
}

void CEditableList::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        if (currentIndex().isValid()) {
            tap(currentIndex().row(), model()->columnCount() - 1);
        }
        event->accept();
        return;
    }
    case Qt::Key_Left:
    case Qt::Key_Right:
        event->accept();
        return;
    default:
        // A keypad worker counts by typing: a digit on a row opens its
        // quantity and becomes its first character.
        if (currentIndex().isValid() && event->key() >= Qt::Key_0 && event->key() <= Qt::Key_9 &&
            !event->text().isEmpty()) {
            if (startEdit(currentIndex().row(), EditableColumn(screenId_))) {
                editor_->insert(event->text());
            }
            event->accept();
            return;
        }
        QTreeView::keyPressEvent(event);
    }
}

void CEditableList::scrollContentsBy(int dx, int dy) {
    if (editor_) {
        endEdit(false);
    }
    QTreeView::scrollContentsBy(dx, dy);
}
