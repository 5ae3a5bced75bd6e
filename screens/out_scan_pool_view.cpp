#include "screens/out_scan_pool_view.h"

#include "model/korvo_doc.h"
#include "model/pool_scan_rules.h"
#include "platform/prompter.h"
#include "screens/screen_buttons.h"
#include "screens/shared_dialogs.h"
#include "service/back_office.h"
#include "widgets/colour_widgets.h"
#include "widgets/image_button.h"
#include "widgets/key_table.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>

namespace {

// Longer than any bundle or item label; a scanner's runaway burst stops here.
constexpr int kMaxScanLength = 80;

class NextReturnMessageEvent : public QEvent {
public:
    explicit NextReturnMessageEvent(int walk)
        : QEvent(COutScanPoolView::kNextReturnMessage), walk(walk) {}
    const int walk;
};

ColourRef colourOf(const Rgb& rgb) {
    return RgbColour(rgb.red, rgb.green, rgb.blue);
}

QLabel* makeLabel(QWidget* parent, const char* name, Qt::Alignment alignment = Qt::AlignLeft) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setAlignment(alignment | Qt::AlignVCenter);
    return label;
}

} // namespace

const QEvent::Type COutScanPoolView::kNextReturnMessage =
    static_cast<QEvent::Type>(QEvent::registerEventType(QEvent::User + 5));

COutScanPoolView::COutScanPoolView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
    : KorvoView(frame, doc, kOutScanPoolScreen, parent) {
    product_ = makeLabel(this, "product");
    QFont bold = product_->font();
    bold.setBold(true);
    product_->setFont(bold);
    size_ = makeLabel(this, "size");
    toDeliverCaption_ = makeLabel(this, "toDeliverCaption");
    toDeliver_ = makeLabel(this, "toDeliver", Qt::AlignRight);
    deliveredCaption_ = makeLabel(this, "deliveredCaption");
    delivered_ = new CColourEdit(this);
    delivered_->setObjectName(QStringLiteral("delivered"));
    delivered_->setReadOnly(true);
    delivered_->setFocusPolicy(Qt::NoFocus);
    delivered_->setAlignment(Qt::AlignRight);
    toDoCaption_ = makeLabel(this, "toDoCaption");
    toDo_ = makeLabel(this, "toDo", Qt::AlignRight);
    scanCaption_ = makeLabel(this, "scanCaption");
    scanField_ = new CColourEdit(this);
    scanField_->setObjectName(QStringLiteral("scan"));
    scanField_->setMaxLength(kMaxScanLength);
    scanField_->installEventFilter(this);
    bundlesCaption_ = makeLabel(this, "bundlesCaption");
    bundles_ = makeLabel(this, "bundles", Qt::AlignRight);
    back_ = MakeCommandButton(this, "back", kBackButtonId, IconGlyph::Back,
                              [this] { switchScreen(Cmd::OutScanBack); });

    const int left = 4;
    const int captionWidth = 132;
    const int valueLeft = left + captionWidth + 4;
    const int valueWidth = frame.screenWidth() - valueLeft - left;
    const int inner = frame.screenWidth() - 2 * left;
    int y = ScreenFrame::kTitleHeight + 4;
    product_->setGeometry(left, y, inner, 18);
    y += 19;
    size_->setGeometry(left, y, inner, 16);
    y += 22;
    auto row = [&](QWidget* caption, QWidget* value, int height) {
        caption->setGeometry(left, y, captionWidth, height);
        value->setGeometry(valueLeft, y, valueWidth, height);
        y += height + 3;
    };
    row(toDeliverCaption_, toDeliver_, 20);
    row(deliveredCaption_, delivered_, 22);
    row(toDoCaption_, toDo_, 20);
    y += 4;
    // The scan field stays above the keypad when it is raised.
    row(scanCaption_, scanField_, 24);
    y += 2;
    row(bundlesCaption_, bundles_, 20);
}

void COutScanPoolView::activate() {
    delivered_->SetTextColour(colourOf(CKorvoDoc::colorRed));
    setTitle(T(QStringLiteral("msgOutScanTitle")));
    toDeliverCaption_->setText(T(QStringLiteral("msgToDeliver")));
    deliveredCaption_->setText(T(QStringLiteral("msgDelivered")));
    toDoCaption_->setText(T(QStringLiteral("msgToDo")));
    scanCaption_->setText(T(QStringLiteral("msgScan")));
    bundlesCaption_->setText(T(QStringLiteral("msgBundlesScanned")));
    layoutButtons({kBackButtonId, 0, 0, 0, 0, 0});
    const bool bundlesShown = doc_.currentSettings && doc_.currentSettings->ASB;
    bundlesCaption_->setVisible(bundlesShown);
    bundles_->setVisible(bundlesShown);
    showLine();
    scanField_->setFocus();
}

