#pragma once

#include "service/messages/catalogue_message.h"

// Fetches one packing note into the work state's `currentPackingNote`
// (updated in place). The work state's `packingNoteAction` chooses how:
// 0 by the current note's id, with its details; 1 by a scanned note number,
// with a possible change of route (asked through the Prompter when the plant
// settings say so); 2 the next new note of the route.
class PackingNoteMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    PackingNoteMessage(CKorvoDoc& doc, bool interactive);

    void setScannedNoteNumber(const QString& number) { scannedNoteNumber_ = number; }

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;

private:
    // AORD 2: whether the worker takes over the scanned note's route.
    bool askRouteChange(const RouteChange& change) const;

    QString scannedNoteNumber_;
};

// "OK", or the text that was shown.
QString SendPackingNoteMessage(CKorvoDoc& doc, const QString& scannedNoteNumber,
                               const QString& webPath, bool interactive);
