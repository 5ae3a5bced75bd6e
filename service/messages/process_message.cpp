#include "service/messages/process_message.h"

const MessageInfo ProcessMessage::kInfo = {"KORVANEPROCESS", "ID023", "Update", false,
                                           "Process",        ""};

ProcessMessage::ProcessMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

QString ProcessMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvaneProcessRequest");
    return DumpRequest(Declaration() + RootStart(element, element, false) + MobileDevice(d) +
                       PackingNoteId(d) + EmployeeId(d) + RootEnd(element));
}

SendResult SendProcess(CKorvoDoc& doc, const QString& webPath, bool interactive) {
    ProcessMessage message(doc, interactive);
    return SendForOk(message, webPath, interactive);
}

QString SendProcessMessage(CKorvoDoc& doc, const QString& webPath, bool interactive) {
    return SendProcess(doc, webPath, interactive).operationText();
}
