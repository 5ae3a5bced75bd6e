#pragma once

#include "service/messages/catalogue_message.h"

// Downloads the plant settings: the Settings record with its plant, container
// ranges and departments, kept in the work state's currentSettings (updated in
// place), and the handheld's id (mobileDeviceId). Sent by the main frame; the
// settings screen's test download sends the pending plant and PDA codes.
class SettingsMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    SettingsMessage(CKorvoDoc& doc, bool interactive);

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;
};
