#pragma once

#include "service/messages/catalogue_message.h"

// Fetches one packing note into the work state's `currentPackingNote`
// (updated in place). `action` chooses which: the current note by its id, with
// its details; a scanned note number, with the answer's route change read into
// the note (the caller settles it: SettleRouteChange); the next new note of
// the route; or the note the worker leaves.
class PackingNoteMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    PackingNoteMessage(CKorvoDoc& doc, bool interactive, NoteAction action);

    void setScannedNoteNumber(const QString& number) { scannedNoteNumber_ = number; }

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;

private:
    NoteAction action_;
    QString scannedNoteNumber_;
};

// The exchange, and how it ended.
SendResult SendPackingNote(CKorvoDoc& doc, NoteAction action, const QString& scannedNoteNumber,
                           const QString& webPath, bool interactive);
// The same exchange as a word: "OK" or the text that was shown. A scanned
// number's route change is settled as the scan screens settle it, asking
// through the Prompter.
QString SendPackingNoteMessage(CKorvoDoc& doc, NoteAction action, const QString& scannedNoteNumber,
                               const QString& webPath, bool interactive);
