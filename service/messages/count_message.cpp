#include "service/messages/count_message.h"

#include "service/messages/packing_note_line_message.h"
#include "service/xml_cursor.h"

const MessageInfo CountMessage::kInfo = {"KORVANECOUNT", "ID025", "Update",
                                         false,          "Count", "SettingsWebService"};

CountMessage::CountMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

QString CountMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvaneCountRequest");
    return DumpRequest(Declaration() + RootStart(element, element, true) + MobileDevice(d) +
                       PackingNoteId(d) + EmployeeId(d) + RootEnd(element));
}

void CountMessage::ParseResponse(const QString& document) {
    CKorvoDoc& d = doc();
    const XmlCursor root = XmlCursor::LoadDocument(document).Descend("KorvaneCountResponse");
    PackingNoteLineList& list = d.countResult ? *d.countResult : d.countResult.emplace();
    // Child element texts here, unlike the attributes of the line answer.
    list.PackingNote_ID = root.ChildText("PackingNote_ID");
    list.StatusCode = root.ChildText("StatusCode");
    list.lines.clear();
    for (const XmlCursor& values : root.FindChild("CountProduct").Children()) {
        list.lines.push_back(ReadPackingNoteLine(values, "MINQD", "MAXQD"));
    }
}

SendResult SendCount(CKorvoDoc& doc, const QString& webPath, bool interactive) {
    CountMessage message(doc, interactive);
    return SendForOk(message, webPath, interactive);
}

QString SendCountMessage(CKorvoDoc& doc, const QString& webPath, bool interactive) {
    return SendCount(doc, webPath, interactive).operationText();
}
