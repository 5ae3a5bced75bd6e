#include "service/messages/delivered_quantity_message.h"

const MessageInfo DeliveredQuantityMessage::kInfo = {
    "KORVANEDELIVEREDQUANTITY", "ID022", "Update", false, "DeliveredQuantity", ""};

DeliveredQuantityMessage::DeliveredQuantityMessage(CKorvoDoc& doc, bool interactive,
                                                   QuantityPurpose purpose)
    : CatalogueMessage(doc, interactive, kInfo), purpose_(purpose) {}

QString DeliveredQuantityMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvaneDeliveredQuantityRequest");
    QString request = Declaration() + RootStart(element, element, false) + MobileDevice(d) +
                      PackingNoteId(d) + EmployeeId(d);
    const std::optional<PackingNoteLineList>* source = nullptr;
    if (purpose_ == QuantityPurpose::Delivered) {
        source = &d.packingNoteLines;
    } else if (purpose_ == QuantityPurpose::Counting) {
        source = &d.countResult;
    }
    if (source != nullptr && *source) {
        for (const packingnoteline& line : (*source)->lines) {
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

SendResult SendDeliveredQuantity(CKorvoDoc& doc, QuantityPurpose purpose, const QString& webPath,
                                 bool interactive) {
    DeliveredQuantityMessage message(doc, interactive, purpose);
    return SendForOk(message, webPath, interactive);
}

QString SendDeliveredQuantityMessage(CKorvoDoc& doc, QuantityPurpose purpose,
                                     const QString& webPath, bool interactive) {
    return SendDeliveredQuantity(doc, purpose, webPath, interactive).operationText();
}
