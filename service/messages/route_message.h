#pragma once

#include "service/messages/catalogue_message.h"

// Fetches the routes of the chosen department and day into the work state's
// `routes`. Sent by the main frame on the way to the route screen.
class RouteMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    RouteMessage(CKorvoDoc& doc, bool interactive);

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;
};