void COutScanPoolView::showLine() {
    if (!doc_.currentLine) {
        for (QLabel* label : {product_, size_, toDeliver_, toDo_, bundles_}) {
            label->clear();
        }
        delivered_->clear();
        return;
    }
    const packingnoteline& line = *doc_.currentLine;
    product_->setText(line.PD);
    size_->setText(line.SD + QLatin1Char(' ') + line.FMD);
    toDeliver_->setText(QString::number(line.QO));
    delivered_->setText(QString::number(line.QD));
    // Red while the line is short or over, as on the list of lines.
    delivered_->SetTextColour(
        colourOf(line.QD == line.QO ? CKorvoDoc::colorBlack : CKorvoDoc::colorRed));
    toDo_->setText(QString::number(std::int64_t(line.QO) - line.QD));
    bundles_->setText(QString::number(line.lineFlag));
}

QString COutScanPoolView::runOperation(ScreenOperation operation) {
    if (operation != ScreenOperation::LeaveOutScan) {
        return KorvoView::runOperation(operation);
    }
    if (!OutScanLeaveNeedsQuestion(doc_.currentLine) ||
        AskYesNo(doc_, T(QStringLiteral("msgAllBundlesScanned")))) {
        walk_.end();
        return Result::Ok;
    }
    return Result::NotOk;
}

bool COutScanPoolView::handleKey(QKeyEvent* event) {
    return DispatchScanScreenKey(event->key(), [this] {
        if (focusedWithText(scanField_)) {
            scan();
        }
        scanField_->selectAll();
        scanField_->setFocus();
    });
}

void COutScanPoolView::scan() {
    inputPanel(false);
    walk_.end(); // a new scan: nothing of the last walk may show meanwhile
    walkCode_ = scanField_->text();
    const SendResult sent = sendLogged("OutScan Pool View.Error CallScanPoolWebService",
                                       [&] { return backOffice().poolScan(walkCode_, 0, 0, 0); });
    const PoolScanStep step = walk_.scanned(sent, doc_.poolScanResult);
    showScan(step.shown);
    if (step.nextMessage) {
        showReturnMessage();
    }
}

void COutScanPoolView::showScan(ScanShown shown) {
    if (shown == ScanShown::Unchanged) {
        return;
    }
    if (shown == ScanShown::Accepted) {
        TakeAcceptedLine(doc_);
        showLine();
    }
    ColourRef colour = kDefaultColour;
    if (shown != ScanShown::Neutral) {
        colour =
            colourOf(shown == ScanShown::Accepted ? CKorvoDoc::colorLime : CKorvoDoc::colorRed);
    }
    // Repeated scans of one outcome repaint nothing.
    if (scanField_->colourState().backgroundColour != colour) {
        scanField_->SetBackgroundColour(colour);
    }
}

void COutScanPoolView::showReturnMessage() {
    const std::optional<ReturnMessageDialog> message = walk_.message(doc_.poolScanResult);
    if (!message) {
        return;
    }
    QuestionRequest request;
    request.style = 5;
    request.title = T(QStringLiteral("lblZIRPA"));
    request.body = message->text;
    request.firstButton = T(QLatin1String(message->firstButton));
    request.showSecond = message->secondButton != nullptr;
    if (request.showSecond) {
        request.secondButton = T(QLatin1String(message->secondButton));
    }
    request.backgroundRgb = message->colour;
    const int walk = walk_.generation();
    const DialogAnswer answer = Prompter::current().colourMessageDialog(request);
    if (walk != walk_.generation()) {
        return; // another scan started meanwhile
    }
    const PoolScanStep step = walk_.answered(answer, doc_.poolScanResult);
    showScan(step.shown);
    if (step.confirmation) {
        confirm(*step.confirmation);
    }
    if (step.nextMessage) {
        // The next message follows once this dialog has gone.
        QCoreApplication::postEvent(this, new NextReturnMessageEvent(walk_.generation()));
    }
}

void COutScanPoolView::confirm(const Confirmation& confirmation) {
    const SendResult sent = sendLogged("OutScan Pool View.Error CallScanPoolWebService", [&] {
        return backOffice().poolScan(walkCode_, 1, confirmation.item, confirmation.bundle);
    });
    showScan(PoolScanWalk::confirmed(sent, doc_.poolScanResult));
    // The ids were used; a later answer brings new ones.
    if (doc_.poolScanResult) {
        doc_.poolScanResult->UniqueItem_ID = 0;
        doc_.poolScanResult->UniqueBundle_ID = 0;
    }
}

bool COutScanPoolView::event(QEvent* event) {
    if (event->type() == kNextReturnMessage) {
        // Only the walk that posted it moves on.
        const auto* next = dynamic_cast<NextReturnMessageEvent*>(event);
        if (next != nullptr && next->walk == walk_.generation() && walk_.walking()) {
            showReturnMessage();
        }
        return true;
    }
    return KorvoView::event(event);
}

bool COutScanPoolView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == scanField_) {
        if (event->type() == QEvent::FocusIn) {
            inputPanel(true);
        } else if (event->type() == QEvent::FocusOut) {
            inputPanel(false);
        }
    }
    return KorvoView::eventFilter(watched, event);
}
