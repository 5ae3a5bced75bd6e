#include "service/messages/print_message.h"

const MessageInfo PrintMessage::kInfo = {"KORVANEPRINT", "ID015", "Update", false, "Print", ""};

PrintMessage::PrintMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

void PrintMessage::setPrint(std::uint16_t colli, int orderForm) {
    colli_ = colli;
    orderForm_ = orderForm;
}

QString PrintMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvanePrintRequest");
    return DumpRequest(Declaration() + RootStart(element, element, true) + MobileDevice(d) +
                       Element(QStringLiteral("PackingNote_ID"), Signed(d.packingNoteId)) +
                       EmployeeId(d) + Element(QStringLiteral("Colli"), Signed(colli_)) +
                       QLatin1Char('\n') +
                       Element(QStringLiteral("PrintOrderForm"),
                               orderForm_ == 1 ? QStringLiteral("true") : QStringLiteral("false")) +
                       QLatin1Char('\n') + RootEnd(element));
}

SendResult SendPrint(CKorvoDoc& doc, std::uint16_t colli, int orderForm, const QString& webPath,
                     bool interactive) {
    PrintMessage message(doc, interactive);
    message.setPrint(colli, orderForm);
    return SendForOk(message, webPath, interactive);
}

QString SendPrintMessage(CKorvoDoc& doc, std::uint16_t colli, int orderForm, const QString& webPath,
                         bool interactive) {
    return SendPrint(doc, colli, orderForm, webPath, interactive).operationText();
}
