#include "screens/scan_pn_or_container_view.h"

#include "model/entry_rules.h"
#include "model/korvo_doc.h"
#include "model/scan_rules.h"
#include "screens/shared_dialogs.h"
#include "service/back_office.h"
#include "widgets/colour_widgets.h"
#include "widgets/image_button.h"
#include "widgets/key_table.h"
#include "widgets/scan_field.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>

namespace {

constexpr char kNoteLog[] = "Scan PN or Container.Error CallPackingNoteWebService";
constexpr char kContainerLog[] = "Scan PN or Container.Error CallPackingNoteContainerWebService";

// Button ids the common layout does not place: they sit in the count rows.
constexpr int kScanNextButtonId = 1233;
constexpr int kNewListButtonId = 1234;
constexpr int kInProgressListButtonId = 1235;
constexpr int kDoneListButtonId = 1236;

QLabel* plainLabel(QWidget* parent, const QString& name) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    label->setTextFormat(Qt::PlainText);
    return label;
}

// A counter in the largest bold font that fits its label: the back office's
// counters may run to ten digits.
void showCount(QLabel* label, std::int32_t count) {
    const QString text = QString::number(count);
    label->setText(text);
    for (int pixels = 16; pixels > 8; --pixels) {
        const QFont font = ArialFont(pixels, true);
        label->setFont(font);
        if (QFontMetrics(font).horizontalAdvance(text) <= label->width()) {
            return;
        }
    }
}

} // namespace

CScanPnOrContainerView::CScanPnOrContainerView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
    : KorvoView(frame, doc, kScanPnOrContainerScreen, parent) {
    // Created in screen order, which is also the Tab order.
    noteCaption_ = plainLabel(this, QStringLiteral("noteCaption"));
    note_ = new CScanField(ScanKind::NoteNumber, doc, this);
    note_->setObjectName(QStringLiteral("noteNumber"));
    new_ = makeCountRow("new");
    scanNext_ = MakeScreenButton(this, "scanNext", kScanNextButtonId, IconGlyph::ScanNext);
    newList_ = MakeScreenButton(this, "newList", kNewListButtonId, IconGlyph::List);
    inProgress_ = makeCountRow("inProgress");
    inProgressList_ =
        MakeScreenButton(this, "inProgressList", kInProgressListButtonId, IconGlyph::List);
    containerCaption_ = plainLabel(this, QStringLiteral("containerCaption"));
    container_ = new CScanField(ScanKind::ContainerId, doc, this);
    container_->setObjectName(QStringLiteral("containerId"));
    done_ = makeCountRow("done");
    doneList_ = MakeScreenButton(this, "doneList", kDoneListButtonId, IconGlyph::List);
    save_ = MakeScreenButton(this, "save", kSaveButtonId, IconGlyph::Save);
    back_ = MakeScreenButton(this, "back", kBackButtonId, IconGlyph::Back);

    note_->installEventFilter(this);
    container_->installEventFilter(this);
    connect(scanNext_, &QAbstractButton::clicked, this, &CScanPnOrContainerView::scanNext);
    connect(newList_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::NewList); });
    connect(inProgressList_, &QAbstractButton::clicked, this,
            [this] { switchScreen(Cmd::InProgressList); });
    connect(doneList_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::DoneList); });
    connect(save_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::ScanRouteSave); });
    connect(back_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::ScanRouteBack); });
}

CScanPnOrContainerView::CountRow CScanPnOrContainerView::makeCountRow(const char* name) {
    CountRow row;
    row.count = plainLabel(this, QLatin1String(name) + QStringLiteral("Count"));
    row.count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row.caption = plainLabel(this, QLatin1String(name) + QStringLiteral("Caption"));
    return row;
}

