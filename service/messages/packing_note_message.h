#pragma once

#include "service/messages/catalogue_message.h"

// Fetches one packing note into the work state's `currentPackingNote`
// (updated in place). `action` chooses which: the current note by its id, with
// its details; a scanned note number, with a possible change of route (asked
// through the Prompter when the plant settings say so); the next new note of
// the route; or the note the worker leaves.
class PackingNoteMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    PackingNoteMessage(CKorvoDoc& doc, bool interactive, NoteAction action);

    void setScannedNoteNumber(const QString& number) { scannedNoteNumber_ = number; }

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;

private:
    // AORD 2: whether the worker takes over the scanned note's route.
    bool askRouteChange(const RouteChange& change) const;

    NoteAction action_;
    QString scannedNoteNumber_;
};

// "OK", or the text that was shown.
SendResult SendPackingNote(CKorvoDoc& doc, NoteAction action, const QString& scannedNoteNumber,
                           const QString& webPath, bool interactive);
// The same exchange as a word: "OK" or the text that was shown.
QString SendPackingNoteMessage(CKorvoDoc& doc, NoteAction action, const QString& scannedNoteNumber,
                               const QString& webPath, bool interactive);
