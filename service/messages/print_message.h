#pragma once

#include "service/messages/catalogue_message.h"

// Asks the back office to print the delivery documents of the note chosen on
// the screens (the work state's `packingNoteId`). The answer is evaluated, not
// parsed.
class PrintMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    PrintMessage(CKorvoDoc& doc, bool interactive);

    // `orderForm` 1 asks for an order form; any other value does not.
    void setPrint(std::uint16_t colli, int orderForm);

    QString BuildRequest() override;

private:
    std::uint16_t colli_ = 0;
    int orderForm_ = 0;
};

// The exchange, and how it ended.
SendResult SendPrint(CKorvoDoc& doc, std::uint16_t colli, int orderForm, const QString& webPath,
                     bool interactive);
// The same exchange as a word: "OK" or the text that was shown.
QString SendPrintMessage(CKorvoDoc& doc, std::uint16_t colli, int orderForm, const QString& webPath,
                         bool interactive);
