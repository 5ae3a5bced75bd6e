#pragma once

#include "service/messages/catalogue_message.h"

// Reports an item or bundle scanned in or out of the pool, with the time of
// the scan; the answer refills the work state's `poolScanResult` in place.
class PoolScanMessage final : public CatalogueMessage {
public:
    static const MessageInfo kInfo;
    PoolScanMessage(CKorvoDoc& doc, bool interactive);

    void setScan(const QString& idCode, std::int32_t action, std::int32_t uniqueItemId,
                 std::int32_t uniqueBundleId);

    QString BuildRequest() override;
    void ParseResponse(const QString& document) override;

private:
    QString idCode_;
    std::int32_t action_ = 0;
    std::int32_t uniqueItemId_ = 0;
    std::int32_t uniqueBundleId_ = 0;
};

// The exchange, and how it ended.
SendResult SendPoolScan(CKorvoDoc& doc, const QString& idCode, std::int32_t action,
                        std::int32_t uniqueItemId, std::int32_t uniqueBundleId,
                        const QString& webPath, bool interactive);
// The same exchange as a word: "OK" or the text that was shown.
QString SendPoolScanMessage(CKorvoDoc& doc, const QString& idCode, std::int32_t action,
                            std::int32_t uniqueItemId, std::int32_t uniqueBundleId,
                            const QString& webPath, bool interactive);