void CScanPnOrContainerView::activate() {
    doc_.currentPackingNote.reset();

    noteCaption_->setText(T(QStringLiteral("lblScanNote")));
    containerCaption_->setText(T(QStringLiteral("lblScanCotainer")));
    new_.caption->setText(T(QStringLiteral("lblPnNew")));
    inProgress_.caption->setText(T(QStringLiteral("lblPnInProg")));
    done_.caption->setText(T(QStringLiteral("lblPnDone")));
    const QString next = T(QStringLiteral("lblScanNext"));
    const QString list = T(QStringLiteral("lblScanList"));
    scanNext_->setAccessibleName(next);
    scanNext_->setToolTip(next);
    for (CImageButton* button : {newList_, inProgressList_, doneList_}) {
        button->setAccessibleName(list);
        button->setToolTip(list);
    }
    layoutButtons({kSaveButtonId, kBackButtonId, 0, 0, 0, 0});
    placeControls();
    showRoute();

    const Settings none;
    const Settings& settings = doc_.currentSettings ? *doc_.currentSettings : none;
    const ScanHubFields fields = ScanHubFieldsFor(settings.ACS, settings.SPN);
    noteCaption_->setVisible(fields.noteShown);
    note_->setVisible(fields.noteShown);
    containerCaption_->setVisible(fields.containerShown);
    container_->setVisible(fields.containerShown);
    if (fields.focus == ScanHubFields::Note) {
        note_->setFocus(Qt::OtherFocusReason);
    } else if (fields.focus == ScanHubFields::Container) {
        container_->setFocus(Qt::OtherFocusReason);
    }
    updateSaveState();
}

void CScanPnOrContainerView::placeControls() {
    const QRect area = contentArea();
    const int left = 4;
    const int right = area.width() - 4;
    const int captionWidth = 82;
    const int button = 38;
    // A field row: caption on the left, field filling the rest.
    auto fieldRow = [&](QLabel* caption, CScanField* field, int y) {
        caption->setGeometry(left, y, captionWidth, 26);
        field->setGeometry(left + captionWidth + 2, y, right - left - captionWidth - 2, 26);
    };
    // A count row: the number, its caption and the row's buttons at the right.
    const int countWidth = 76;
    auto countRow = [&](const CountRow& row, int y) {
        row.count->setGeometry(left, y, countWidth, button);
        row.caption->setGeometry(left + countWidth + 8, y, right - 2 * button - 12 - countWidth - 8,
                                 button);
    };
    int y = area.top() + 4;
    fieldRow(noteCaption_, note_, y);
    y += 30;
    countRow(new_, y);
    scanNext_->setGeometry(right - 2 * button - 4, y, button, button);
    newList_->setGeometry(right - button, y, button, button);
    y += button + 4;
    countRow(inProgress_, y);
    inProgressList_->setGeometry(right - button, y, button, button);
    y += button + 6;
    fieldRow(containerCaption_, container_, y);
    y += 30;
    countRow(done_, y);
    doneList_->setGeometry(right - button, y, button, button);
}

void CScanPnOrContainerView::showRoute() {
    const RouteControl none;
    const RouteControl& route = doc_.currentRoute ? *doc_.currentRoute : none;
    QString title = T(QStringLiteral("lblRoute"));
    if (doc_.currentRoute) {
        title += QLatin1Char(' ') + RouteCaption(route);
    }
    setTitle(title);
    showCount(new_.count, route.QN);
    showCount(inProgress_.count, route.QP);
    showCount(done_.count, route.QC);
    const ScanHubButtons buttons = ScanHubButtonsFor(route);
    scanNext_->EnableButton(buttons.scanNext);
    newList_->EnableButton(buttons.newList);
    inProgressList_->EnableButton(buttons.inProgressList);
    doneList_->EnableButton(buttons.doneList);
}

void CScanPnOrContainerView::updateSaveState() {
    const int rule = doc_.currentSettings ? doc_.currentSettings->AORD : 0;
    frame_.SetActionEnabled(
        ScanHubSaveEnabled(containerReady_, noteReady_, rule, doc_.routeCountsCurrent), save_,
        kScanPnOrContainerScreen, 0);
}

