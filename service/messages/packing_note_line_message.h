#pragma once

#include "service/messages/catalogue_message.h"
#include "service/xml_cursor.h"

// Fetches the lines of the current packing note into the work state's
// `packingNoteLines` (refilled in place).
class PackingNoteLineMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    PackingNoteLineMessage(CKorvoDoc& doc, bool interactive);

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;
};

// Reads one line of a line or count answer; `minimum` and `maximum` name the
// attributes of the quantity limits.
packingnoteline ReadPackingNoteLine(const XmlCursor& values, const char* minimum,
                                    const char* maximum);

// The exchange, and how it ended.
SendResult SendPackingNoteLine(CKorvoDoc& doc, const QString& webPath, bool interactive);
// The same exchange as a word: "OK" or the text that was shown.
QString SendPackingNoteLineMessage(CKorvoDoc& doc, const QString& webPath, bool interactive);
