#include "service/messages/packing_note_message.h"

#include "config/text_helpers.h"
#include "model/route_change.h"
#include "platform/prompter.h"
#include "service/xml_cursor.h"

#include <optional>

const MessageInfo PackingNoteMessage::kInfo = {"KORVANEPACKINGNOTE", "ID012", "Update", false,
                                               "PackingNote",        ""};

namespace {

void readRouteChange(const XmlCursor& values, RouteChange& change) {
    change.FD = values.AttributeText("FD");
    change.RCID = values.AttributeInt("RCID");
    change.RNR = values.AttributeInt("RNR");
    change.D = values.AttributeText("D");
    change.QN = values.AttributeInt31("QN");
    change.QP = values.AttributeInt31("QP");
    change.QC = values.AttributeInt31("QC");
}

} // namespace

PackingNoteMessage::PackingNoteMessage(CKorvoDoc& doc, bool interactive, NoteAction action)
    : CatalogueMessage(doc, interactive, kInfo), action_(action) {}

QString PackingNoteMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvanePackingnoteRequest");
    QString request = Declaration() +
                      RootStart(element, QStringLiteral("KorvanePackingNoteRequest"), false) +
                      MobileDevice(d) +
                      Element(QStringLiteral("RouteControl_ID"),
                              Unsigned(d.currentRoute ? d.currentRoute->RCID : 0)) +
                      Element(QStringLiteral("PlantDepartment_ID"), Unsigned(d.departmentId)) +
                      Element(QStringLiteral("Action"), Signed(WireValue(action_)));
    if (action_ == NoteAction::ScannedNumber) {
        request += TextElement(QStringLiteral("ScannedNoteNumber"), scannedNoteNumber_);
    } else if (action_ == NoteAction::CurrentById) {
        request += PackingNoteId(d);
    }
    return DumpRequest(request + EmployeeId(d) + RootEnd(element));
}

void PackingNoteMessage::ParseResponse(const QString& document) {
    CKorvoDoc& d = doc();
    const XmlCursor root = XmlCursor::LoadDocument(document).Descend("KorvanePackingNoteResponse");
    std::optional<PackingNote> fresh;
    PackingNote& note = d.currentPackingNote ? *d.currentPackingNote : fresh.emplace();

    const XmlCursor values = root.FindChild("PackingNote");
    note.PNID = values.AttributeInt("PNID");
    note.NNR = values.AttributeText("NNR");
    note.CN = values.AttributeText("CN");
    note.SP = values.AttributeBool("SP", false);
    note.SC = values.AttributeText("SC");

    if (action_ == NoteAction::CurrentById) {
        PackingNoteDetails& details = note.details ? *note.details : note.details.emplace();
        const XmlCursor detailValues = root.FindChild("PackingNoteDetails");
        details.SN = WholeTextToInt(detailValues.ChildText("SN"));
        details.DN = WholeTextToInt(detailValues.ChildText("DN"));
        details.DD = detailValues.ChildText("DD");
        details.CPN = WholeTextToInt(detailValues.ChildText("CPN"));
        details.CPD = detailValues.ChildText("CPD");
        details.TA = detailValues.ChildText("TA");
        details.R = detailValues.ChildText("R");
        details.C.clear();
        for (const XmlCursor& container : detailValues.FindChild("C").Children()) {
            details.C.push_back({container.AttributeText("CPID")});
        }
        details.UI.clear();
        for (const XmlCursor& instruction : detailValues.FindChild("UI").Children()) {
            details.UI.push_back({instruction.AttributeText("UI")});
        }
    }

    if (action_ == NoteAction::ScannedNumber) {
        // Only read here: what becomes of the worker's route is the screen's
        // to decide (SettleRouteChange).
        RouteChange& change = note.routeChange ? *note.routeChange : note.routeChange.emplace();
        readRouteChange(root.FindChild("RouteChange"), change);
    }
    if (fresh) {
        d.currentPackingNote = std::move(*fresh);
    }
}

SendResult SendPackingNote(CKorvoDoc& doc, NoteAction action, const QString& scannedNoteNumber,
                           const QString& webPath, bool interactive) {
    PackingNoteMessage message(doc, interactive, action);
    message.setScannedNoteNumber(scannedNoteNumber);
    return SendForOk(message, webPath, interactive);
}

QString SendPackingNoteMessage(CKorvoDoc& doc, NoteAction action, const QString& scannedNoteNumber,
                               const QString& webPath, bool interactive) {
    const SendResult sent = SendPackingNote(doc, action, scannedNoteNumber, webPath, interactive);
    if (sent.isOk() && action == NoteAction::ScannedNumber) {
        // As a handheld's scan screen settles it: the plant's rule, the
        // question through the Prompter.
        SettleRouteChange(doc, [&doc](const QString& question) {
            QuestionRequest request;
            request.style = 1;
            request.title = doc.T(QStringLiteral("lblZIRPA"));
            request.body = question;
            request.firstButton = doc.T(QStringLiteral("lblYes"));
            request.secondButton = doc.T(QStringLiteral("lblNo"));
            return Prompter::current().questionDialog(request) == DialogAnswer::First;
        });
    }
    return sent.operationText();
}
