#include "screens/shared_dialogs.h"

#include "model/korvo_doc.h"
#include "model/print_rules.h"
#include "model/route_change.h"
#include "model/scan_rules.h"
#include "service/back_office.h"
#include "widgets/colour_widgets.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTimer>

namespace {

constexpr int kTitleHeight = 23;
constexpr int kButtonWidth = 70;
constexpr int kButtonHeight = 25;

QWidget* mainWindowOf(QWidget* widget) {
    QWidget* parent = widget->parentWidget();
    return parent ? parent->window() : nullptr;
}

int screenWidthOf(QWidget* dialog) {
    QWidget* owner = mainWindowOf(dialog);
    return owner ? owner->width() : 240;
}

int screenHeightOf(QWidget* dialog) {
    QWidget* owner = mainWindowOf(dialog);
    return owner ? owner->height() : 320;
}

QLabel* makeTitle(QWidget* parent) {
    auto* title = new QLabel(parent);
    title->setObjectName(QStringLiteral("dialogTitle"));
    title->setAutoFillBackground(true);
    title->setStyleSheet(
        QStringLiteral("background:#1f3b5a;color:white;font-weight:bold;padding-left:3px;"));
    return title;
}

void frameless(QDialog* dialog) {
    dialog->setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    dialog->setObjectName(dialog->metaObject()->className());
    dialog->setStyleSheet(
        QStringLiteral("QDialog{border:1px solid #1f3b5a;background:palette(window);}"));
}

} // namespace

void PlaceOnScreen(QWidget* dialog, const QRect& onScreen) {
    QWidget* owner = mainWindowOf(dialog);
    const QPoint origin = owner ? owner->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    dialog->setGeometry(onScreen.translated(origin));
    dialog->setFixedSize(onScreen.size());
}

// ---- colli count ----------------------------------------------------------

