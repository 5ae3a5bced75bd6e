#include "screens/scan_packing_note_view.h"

#include "model/korvo_doc.h"
#include "screens/shared_dialogs.h"
#include "service/back_office.h"
#include "widgets/colour_widgets.h"
#include "widgets/image_button.h"
#include "widgets/key_table.h"
#include "widgets/scan_field.h"

#include <QKeyEvent>
#include <QLabel>

CScanPackingNoteView::CScanPackingNoteView(ScreenFrame& frame, CKorvoDoc& doc, QWidget* parent)
    : KorvoView(frame, doc, kScanPackingNoteScreen, parent) {
    caption_ = new QLabel(this);
    caption_->setObjectName(QStringLiteral("noteCaption"));
    caption_->setTextFormat(Qt::PlainText);
    note_ = new CScanField(ScanKind::NoteNumber, doc, this);
    note_->setObjectName(QStringLiteral("noteNumber"));
    note_->setFont(ArialFont(16, true));
    back_ = MakeScreenButton(this, "back", kBackButtonId, IconGlyph::Back);
    connect(back_, &QAbstractButton::clicked, this, [this] { switchScreen(Cmd::ScanPnBack); });
}

void CScanPackingNoteView::activate() {
    doc_.currentPackingNote.reset();
    doc_.listOrigin = NoteOrigin::Scanned;
    setTitle(T(QStringLiteral("lblScanPnTitle")));
    caption_->setText(T(QStringLiteral("lblScanNote")));
    layoutButtons({kBackButtonId, 0, 0, 0, 0, 0});
    const QRect area = contentArea();
    caption_->setGeometry(8, area.top() + 16, area.width() - 16, 18);
    note_->setGeometry(8, area.top() + 36, area.width() - 16, 30);
    note_->setFocus(Qt::OtherFocusReason);
}

SendResult CScanPackingNoteView::sendPackingNote(NoteAction action) {
    const QString number = note_->text();
    // Notes scanned here belong to no route and no department.
    if (!doc_.currentRoute) {
        doc_.currentRoute = RouteControl{};
    }
    doc_.currentRoute->RCID = -1;
    doc_.departmentId = -1;
    return sendLogged("Scan PN.Error CallPackingNoteWebService",
                      [&] { return backOffice().packingNote(action, number); });
}

void CScanPackingNoteView::lookUp() {
    inputPanel(false);
    // The note of an earlier scan must not stand in for one the back office
    // did not answer.
    doc_.currentPackingNote.reset();
    if (!sendPackingNote(NoteAction::ScannedNumber).isOk() || !doc_.currentPackingNote) {
        // The number stays, selected, so the next scan replaces it.
        note_->selectAll();
        return;
    }
    SettleScannedNoteRoute(doc_);
    if (!sendPackingNote(NoteAction::CurrentById).isOk() || !doc_.currentPackingNote) {
        // The number stays, selected, so the next scan replaces it.
        note_->selectAll();
        return;
    }
    doc_.packingNoteId = doc_.currentPackingNote->PNID;
    switchScreen(Cmd::PackingNoteScanned);
}

QString CScanPackingNoteView::runOperation(ScreenOperation operation) {
    if (operation != ScreenOperation::ScannedNoteLines) {
        return KorvoView::runOperation(operation);
    }
    if (!doc_.currentPackingNote) {
        return Result::NotOk;
    }
    return sendLogged("Scan Packing Note. Error on Calling PackingNoteLineWebService.",
                      [&] { return backOffice().packingNoteLines(); })
        .operationText();
}

bool CScanPackingNoteView::handleKey(QKeyEvent* event) {
    return DispatchKey(
        event->key(),
        {
            {kBackKeys, keyCommand(Cmd::ScanPnBack)}, // Escape: Back, as on every other screen
            {kEnterKey | kRightKey,
             [this](int) {
                 if (focusedWithText(note_)) {
                     lookUp();
                     return true;
                 }
                 return false;
             }},
        });
}
