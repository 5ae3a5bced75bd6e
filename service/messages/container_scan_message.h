#pragma once

#include "service/messages/catalogue_message.h"

// Reports a container scanned for the current packing note, with the time of
// the scan. Each answer appends one record to the work state's
// `containerScanResult`, which the screens empty when they move to another
// note; the oldest records go beyond kMaxContainerScanRecords.
class ContainerScanMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    static constexpr size_t kMaxContainerScanRecords = 10000;
    ContainerScanMessage(CKorvoDoc& doc, bool interactive);

    void setContainerIdCode(const QString& code) { containerIdCode_ = code; }

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;

private:
    QString containerIdCode_;
};

// The exchange, and how it ended.
SendResult SendContainerScan(CKorvoDoc& doc, const QString& containerIdCode, const QString& webPath,
                             bool interactive);
// The same exchange as a word: "OK" or the text that was shown.
QString SendContainerScanMessage(CKorvoDoc& doc, const QString& containerIdCode,
                                 const QString& webPath, bool interactive);
