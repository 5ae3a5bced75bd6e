#include "service/messages/pool_scan_message.h"

#include "config/text_helpers.h"
#include "service/xml_cursor.h"

const MessageInfo PoolScanMessage::kInfo = {
    "KORVANEPOOLSCAN", "ID025", "Update", false, "PoolScan", "DeliveredQuatityWebService"};

PoolScanMessage::PoolScanMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

void PoolScanMessage::setScan(const QString& idCode, std::int32_t action, std::int32_t uniqueItemId,
                              std::int32_t uniqueBundleId) {
    idCode_ = idCode;
    action_ = action;
    uniqueItemId_ = uniqueItemId;
    uniqueBundleId_ = uniqueBundleId;
}

QString PoolScanMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvanePoolScanRequest");
    QString request = Declaration() + RootStart(element, element, false) + MobileDevice(d) +
                      PackingNoteId(d) + EmployeeId(d) +
                      Element(QStringLiteral("Action"), Unsigned(action_)) +
                      TextElement(QStringLiteral("IDCode"), idCode_) + ScanTimestamp();
    if (uniqueItemId_ != 0) {
        request += Element(QStringLiteral("UniqueItem_ID"), Signed(uniqueItemId_));
    }
    if (uniqueBundleId_ != 0) {
        request += Element(QStringLiteral("UniqueBundle_ID"), Signed(uniqueBundleId_));
    }
    return DumpRequest(request + RootEnd(element));
}

void PoolScanMessage::ParseResponse(const QString& document) {
    CKorvoDoc& d = doc();
    // The back office answers a pool scan under the container answer's name.
    const XmlCursor root =
        XmlCursor::LoadDocument(document).Descend("KorvanePackingNoteContainerResponse");
    PoolScanResult& result = d.poolScanResult ? *d.poolScanResult : d.poolScanResult.emplace();
    result.PackingNote_ID = WholeTextToInt(root.ChildText("PackingNote_ID"));
    result.StatusCode = root.ChildText("StatusCode");
    result.UniqueItem_ID = WholeTextToInt(root.ChildText("UniqueItem_ID"));
    result.UniqueBundle_ID = WholeTextToInt(root.ChildText("UniqueBundle_ID"));

    result.flags.clear();
    for (const XmlCursor& values : root.FindChild("Flag").Children()) {
        result.flags.push_back({values.AttributeText("FC"), values.AttributeText("D"),
                                values.AttributeText("FT"), values.AttributeInt31("P"),
                                values.AttributeText("C"), values.AttributeIntFormatted("A", 0)});
    }

    packingnoteline& line = result.line.emplace();
    const XmlCursor lineValues = root.FindChild("packingnoteline").FirstChild();
    line.PNLID = lineValues.AttributeInt("PNLID");
    line.QO = lineValues.AttributeInt31("QO");
    line.QD = lineValues.AttributeInt31("QD");
    line.MINQ = lineValues.AttributeInt31("MINQ");
    line.MAXQ = lineValues.AttributeInt31("MAXQ");
    line.lineFlag = lineValues.AttributeInt31("SB"); // bundles scanned
    const XmlCursor product = root.FindChild("Product").FirstChild();
    line.PC = product.AttributeText("PC");
    line.PD = product.AttributeText("PD");
    line.SD = product.AttributeText("SD");
    line.FMD = product.AttributeText("FMD");
}

SendResult SendPoolScan(CKorvoDoc& doc, const QString& idCode, std::int32_t action,
                        std::int32_t uniqueItemId, std::int32_t uniqueBundleId,
                        const QString& webPath, bool interactive) {
    PoolScanMessage message(doc, interactive);
    message.setScan(idCode, action, uniqueItemId, uniqueBundleId);
    return SendForOk(message, webPath, interactive);
}

QString SendPoolScanMessage(CKorvoDoc& doc, const QString& idCode, std::int32_t action,
                            std::int32_t uniqueItemId, std::int32_t uniqueBundleId,
                            const QString& webPath, bool interactive) {
    return SendPoolScan(doc, idCode, action, uniqueItemId, uniqueBundleId, webPath, interactive)
        .operationText();
}
