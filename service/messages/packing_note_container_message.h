#pragma once

#include "service/messages/catalogue_message.h"

// Finds the packing note a scanned container belongs to; the note becomes the
// work state's `currentPackingNote` (updated in place).
class PackingNoteContainerMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    PackingNoteContainerMessage(CKorvoDoc& doc, bool interactive);

    void setContainerIdCode(const QString& code) { containerIdCode_ = code; }

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;

private:
    QString containerIdCode_;
};

// The exchange, and how it ended.
SendResult SendPackingNoteContainer(CKorvoDoc& doc, const QString& containerIdCode,
                                    const QString& webPath, bool interactive);
// The same exchange as a word: "OK" or the text that was shown.
QString SendPackingNoteContainerMessage(CKorvoDoc& doc, const QString& containerIdCode,
                                        const QString& webPath, bool interactive);
