#include "service/messages/packing_note_list_message.h"

#include "platform/prompter.h"
#include "service/xml_cursor.h"

const MessageInfo PackingNoteListMessage::kInfo = {
    "KORVANEPACKINGNOTELIST", "ID012", "Retrieve", false, "PNList", "PackingNoteListWebService"};

PackingNoteListMessage::PackingNoteListMessage(CKorvoDoc& doc, bool interactive, NoteListKind kind)
    : CatalogueMessage(doc, interactive, kInfo), kind_(kind) {}

QString PackingNoteListMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvanePackingNoteListRequest");
    return DumpRequest(Declaration() + RootStart(element, element, true) + MobileDevice(d) +
                       Element(QStringLiteral("RouteControl_ID"),
                               Unsigned(d.currentRoute ? d.currentRoute->RCID : 0)) +
                       Element(QStringLiteral("PlantDepartment_ID"), Unsigned(d.departmentId)) +
                       QLatin1Char('\n') +
                       Element(QStringLiteral("Action"), Signed(WireValue(kind_))) +
                       QLatin1Char('\n') + EmployeeId(d) + RootEnd(element));
}

void PackingNoteListMessage::ParseResponse(const QString& document) {
    CKorvoDoc& d = doc();
    const XmlCursor root =
        XmlCursor::LoadDocument(document).Descend("KorvanePackingNoteListResponse");
    d.packingNoteList.clear();
    for (const XmlCursor& values : root.FindChild("PackingNote").Children()) {
        PackingNote note;
        note.PNID = values.AttributeInt("PNID");
        note.NNR = values.AttributeText("NNR");
        note.CN = values.AttributeText("CN");
        note.SP = values.AttributeBool("SP", false);
        note.PNCN = values.AttributeInt("PNCN");
        d.packingNoteList.push_back(std::move(note));
    }
}

int CallPackingNoteListMessage(CKorvoDoc& doc, NoteListKind kind, const QString& webPath) {
    WaitCursor wait;
    PackingNoteListMessage message(doc, false, kind);
    return message.CallService(ApplicationVersion, webPath, false);
}