CNrColliPrintDialog::CNrColliPrintDialog(const ColliCountRequest& request, QWidget* parent)
    : QDialog(parent) {
    frameless(this);
    setWindowTitle(request.title);
    QLabel* title = makeTitle(this);
    title->setText(request.title);
    title->setGeometry(0, 0, 200, kTitleHeight);
    auto* prompt = new QLabel(request.prompt, this);
    prompt->setObjectName(QStringLiteral("prompt"));
    prompt->setWordWrap(true);
    prompt->setGeometry(8, 30, 110, 40);
    number_ = new QSpinBox(this);
    number_->setObjectName(QStringLiteral("number"));
    number_->setRange(0, 999);
    number_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    number_->setValue(std::clamp(request.initial, 0, 999));
    number_->setGeometry(122, 36, 70, 26);
    number_->selectAll();
    auto* ok = new QPushButton(request.okCaption, this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    ok->setGeometry(25, 80, kButtonWidth, kButtonHeight);
    auto* cancel = new QPushButton(request.cancelCaption, this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(105, 80, kButtonWidth, kButtonHeight);
    connect(ok, &QPushButton::clicked, this, [this] { done(1); });
    connect(cancel, &QPushButton::clicked, this, [this] { done(2); });
    PlaceOnScreen(this, QRect(20, 80, 200, 115));
    number_->setFocus();
}

int CNrColliPrintDialog::value() const {
    return number_->value();
}

bool AskNumberOfColli(CKorvoDoc& doc) {
    doc.colliCount = 0;
    ColliCountRequest request;
    request.title = doc.T(QStringLiteral("msgSelectNrOfColli"));
    request.prompt = doc.T(QStringLiteral("msgEnterNrOfColli"));
    request.initial = doc.currentPackingNote ? doc.currentPackingNote->PNCN : 0;
    request.okCaption = doc.T(QStringLiteral("lblOK"));
    request.cancelCaption = doc.T(QStringLiteral("lblCancel"));
    const std::optional<int> count = Prompter::current().colliCountDialog(request);
    if (!count) {
        return false;
    }
    doc.colliCount = static_cast<std::int16_t>(std::clamp(*count, 0, 999));
    return true;
}

bool AskYesNo(const CKorvoDoc& doc, const QString& text, int style) {
    QuestionRequest question;
    question.style = style;
    question.title = doc.T(QStringLiteral("lblZIRPA"));
    question.body = text;
    question.firstButton = doc.T(QStringLiteral("lblYes"));
    question.secondButton = doc.T(QStringLiteral("lblNo"));
    return Prompter::current().questionDialog(question) == DialogAnswer::First;
}

void SettleScannedNoteRoute(CKorvoDoc& doc) {
    SettleRouteChange(doc, [&doc](const QString& question) { return AskYesNo(doc, question, 1); });
}

void TellWorker(const CKorvoDoc& doc, const QString& captionKey, const QString& text) {
    MessageBoxRequest box;
    box.caption = doc.T(captionKey);
    box.text = text;
    Prompter::current().messageBox(box);
}

bool ContainerLabelInRange(const CKorvoDoc& doc, const QString& label) {
    const std::vector<ContainerIDCodeRange> none;
    const ContainerRange range = CheckContainerRange(
        label, doc.currentSettings ? doc.currentSettings->containerRanges : none);
    if (range == ContainerRange::InRange) {
        return true;
    }
    TellWorker(doc, QStringLiteral("msgScanContainer"),
               doc.T(range == ContainerRange::NoRanges
                         ? QStringLiteral("msgNoContainerIDCodeRanges")
                         : QStringLiteral("msgContainerNotInRange")));
    return false;
}

PrintOutcome PrintNoteDocuments(CKorvoDoc& doc, BackOffice& office) {
    const Settings empty;
    const Settings& settings = doc.currentSettings ? *doc.currentSettings : empty;
    PrintQuestions ask;
    ask.orderForm = [&] { return AskYesNo(doc, doc.T(QStringLiteral("msgPrintOrderForm"))); };
    ask.colliCount = [&]() -> std::optional<int> {
        if (!AskNumberOfColli(doc)) {
            return std::nullopt;
        }
        return doc.colliCount;
    };
    const PrintChoice choice = ChoosePrint(settings, doc.currentPackingNote, ask);
    if (choice.cancelled) {
        return {true, SendResult()};
    }
    doc.colliCount = choice.colli;
    return {false, office.print(static_cast<std::uint16_t>(std::max<int>(0, choice.colli)),
                                choice.orderForm ? 1 : 0)};
}

// ---- instructions ---------------------------------------------------------

CInstructionDlg::CInstructionDlg(QWidget* parent) : QDialog(parent) {
    frameless(this);
    title_ = makeTitle(this);
    bodyField_ = new QPlainTextEdit(this);
    bodyField_->setObjectName(QStringLiteral("body"));
    bodyField_->setReadOnly(true);
    bodyField_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setDefault(true);
    connect(ok_, &QPushButton::clicked, this, [this] { done(1); });
}

void CInstructionDlg::SetTexts(const QString& body, const QString& title,
                               const QString& okCaption) {
    body_ = body;
    body_.replace(QLatin1String("\n"), QLatin1String("\r\n"));
    title_->setText(title);
    setWindowTitle(title);
    ok_->setText(okCaption);
    QString shown = body;
    shown.remove(QLatin1Char('\r'));
    bodyField_->setPlainText(shown);
    applyStyle();
}

void CInstructionDlg::SetContainerStyle() {
    containerStyle_ = true;
    applyStyle();
}

void CInstructionDlg::applyStyle() {
    bodyField_->setFont(ArialFont(containerStyle_ ? 16 : 20, false));
    QPalette palette = bodyField_->palette();
    // The container list reads like every other list: dark on white.
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, containerStyle_ ? Qt::black : QColor(0, 0, 255));
    bodyField_->setPalette(palette);
    // The body text is centred line by line.
    QTextOption option = bodyField_->document()->defaultTextOption();
    option.setAlignment(Qt::AlignHCenter);
    bodyField_->document()->setDefaultTextOption(option);
}

void CInstructionDlg::showEvent(QShowEvent* event) {
    const int width = screenWidthOf(this) - 10;
    const int height = std::min(240, screenHeightOf(this) - 25 - 30);
    title_->setGeometry(0, 0, width, kTitleHeight);
    bodyField_->setGeometry(0, kTitleHeight, width, height - kTitleHeight - kButtonHeight - 8);
    ok_->setGeometry((width - kButtonWidth) / 2, height - kButtonHeight - 4, kButtonWidth,
                     kButtonHeight);
    PlaceOnScreen(this, QRect(5, 25, width, height));
    QDialog::showEvent(event);
}

// ---- question -------------------------------------------------------------

CQuestionDlg::CQuestionDlg(QWidget* parent, int style) : QDialog(parent), style_(style) {
    frameless(this);
    title_ = makeTitle(this);
    body_ = new CColourLabel(this);
    body_->setObjectName(QStringLiteral("body"));
    // Questions carry the back office's texts (a route's date, a return
    // message): never read as markup.
    body_->setTextFormat(Qt::PlainText);
    body_->setWordWrap(true);
    body_->setAlignment(Qt::AlignCenter);
    body_->SetBackgroundColour(RgbColour(255, 255, 255));
    body_->SetTextColour(RgbColour(0, 0, 0));
    first_ = new QPushButton(this);
    first_->setObjectName(QStringLiteral("first"));
    first_->setDefault(true);
    second_ = new QPushButton(this);
    second_->setObjectName(QStringLiteral("second"));
    connect(first_, &QPushButton::clicked, this, [this] { finish(1); });
    connect(second_, &QPushButton::clicked, this, [this] { finish(2); });
}

void CQuestionDlg::SetTexts(const QString& body, const QString& title, const QString& first,
                            const QString& second) {
    SetTexts(body, title, first, second, true, true);
}

void CQuestionDlg::SetTexts(const QString& body, const QString& title, const QString& first,
                            const QString& second, bool showFirst, bool showSecond) {
    QString shown = body;
    shown.remove(QLatin1Char('\r'));
    body_->setText(shown);
    title_->setText(title);
    setWindowTitle(title);
    first_->setText(first);
    second_->setText(second);
    showFirst_ = showFirst;
    showSecond_ = showSecond;
    first_->setVisible(showFirst);
    second_->setVisible(showSecond);
}

void CQuestionDlg::finish(int result) {
    if (waitCursor_) {
        Prompter::current().setWaitCursor(true);
    }
    done(result);
}

void CQuestionDlg::showEvent(QShowEvent* event) {
    layoutStyle();
    QDialog::showEvent(event);
}

void CQuestionDlg::layoutStyle() {
    struct Geometry {
        QRect dialog;
        QRect body;
        int buttonRow;
    };
    static const Geometry kStyles[] = {
        {{20, 70, 200, 100}, {1, 25, 200, 80}, 70},
        // Room for a route change's five lines above the buttons.
        {{20, 45, 200, 175}, {0, 25, 200, 112}, 142},
        {{20, 90, 200, 90}, {0, 25, 200, 70}, 60},
        {{30, 60, 200, 130}, {0, 25, 200, 100}, 98},
    };
    Geometry g;
    if (style_ >= 0 && style_ < 4) {
        g = kStyles[style_];
    } else {
        // Style 4: the screen below the title area, buttons near the bottom.
        const int top = 46;
        const int width = screenWidthOf(this);
        const int height = screenHeightOf(this) - top - 26;
        g = {{0, top, width, height}, {0, 25, width, height - 25 - 36}, height - 32};
    }
    title_->setGeometry(0, 0, g.dialog.width(), kTitleHeight);
    // The body may not cover the buttons.
    QRect body = g.body;
    body.setBottom(std::min(body.bottom(), g.buttonRow - 3));
    body.setRight(std::min(body.right(), g.dialog.width() - 1));
    body_->setGeometry(body);
    first_->setGeometry(25, g.buttonRow, kButtonWidth, kButtonHeight);
    second_->setGeometry(105, g.buttonRow, kButtonWidth, kButtonHeight);
    first_->raise();
    second_->raise();
    PlaceOnScreen(this, g.dialog);
}

// ---- coloured message -----------------------------------------------------

CColourMessageDlg::CColourMessageDlg(QWidget* parent, int style) : CQuestionDlg(parent, style) {
    body_->setFont(ArialFont(16, true));
}

void CColourMessageDlg::SetBackgroundColour(const QString& rgbHex) {
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{6}$"));
    if (!hex.match(rgbHex).hasMatch()) {
        body_->SetBackgroundColour(RgbColour(255, 255, 255));
        return;
    }
    const int red = rgbHex.mid(0, 2).toInt(nullptr, 16);
    const int green = rgbHex.mid(2, 2).toInt(nullptr, 16);
    const int blue = rgbHex.mid(4, 2).toInt(nullptr, 16);
    body_->SetBackgroundColour(RgbColour(red, green, blue));
}

void CColourMessageDlg::layoutStyle() {
    if (style_ != 5) {
        CQuestionDlg::layoutStyle();
        return;
    }
    const int width = screenWidthOf(this);
    title_->setGeometry(0, 0, width, kTitleHeight);
    const int row = 150 - kButtonHeight - 4;
    // The message ends above its buttons, with room to breathe.
    body_->setGeometry(0, kTitleHeight, width, row - 6 - kTitleHeight);
    if (showFirst_ && showSecond_) {
        first_->setGeometry(width / 2 - kButtonWidth - 5, row, kButtonWidth, kButtonHeight);
        second_->setGeometry(width / 2 + 5, row, kButtonWidth, kButtonHeight);
    } else {
        QPushButton* only = showFirst_ ? first_ : second_;
        only->setGeometry((width - kButtonWidth) / 2, row, kButtonWidth, kButtonHeight);
    }
    first_->raise();
    second_->raise();
    PlaceOnScreen(this, QRect(0, 50, width, 150));
}

// ---- status pop-up --------------------------------------------------------

StatusPopup::StatusPopup(const QString& caption, const QString& text, int durationMs,
                         QWidget* parent)
    : QDialog(parent) {
    frameless(this);
    setStyleSheet(QStringLiteral("QDialog{border:1px solid #1f3b5a;background:#ffffe1;}"));
    const QRect place = Geometry(text);
    auto* top = new QLabel(caption, this);
    top->setObjectName(QStringLiteral("caption"));
    top->setAlignment(Qt::AlignCenter);
    top->setFont(ArialFont(13, true));
    top->setGeometry(2, 2, place.width() - 4, 20);
    auto* body = new QLabel(text, this);
    body->setObjectName(QStringLiteral("message"));
    body->setAlignment(Qt::AlignCenter);
    body->setWordWrap(true);
    body->setGeometry(2, 22, place.width() - 4, place.height() - 24);
    PlaceOnScreen(this, place);
    QTimer::singleShot(durationMs, this, [this] { done(1); });
}

QRect StatusPopup::Geometry(const QString& text) {
    return text.contains(QLatin1Char('\n')) ? QRect(27, 70, 184, 100) : QRect(27, 90, 184, 60);
}

// ---- password -------------------------------------------------------------

CPasswordDlg::CPasswordDlg(const PasswordRequest& request,
                           std::function<bool(const QString&)> accept, QWidget* parent)
    : QDialog(parent), request_(request), accept_(std::move(accept)) {
    frameless(this);
    setWindowTitle(request.label);
    auto* caption = new QLabel(request.label, this);
    caption->setObjectName(QStringLiteral("caption"));
    caption->setGeometry(10, 10, 180, 20);
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("password"));
    edit_->setEchoMode(QLineEdit::Password);
    edit_->setGeometry(10, 34, 180, 24);
    edit_->installEventFilter(this);
    auto* ok = new QPushButton(request.okCaption, this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    ok->setGeometry(25, 66, kButtonWidth, kButtonHeight);
    auto* cancel = new QPushButton(request.cancelCaption, this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(105, 66, kButtonWidth, kButtonHeight);
    connect(ok, &QPushButton::clicked, this, &CPasswordDlg::tryAccept);
    connect(cancel, &QPushButton::clicked, this, [this] { done(2); });
    PlaceOnScreen(this, QRect(20, 60, 200, 100));
    edit_->setFocus();
    edit_->selectAll();
}

void CPasswordDlg::tryAccept() {
    if (accept_(edit_->text())) {
        done(1);
        return;
    }
    Prompter::current().messageBox(
        {request_.label, request_.errorText, MessageIcon::None, MessageButtons::Ok});
    edit_->selectAll();
    edit_->setFocus();
}

bool CPasswordDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == edit_ && request_.raiseInputPanel) {
        if (event->type() == QEvent::FocusIn) {
            Prompter::current().setInputPanel(true);
        } else if (event->type() == QEvent::FocusOut) {
            Prompter::current().setInputPanel(false);
        }
    }
    return QDialog::eventFilter(watched, event);
}
