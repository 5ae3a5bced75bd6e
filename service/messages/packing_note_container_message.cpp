#include "service/messages/packing_note_container_message.h"

#include "service/xml_cursor.h"

#include <optional>

const MessageInfo PackingNoteContainerMessage::kInfo = {
    "KORVANEPACKINGNOTECONTAINER", "ID012", "Retrieve", false, "PNContainer",
    "PackingNoteWebService"};

PackingNoteContainerMessage::PackingNoteContainerMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

QString PackingNoteContainerMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvanePackingNoteContainerRequest");
    return DumpRequest(
        Declaration() + RootStart(element, element, false) + MobileDevice(d) + EmployeeId(d) +
        TextElement(QStringLiteral("ContainerIDCode"), containerIdCode_) + RootEnd(element));
}

void PackingNoteContainerMessage::ParseResponse(const QString& document) {
    CKorvoDoc& d = doc();
    const XmlCursor values = XmlCursor::LoadDocument(document)
                                 .Descend("KorvanePackingNoteContainerResponse")
                                 .FindChild("PackingNote");
    PackingNote& note =
        d.currentPackingNote ? *d.currentPackingNote : d.currentPackingNote.emplace();
    note.PNID = values.AttributeInt("PNID");
    note.NNR = values.AttributeText("NNR");
    note.CN = values.AttributeText("CN");
    note.SP = values.AttributeBool("SP", false);
}

SendResult SendPackingNoteContainer(CKorvoDoc& doc, const QString& containerIdCode,
                                    const QString& webPath, bool interactive) {
    PackingNoteContainerMessage message(doc, interactive);
    message.setContainerIdCode(containerIdCode);
    return SendForOk(message, webPath, interactive);
}

QString SendPackingNoteContainerMessage(CKorvoDoc& doc, const QString& containerIdCode,
                                        const QString& webPath, bool interactive) {
    return SendPackingNoteContainer(doc, containerIdCode, webPath, interactive).operationText();
}
