#include "service/messages/delivered_quantity_message.h"

const MessageInfo DeliveredQuantityMessage::kInfo = {
    "KORVANEDELIVEREDQUANTITY", "ID022", "Update", false, "DeliveredQuantity", ""};

DeliveredQuantityMessage::DeliveredQuantityMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

QString DeliveredQuantityMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvaneDeliveredQuantityRequest");
    QString request = Declaration() + RootStart(element, element, false) + MobileDevice(d) +
                      PackingNoteId(d) + EmployeeId(d);
    const std::optional<PackingNoteLineList>& source =
        d.scanPurpose == 1 ? d.packingNoteLines : d.countResult;
    if ((d.scanPurpose == 1 || d.scanPurpose == 2) && source) {
        for (const packingnoteline& line : source->lines) {
            if (line.QD == line.parsedQuantity) {
                continue;
            }
            request += QStringLiteral("<DeliveredLines xmlns=\"\">") +
                       Element(QStringLiteral("PackingNoteLine_ID"), Signed(line.PNLID)) +
                       Element(QStringLiteral("Delivered"), Signed(line.QD)) +
                       QStringLiteral("</DeliveredLines>");
        }
    }
    return DumpRequest(request + RootEnd(element));
}

QString SendDeliveredQuantityMessage(CKorvoDoc& doc, const QString& webPath, bool interactive) {
    DeliveredQuantityMessage message(doc, interactive);
    return SendForOk(message, webPath, interactive);
}
