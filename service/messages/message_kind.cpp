#include "service/messages/message_kind.h"

#include "platform/prompter.h"
#include "service/messages/route_message.h"
#include "service/messages/settings_message.h"

std::unique_ptr<ServiceMessage> CreateMessage(MessageKind kind, CKorvoDoc& doc, bool interactive) {
    switch (kind) {
    case MessageKind::Settings:
        return std::make_unique<SettingsMessage>(doc, interactive);
    case MessageKind::Route:
        return std::make_unique<RouteMessage>(doc, interactive);
    }
    return nullptr;
}

int CallMessage(MessageKind kind, CKorvoDoc& doc, bool interactive, const QString& webPath) {
    WaitCursor wait;
    const std::unique_ptr<ServiceMessage> message = CreateMessage(kind, doc, interactive);
    return message ? message->CallService(ApplicationVersion, webPath, interactive)
                   : kServiceFailed;
}
