#pragma once

#include "service/messages/catalogue_message.h"

// Fetches the notes of the current route in one state (the work state's
// `packingNoteAction`: 0 new, 1 in progress, 2 done) into `packingNoteList`.
// Sent by the main frame.
class PackingNoteListMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    PackingNoteListMessage(CKorvoDoc& doc, bool interactive);

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;
};
