#pragma once

#include "service/messages/catalogue_message.h"

// Reports the current packing note as processed. The answer is evaluated, not
// parsed.
class ProcessMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    ProcessMessage(CKorvoDoc& doc, bool interactive);

    QString BuildRequest() override;
};

// The exchange, and how it ended.
SendResult SendProcess(CKorvoDoc& doc, const QString& webPath, bool interactive);
// The same exchange as a word: "OK" or the text that was shown.
QString SendProcessMessage(CKorvoDoc& doc, const QString& webPath, bool interactive);
