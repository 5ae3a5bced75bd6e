#include "widgets/input_panel.h"

#include <QApplication>
#include <QGridLayout>
#include <QKeyEvent>
#include <QToolButton>
#include <QWindow>

// Four rows of ten keys: digits, three letter rows with Backspace, the case
// toggle, "." and Enter.
InputPanel::InputPanel(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("inputPanel"));
    setFocusPolicy(Qt::NoFocus);
    setAutoFillBackground(true);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);

    auto addKey = [this, grid](int row, int column, const QString& label) {
        auto* key = new QToolButton(this);
        key->setText(label);
        key->setFocusPolicy(Qt::NoFocus);
        key->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
        grid->addWidget(key, row, column);
        return key;
    };
    auto addCharacters = [&](int row, int firstColumn, const char* chars) {
        for (int i = 0; chars[i] != '\0'; ++i) {
            QToolButton* key = addKey(row, firstColumn + i, QString(QLatin1Char(chars[i])));
            if (key->text().at(0).isLetter()) {
                letterKeys_ << key;
            }
            connect(key, &QToolButton::clicked, this, [this, key] {
                const QString text = key->text();
                const QChar c = text.at(0);
                type(c.isLetter() ? Qt::Key_A + (c.toUpper().unicode() - u'A') : c.unicode(), text);
            });
        }
    };

    addCharacters(0, 0, "1234567890");
    addCharacters(1, 0, "QWERTYUIOP");
    addCharacters(2, 0, "ASDFGHJKL");
    addCharacters(3, 1, "ZXCVBNM.");

    QToolButton* backspace = addKey(2, 9, QStringLiteral("\u2190"));
    backspace->setObjectName(QStringLiteral("keyBackspace"));
    connect(backspace, &QToolButton::clicked, this, [this] { type(Qt::Key_Backspace, QString()); });

    QToolButton* caseKey = addKey(3, 0, QStringLiteral("a/A"));
    caseKey->setObjectName(QStringLiteral("keyCase"));
    connect(caseKey, &QToolButton::clicked, this, &InputPanel::toggleCase);

    QToolButton* enter = addKey(3, 9, QStringLiteral("\u21b5"));
    enter->setObjectName(QStringLiteral("keyEnter"));
    connect(enter, &QToolButton::clicked, this,
            [this] { type(Qt::Key_Return, QStringLiteral("\r")); });
    hide();
}

void InputPanel::raisePanel(bool up) {
    if (up == raised_) {
        return;
    }
    raised_ = up;
    setVisible(up);
    if (up) {
        raise();
    }
    emit stateChanged(up);
}

void InputPanel::floatOver(QWidget* modalDialog) {
    if (modalDialog != nullptr && home_ == nullptr) {
        home_ = parentWidget();
        homeGeometry_ = geometry();
        const QPoint global = home_ ? home_->mapToGlobal(homeGeometry_.topLeft()) : pos();
        setParent(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus);
        setGeometry(QRect(global, homeGeometry_.size()));
        winId();
        if (QWindow* dialogWindow = modalDialog->window()->windowHandle()) {
            windowHandle()->setTransientParent(dialogWindow);
        }
    } else if (modalDialog == nullptr && home_ != nullptr) {
        setParent(home_, Qt::Widget);
        setGeometry(homeGeometry_);
        home_ = nullptr;
        setVisible(raised_);
        if (raised_) {
            raise();
        }
    }
}

void InputPanel::toggleCase() {
    upperCase_ = !upperCase_;
    for (QToolButton* key : std::as_const(letterKeys_)) {
        key->setText(upperCase_ ? key->text().toUpper() : key->text().toLower());
    }
}

void InputPanel::type(int key, const QString& text) {
    QWidget* target = QApplication::focusWidget();
    if (target == nullptr) {
        target = window();
    }
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QApplication::sendEvent(target, &press);
    QApplication::sendEvent(target, &release);
}
