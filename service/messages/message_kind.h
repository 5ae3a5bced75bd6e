#pragma once

#include "model/korvo_doc.h"
#include "service/service_message.h"

#include <QString>
#include <memory>

// The messages the main frame sends on its own while it changes screens and
// that need nothing but the work state (the note lists are sent with their kind).
enum class MessageKind { Settings, Route };

std::unique_ptr<ServiceMessage> CreateMessage(MessageKind kind, CKorvoDoc& doc, bool interactive);

// Creates the message, runs it behind the wait cursor with the program version
// and `webPath`, and returns its ServiceResult (0 on success).
int CallMessage(MessageKind kind, CKorvoDoc& doc, bool interactive, const QString& webPath);
