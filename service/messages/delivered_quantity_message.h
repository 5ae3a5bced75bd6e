#pragma once

#include "service/messages/catalogue_message.h"

// Sends the delivered quantities the worker changed: the lines of
// `packingNoteLines` (delivered products) or of `countResult` (counting) whose
// QD differs from the quantity parsed. The answer is evaluated, not parsed.
class DeliveredQuantityMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    DeliveredQuantityMessage(CKorvoDoc& doc, bool interactive, QuantityPurpose purpose);

    QString BuildRequest() override;

private:
    QuantityPurpose purpose_;
};

// The exchange, and how it ended.
SendResult SendDeliveredQuantity(CKorvoDoc& doc, QuantityPurpose purpose, const QString& webPath,
                                 bool interactive);
// The same exchange as a word: "OK" or the text that was shown.
QString SendDeliveredQuantityMessage(CKorvoDoc& doc, QuantityPurpose purpose,
                                     const QString& webPath, bool interactive);
