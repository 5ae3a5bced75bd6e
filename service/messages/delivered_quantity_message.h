#pragma once

#include "service/messages/catalogue_message.h"

// Sends the delivered quantities the worker changed: the lines of
// `packingNoteLines` (scanPurpose 1) or of `countResult` (scanPurpose 2) whose
// QD differs from the quantity parsed. The answer is evaluated, not parsed.
class DeliveredQuantityMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    DeliveredQuantityMessage(CKorvoDoc& doc, bool interactive);

    QString BuildRequest() override;
};

// "OK", or the text that was shown.
QString SendDeliveredQuantityMessage(CKorvoDoc& doc, const QString& webPath, bool interactive);
