#include "service/messages/catalogue_message.h"

#include "config/log.h"
#include "config/text_helpers.h"
#include "platform/clock.h"
#include "service/response_text.h"

namespace {

const QString kLogFolder = QStringLiteral("\\Korvo_XML\\Log\\");

} // namespace

CatalogueMessage::CatalogueMessage(CKorvoDoc& doc, bool interactive, const MessageInfo& info)
    : ServiceMessage(doc, interactive), info_(info) {}

QString CatalogueMessage::BuildHeader() {
    return ServiceHeaderText(QLatin1String(info_.messageId), QLatin1String(info_.transactionType),
                             FunctionCode(), info_.versionInHeader);
}

QString CatalogueMessage::ResponseDumpPath() const {
    return kLogFolder + QLatin1String(info_.dumpName) + QStringLiteral("Response.xml");
}

QString CatalogueMessage::RequestDumpPath() const {
    return kLogFolder + QLatin1String(info_.dumpName) + QStringLiteral("REQUEST.xml");
}

QString CatalogueMessage::FunctionCode() const {
    return QLatin1String(info_.functionCode);
}

QString CatalogueMessage::LogPrefix() const {
    return QLatin1String(info_.logPrefix);
}

QString CatalogueMessage::DumpRequest(const QString& document) const {
    // Request dumps stay in main memory whatever the storage location.
    WriteTextFile(RequestDumpPath(), document);
    return document;
}

SendResult SendForOk(ServiceMessage& message, const QString& webPath, bool interactive) {
    if (message.CallService(ApplicationVersion, webPath, interactive) == kServiceOk) {
        return SendResult::ok();
    }
    if (!message.refusalCode().isEmpty()) {
        return SendResult::refused(message.refusalCode(), message.errorText());
    }
    return SendResult::failed(message.errorText());
}

namespace RequestPiece {

QString Declaration() {
    return QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
}

QString RootStart(const QString& element, const QString& nameSpace, bool twoBlanks) {
    return QLatin1Char('<') + element + (twoBlanks ? QStringLiteral("  ") : QStringLiteral(" ")) +
           QStringLiteral("xmlns=\"http://") + kServiceNamespaceHost +
           QStringLiteral("/webservice/generated/xmlbindings/") + nameSpace + QStringLiteral("\">");
}

QString RootEnd(const QString& element) {
    return QStringLiteral("</") + element + QLatin1Char('>');
}

QString Element(const QString& name, const QString& value) {
    return QLatin1Char('<') + name + QStringLiteral(" xmlns=\"\">") + value + QStringLiteral("</") +
           name + QLatin1Char('>');
}

QString TextElement(const QString& name, const QString& text) {
    return Element(name, EscapeXml(text));
}

QString Signed(std::int64_t value) {
    return FormatNumber(static_cast<double>(value), 0);
}

QString Unsigned(std::int32_t value) {
    return Signed(static_cast<std::uint32_t>(value));
}

QString MobileDevice(const CKorvoDoc& doc) {
    return Element(QStringLiteral("MobileDevice_ID"), Signed(doc.mobileDeviceId));
}

QString EmployeeId(const CKorvoDoc& doc) {
    return doc.employee == 0 ? QString()
                             : Element(QStringLiteral("Employee_ID"), Signed(doc.employee));
}

QString PackingNoteId(const CKorvoDoc& doc) {
    return Element(QStringLiteral("PackingNote_ID"),
                   Signed(doc.currentPackingNote ? doc.currentPackingNote->PNID : 0));
}

QString ScanTimestamp() {
    const QDateTime now = DeviceClock::now();
    const QDate date = now.date();
    const QTime time = now.time();
    auto line = [](const char* tag, std::int64_t value) {
        return QLatin1Char('<') + QLatin1String(tag) + QLatin1Char('>') + Signed(value) +
               QStringLiteral("</") + QLatin1String(tag) + QStringLiteral(">\n");
    };
    return QStringLiteral("<ScanTimestamp xmlns=\"\"> \n") + line("year", date.year()) +
           line("month", date.month()) + line("day", date.day()) + line("hours", time.hour()) +
           line("minutes", time.minute()) + line("seconds", time.second()) +
           line("milliseconds", DeviceClock::tickCount() % 1000) +
           QStringLiteral("</ScanTimestamp>");
}

} // namespace RequestPiece
