#include "service/messages/container_scan_message.h"

#include "service/xml_cursor.h"

const MessageInfo ContainerScanMessage::kInfo = {
    "KORVANECONTAINERSCAN", "ID017", "Update", false, "ContainerScan", "PackingNoteWebService"};

ContainerScanMessage::ContainerScanMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

QString ContainerScanMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvaneContainerScanRequest");
    return DumpRequest(Declaration() + RootStart(element, element, false) + MobileDevice(d) +
                       PackingNoteId(d) + EmployeeId(d) +
                       TextElement(QStringLiteral("ContainerIDCode"), containerIdCode_) +
                       ScanTimestamp() + RootEnd(element));
}

void ContainerScanMessage::ParseResponse(const QString& document) {
    // The record is the first node under the document element, whatever its
    // name.
    const XmlCursor values = XmlCursor::LoadDocument(document).FirstChild();
    std::vector<ContainerScanRecord>& records = doc().containerScanResult;
    if (records.size() >= kMaxContainerScanRecords) {
        records.erase(records.begin(),
                      records.begin() + static_cast<std::ptrdiff_t>(records.size() -
                                                                    kMaxContainerScanRecords + 1));
    }
    records.push_back(
        {values.AttributeInt("PNID"), values.AttributeText("CPID"), values.AttributeText("SC")});
}

SendResult SendContainerScan(CKorvoDoc& doc, const QString& containerIdCode, const QString& webPath,
                             bool interactive) {
    ContainerScanMessage message(doc, interactive);
    message.setContainerIdCode(containerIdCode);
    return SendForOk(message, webPath, interactive);
}

QString SendContainerScanMessage(CKorvoDoc& doc, const QString& containerIdCode,
                                 const QString& webPath, bool interactive) {
    return SendContainerScan(doc, containerIdCode, webPath, interactive).operationText();
}
