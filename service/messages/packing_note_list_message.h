#pragma once

#include "service/messages/catalogue_message.h"

// Fetches the notes of the current route in one state (new, in progress or
// done) into `packingNoteList`.
// Sent by the main frame.
class PackingNoteListMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    PackingNoteListMessage(CKorvoDoc& doc, bool interactive, NoteListKind kind);

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;

private:
    NoteListKind kind_;
};

// Runs the list request behind the wait cursor; its ServiceResult (0 on success).
int CallPackingNoteListMessage(CKorvoDoc& doc, NoteListKind kind, const QString& webPath);