SendResult CScanPnOrContainerView::sendPackingNote(NoteAction action, const QString& number) {
    return sendLogged(kNoteLog, [&] { return backOffice().packingNote(action, number); });
}

void CScanPnOrContainerView::lookUpNote() {
    inputPanel(false);
    if (sendPackingNote(NoteAction::ScannedNumber, note_->text()).isOk()) {
        // The note may belong to another route: the plant's rule may move the
        // worker there.
        SettleScannedNoteRoute(doc_);
        showRoute();
        noteReady_ = doc_.currentPackingNote.has_value();
        updateSaveState();
        if (switchScreen(Cmd::ScanRouteSave)) {
            return; // the note is open
        }
    } else {
        noteReady_ = false;
        note_->setFocus(Qt::OtherFocusReason);
        note_->selectAll();
    }
    updateSaveState();
}

void CScanPnOrContainerView::lookUpContainer() {
    const QString label = container_->text();
    // Without the plant's settings there are no ranges to hold the label against.
    if (doc_.currentSettings && !ContainerLabelInRange(doc_, label)) {
        container_->setFocus(Qt::OtherFocusReason);
        container_->selectAll();
        return;
    }
    inputPanel(false);
    const SendResult result =
        sendLogged(kContainerLog, [&] { return backOffice().packingNoteContainer(label); });
    // A container the back office did not take leaves no note to open.
    containerReady_ = result.isOk() && doc_.currentPackingNote.has_value();
    if (containerReady_) {
        updateSaveState();
        if (switchScreen(Cmd::ScanRouteSave)) {
            return; // the note is open
        }
    }
    container_->setFocus(Qt::OtherFocusReason);
    container_->selectAll();
    updateSaveState();
}

void CScanPnOrContainerView::scanNext() {
    scanNext_->ResetButton();
    if (!sendPackingNote(NoteAction::NextNew, QString()).isOk()) {
        return;
    }
    // The note number as the field holds numbers, whatever the answer carried.
    note_->setText(doc_.currentPackingNote
                       ? CheckScanInput(ScanKind::NoteNumber, doc_.currentPackingNote->NNR).text
                       : QString());
    if (doc_.currentRoute && doc_.currentPackingNote) {
        TakeNextNewNote(*doc_.currentRoute, doc_.currentPackingNote->SC);
    }
    showRoute();
    noteReady_ = doc_.currentPackingNote.has_value();
    updateSaveState();
}

QString CScanPnOrContainerView::runOperation(ScreenOperation operation) {
    if (operation != ScreenOperation::PackingNoteCall) {
        return KorvoView::runOperation(operation);
    }
    // Nothing found on this visit: there is no note to open.
    if (!doc_.currentPackingNote) {
        return Result::NotOk;
    }
    return sendPackingNote(NoteAction::CurrentById, QString()).operationText();
}

void CScanPnOrContainerView::resizeEvent(QResizeEvent* event) {
    KorvoView::resizeEvent(event);
    // Half a row behind the keypad helps nobody: the row shows when it fits.
    const bool fits = doneList_->geometry().bottom() < height() - 1;
    for (QWidget* w : std::initializer_list<QWidget*>{done_.count, done_.caption, doneList_}) {
        w->setVisible(fits);
    }
}

bool CScanPnOrContainerView::handleKey(QKeyEvent* event) {
    return DispatchScanScreenKey(event->key(), [this] {
        if (focusedWithText(note_)) {
            lookUpNote();
        } else if (focusedWithText(container_)) {
            lookUpContainer();
        }
    });
}

bool CScanPnOrContainerView::eventFilter(QObject* watched, QEvent* event) {
    // Only one way to the note at a time: a field that takes the focus empties
    // the other.
    if (event->type() == QEvent::FocusIn) {
        if (watched == note_) {
            container_->clear();
        } else if (watched == container_) {
            note_->clear();
        }
    }
    return KorvoView::eventFilter(watched, event);
}
