#include "service/messages/packing_note_line_message.h"

#include "service/xml_cursor.h"

const MessageInfo PackingNoteLineMessage::kInfo = {
    "KORVANEPACKINGNOTELINE", "ID021", "Retrieve", false, "PackingNoteLine",
    "PackingNoteWebService"};

PackingNoteLineMessage::PackingNoteLineMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

QString PackingNoteLineMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvanePackingnoteLineRequest");
    return DumpRequest(Declaration() +
                       RootStart(element, QStringLiteral("KorvanePackingNoteLineRequest"), false) +
                       MobileDevice(d) + PackingNoteId(d) + EmployeeId(d) + RootEnd(element));
}

packingnoteline ReadPackingNoteLine(const XmlCursor& values, const char* minimum,
                                    const char* maximum) {
    packingnoteline line;
    line.PNLID = values.AttributeInt("PNLID");
    line.PS = values.AttributeInt("PS");
    line.PC = values.AttributeText("PC");
    line.PD = values.AttributeText("PD");
    line.SD = values.AttributeText("SD");
    line.FMD = values.AttributeText("FMD");
    line.QO = values.AttributeInt31("QO");
    line.QD = values.AttributeInt31("QD");
    line.MINQ = values.AttributeInt31(minimum);
    line.MAXQ = values.AttributeInt31(maximum);
    line.parsedQuantity = line.QD;
    line.editedQuantity = -1;
    line.lineFlag = 0;
    return line;
}

void PackingNoteLineMessage::ParseResponse(const QString& document) {
    CKorvoDoc& d = doc();
    const XmlCursor root =
        XmlCursor::LoadDocument(document).Descend("KorvanePackingNoteLineResponse");
    PackingNoteLineList& list =
        d.packingNoteLines ? *d.packingNoteLines : d.packingNoteLines.emplace();
    list.PackingNote_ID = root.AttributeText("PackingNote_ID");
    list.StatusCode = root.AttributeText("StatusCode");
    list.lines.clear();
    for (const XmlCursor& values : root.FindChild("packingnoteline").Children()) {
        list.lines.push_back(ReadPackingNoteLine(values, "MINQ", "MAXQ"));
    }
}

SendResult SendPackingNoteLine(CKorvoDoc& doc, const QString& webPath, bool interactive) {
    PackingNoteLineMessage message(doc, interactive);
    return SendForOk(message, webPath, interactive);
}

QString SendPackingNoteLineMessage(CKorvoDoc& doc, const QString& webPath, bool interactive) {
    return SendPackingNoteLine(doc, webPath, interactive).operationText();
}
