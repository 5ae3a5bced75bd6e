#include "widgets/korvo_view.h"

#include "config/log.h"
#include "model/korvo_doc.h"
#include "platform/prompter.h"
#include "widgets/colour_widgets.h"
#include "widgets/control_ids.h"

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>

// Brings the keys of a screen's controls to the screen before the controls see
// them, as on the handheld where a form sees key-down messages first. A helper
// object of its own, so the screens keep their own eventFilter for their fields.
class ScreenKeys final : public QObject {
public:
    explicit ScreenKeys(KorvoView* view) : QObject(view), view_(view) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if ((type != QEvent::KeyPress && type != QEvent::KeyRelease) || !watched->isWidgetType()) {
            return false;
        }
        return view_->screenKey(static_cast<QWidget*>(watched), event);
    }

private:
    KorvoView* view_;
};

KorvoView::KorvoView(ScreenFrame& frame, CKorvoDoc& doc, int screenId, QWidget* parent)
    : QWidget(parent), frame_(frame), doc_(doc), screenId_(screenId) {
    setAutoFillBackground(true);
    title_ = new CColourLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    // Titles carry the back office's texts (a route's description, a note
    // number): never read as markup.
    title_->setTextFormat(Qt::PlainText);
    SetControlId(title_, ControlId::Title);
    bottomBand_ = new CColourLabel(this);
    bottomBand_->setObjectName(QStringLiteral("bottomBand"));
    SetControlId(bottomBand_, ControlId::BottomBand);
    keys_ = new ScreenKeys(this);
    qApp->installEventFilter(keys_);
}

KorvoView::~KorvoView() {
    qApp->removeEventFilter(keys_);
}

CColourLabel* KorvoView::statusLabel() {
    if (status_ == nullptr) {
        status_ = new CColourLabel(this);
        status_->setObjectName(QStringLiteral("status"));
        status_->setTextFormat(Qt::PlainText);
        status_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        SetControlId(status_, ControlId::StatusLabel);
        // Screens are set up while they already show.
        status_->show();
    }
    return status_;
}

QString KorvoView::runOperation(ScreenOperation operation) {
    logFailure("KorvoView.Error", QStringLiteral(" screen %1 has no operation %2")
                                      .arg(screenId_)
                                      .arg(static_cast<int>(operation)));
    return Result::NotOk;
}

void KorvoView::focusFirstControl() {
    QWidget* focused = focusWidget();
    if (focused != nullptr && focused != this && isAncestorOf(focused)) {
        return;
    }
    // A field or a list, never a button: Enter on a focused button presses it,
    // and a screen must not act on an Enter the worker meant for the screen.
    for (QWidget* w = nextInFocusChain(); w != nullptr && w != this; w = w->nextInFocusChain()) {
        if (isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus) && w->isVisibleTo(this) &&
            w->isEnabled() && qobject_cast<QAbstractButton*>(w) == nullptr) {
            w->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    setFocus(Qt::OtherFocusReason);
}

void KorvoView::setTitle(const QString& text) {
    title_->setText(text);
    TitleStyle(title_);
}

void KorvoView::layoutButtons(const std::array<int, 6>& buttonIds, int gap) {
    frame_.LayoutScreen(this, buttonIds, 0, gap);
}

ScreenGeometry KorvoView::screenGeometry() const {
    return {frame_.screenWidth(), frame_.screenHeight(), frame_.menuBarHeight()};
}

QRect KorvoView::contentArea() const {
    const int top = ScreenFrame::kTitleHeight;
    const int bottom = buttonRowTop();
    return QRect(0, top, frame_.screenWidth(), std::max(0, bottom - top));
}

bool KorvoView::keyboardWanted() const {
    return doc_.showScreenKeyboard == QLatin1String("Y");
}

void KorvoView::inputPanel(bool up) const {
    if (!up || keyboardWanted()) {
        Prompter::current().setInputPanel(up);
    }
}

void KorvoView::logFailure(const char* logPrefix, const QString& error) const {
    WriteLog(doc_.storageLocation, QLatin1String(logPrefix) + error);
}

bool KorvoView::focusedWithText(const QLineEdit* field) const {
    return focusWidget() == field && !field->text().isEmpty();
}

bool KorvoView::handleKey(QKeyEvent*) {
    return false;
}

bool KorvoView::screenKey(QWidget* target, QEvent* event) {
    if (event->type() == QEvent::KeyRelease) {
        keyEvent_ = nullptr;
        return false;
    }
    // Only this screen's own keys; a modal dialog over it keeps its keys.
    if ((target != this && !isAncestorOf(target)) || !isVisible() ||
        QApplication::activeModalWidget() != nullptr) {
        return false;
    }
    // A key a control ignored travels up to its parents as the same event; the
    // screen has seen it already.
    if (event == keyEvent_ && keyTarget_ && target->isAncestorOf(keyTarget_)) {
        keyTarget_ = target;
        return false;
    }
    keyEvent_ = event;
    keyTarget_ = target;
    auto* key = static_cast<QKeyEvent*>(event);
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && target != this) {
        // A keypad user reaches buttons with Tab; Enter presses the one he is on.
        if (auto* button = qobject_cast<QAbstractButton*>(target);
            button != nullptr && button->isEnabled()) {
            button->click();
            return true;
        }
    }
    return handleKey(key);
}
