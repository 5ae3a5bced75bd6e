#pragma once

#include "service/messages/catalogue_message.h"

// Fetches the products to count for the current packing note into the work
// state's `countResult` (refilled in place).
class CountMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    CountMessage(CKorvoDoc& doc, bool interactive);

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;
};

// The exchange, and how it ended.
SendResult SendCount(CKorvoDoc& doc, const QString& webPath, bool interactive);
// The same exchange as a word: "OK" or the text that was shown.
QString SendCountMessage(CKorvoDoc& doc, const QString& webPath, bool interactive);
