#include "service/service_message.h"

#include "config/device_settings.h"
#include "config/log.h"
#include "config/text_helpers.h"
#include "platform/device_file_system.h"
#include "platform/prompter.h"
#include "service/response_text.h"
#include "service/service_transport.h"
#include "service/transport_errors.h"
#include "service/xml_cursor.h"

#include <exception>

namespace {

const QString kReturnValueStart = QStringLiteral("<returnValue>");
const QString kReturnValueEnd = QStringLiteral("</returnValue>");
const QString kEscapedDeclarationStart = QStringLiteral("&lt;?xml");
const QString kEscapedDeclarationEnd = QStringLiteral("?&gt;");

// First occurrence of a markup needle ("<returnValue>", "</env:Envelope>"):
// its first character is rare in an escaped answer, so jumping from one to
// the next beats a general substring search over megabytes.
qsizetype indexOfMarkup(const QString& text, QLatin1StringView needle, qsizetype from = 0) {
    const QStringView view(text);
    const QChar first(needle.front());
    for (qsizetype at = view.indexOf(first, from); at >= 0; at = view.indexOf(first, at + 1)) {
        if (view.mid(at).startsWith(needle)) {
            return at;
        }
    }
    return -1;
}

QString cappedAnswerText(QString text) {
    if (text.size() > kMaxShownAnswerText) {
        text.truncate(kMaxShownAnswerText);
    }
    return text;
}

// The SOAP answer's own XML declaration. Only a declaration at the start is
// one: a "?>" further on belongs to the content.
void removeLeadingDeclaration(QString& text) {
    qsizetype start = 0;
    while (start < text.size() && (text.at(start).isSpace() || text.at(start) == QChar(0xFEFF))) {
        ++start;
    }
    if (!QStringView(text).mid(start).startsWith(QLatin1String("<?"))) {
        return;
    }
    const qsizetype close = text.indexOf(QLatin1String("?>"));
    if (close > 0) {
        text.remove(0, close + 2);
    }
}

// The escaped returned document: from after "<returnValue>" and the inner
// document's declaration up to and including "</returnValue>"; the whole text
// when the answer has no returnValue element. Prefixed with "<returnValue>"
// and decoded, it is the document the parsers read.
QStringView returnedText(const QString& text) {
    const qsizetype start = indexOfMarkup(text, QLatin1StringView("<returnValue>"));
    const qsizetype end = indexOfMarkup(text, QLatin1StringView("</returnValue>"));
    if (start <= 0 || end <= 0) {
        return QStringView(text);
    }
    // Skip the inner document's declaration, whatever its length, when it has
    // one; a service that leaves ">" unescaped ends it with a plain "?>".
    qsizetype from = start + kReturnValueStart.size();
    if (QStringView(text).mid(from).startsWith(kEscapedDeclarationStart)) {
        const qsizetype escapedClose = text.indexOf(kEscapedDeclarationEnd, from);
        const qsizetype plainClose = text.indexOf(QLatin1String("?>"), from);
        if (escapedClose >= 0 && escapedClose < end &&
            (plainClose < 0 || escapedClose < plainClose)) {
            from = escapedClose + kEscapedDeclarationEnd.size();
        } else if (plainClose >= 0 && plainClose < end) {
            from = plainClose + 2;
        }
    }
    const qsizetype to = end + kReturnValueEnd.size();
    return to > from ? QStringView(text).mid(from, to - from) : QStringView();
}

} // namespace

ServiceMessage::ServiceMessage(CKorvoDoc& doc, bool interactive)
    : doc_(doc), interactive_(interactive) {
    ServiceTransport::instance().ResetPort();
}

ServiceMessage::~ServiceMessage() = default;

QString ServiceMessage::BuildHeader() {
    return QString();
}

QString ServiceMessage::BuildRequest() {
    return QString();
}

QString ServiceMessage::ResponseDumpPath() const {
    return QString();
}

void ServiceMessage::ParseResponse(const QString&) {}

QString ServiceMessage::FunctionCode() const {
    return QString();
}

QString ServiceMessage::LogPrefix() const {
    return QString();
}

void ServiceMessage::ShowError(const QString& text) {
    errorText_ = text;
    Prompter::current().messageBox({kServiceCaption, text, MessageIcon::Error, MessageButtons::Ok});
}

void ServiceMessage::logFailedExchange(const QString& shown) const {
    QString line = FunctionCode() + QStringLiteral(".Error CallService ") + shown;
    const QString& detail = ServiceTransport::instance().LastTransportDetail();
    if (!detail.isEmpty()) {
        line += QStringLiteral(" (") + detail + QLatin1Char(')');
    }
    WriteLog(doc_.storageLocation, ToNarrowText(line));
}

void ServiceMessage::ShowInfo(const QString& text) {
    errorText_ = text;
    Prompter::current().messageBox(
        {T(QStringLiteral("lblImportDate")), text, MessageIcon::None, MessageButtons::Ok});
}

void ServiceMessage::ShowStatus(const QString& text) {
    Prompter::current().statusPopup(kServiceCaption, text);
}

std::uint32_t ServiceMessage::ReportTransportError(std::uint32_t code, const QString& caption) {
    if (code == 0) {
        return 0;
    }
    QString text = TransportErrorText(code, doc_.translations);
    if (ServiceTransport::instance().LastStepCancelled()) {
        // Same code as the time-out it stands for, but no claim that the back
        // office took too long.
        text = T(QStringLiteral("msgExchangeCancelled"));
        if (text.endsWith(QLatin1String(" Not Translated !"))) {
            text = QStringLiteral("The exchange was cancelled.");
        }
    }
    logFailedExchange(text);
    errorText_ = text;
    Prompter::current().messageBox({caption, text, MessageIcon::Error, MessageButtons::Ok});
    return code;
}

int ServiceMessage::CallService(const QString& version, const QString& servicePath,
                                bool interactive) {
    Q_UNUSED(version);
    try {
        return callService(servicePath, interactive);
    } catch (const std::exception& error) {
        // Out of memory, in practice: logged, never passed on to the screen.
        WriteLog(doc_.storageLocation, FunctionCode() + QStringLiteral(".Error CallService") +
                                           ToNarrowText(QString::fromLocal8Bit(error.what())));
        return kServiceFailed;
    }
}

int ServiceMessage::callService(const QString& servicePath, bool interactive) {
    errorText_.clear();
    refusalCode_.clear();
    envelope_.Clear();

    const QString baseDirectory =
        IsStorageCard(doc_.storageLocation) ? doc_.storageLocation : QString();
    const QString host = doc_.settingsTestActive ? doc_.pendingHostIp : doc_.hostIp;
    const QString port = doc_.settingsTestActive ? doc_.pendingPortNumber : doc_.portNumber;
    if (host.isEmpty() || port.isEmpty() || port == QLatin1String("0")) {
        errorText_ = T(QStringLiteral("msgAddressNotAvail"));
        Prompter::current().messageBox(
            {T(QStringLiteral("msgErrInt")), errorText_, MessageIcon::Error, MessageButtons::Ok});
        return kServiceUnreachable;
    }

    const QString path = servicePath.isEmpty() ? kDefaultWebServicePath : servicePath;
    const QString url = QStringLiteral("http://") + host + QLatin1Char(':') + port +
                        QLatin1Char('/') + path + QStringLiteral("/QVRGenericWebService?WSDL");
    if (interactive) {
        ShowStatus(T(QStringLiteral("lblConnect")) + QLatin1Char('\n') +
                   T(QStringLiteral("lblHostIP")) + QStringLiteral(": ") + host +
                   QLatin1Char('\n') + T(QStringLiteral("lblPortNr")) + QStringLiteral(": ") +
                   port);
    }

    ServiceTransport& transport = ServiceTransport::instance();
    if (transport.Connect(url) != kSOk) {
        if (ReportTransportError(transport.LastTransportError(), T(QStringLiteral("msgErrInt"))) ==
            0) {
            ShowError(T(QStringLiteral("msgAddressNotAvail")));
            logFailedExchange(errorText_);
        }
        return kServiceUnreachable;
    }

    // The probe: the still empty envelope, without SOAP action.
    envelope_.Compose();
    if (transport.Post(responseText_, envelope_.complete()) != kSOk) {
        if (transport.LastTransportError() == 12031) {
            ShowError(T(QStringLiteral("msgAddressNotAvail")));
            logFailedExchange(errorText_);
        } else {
            ReportTransportError(transport.LastTransportError(), T(QStringLiteral("msgErrInt")));
        }
        return kServiceUnreachable;
    }
    if (interactive && !responseText_.isEmpty() &&
        !responseText_.contains(QLatin1String("<?xml version="))) {
        ShowError(T(QStringLiteral("msgInvalidIPWS")));
        return kServiceUnreachable;
    }
    if (interactive) {
        ShowStatus(T(QStringLiteral("msgConnected")));
        ShowStatus(T(QStringLiteral("msgProcessRequest")) + QLatin1Char('\n') +
                   T(QStringLiteral("msgPleaseWait")));
    }

    if (envelope_.SetProlog(QStringLiteral("ISO-8859-1")) != kSOk ||
        envelope_.StartBody() != kSOk ||
        envelope_.StartOperation(QStringLiteral("processRequest"), QStringLiteral("urn:QVR"),
                                 QStringLiteral("ns0")) != kSOk) {
        return kServiceUnreachable;
    }
    const QString header = EscapeXml(BuildHeader());
    const QString request = EscapeXml(BuildRequest());
    if (envelope_.AddTextElement(QStringLiteral("String_1"), header) != kSOk ||
        envelope_.AddTextElement(QStringLiteral("String_2"), request) != kSOk ||
        envelope_.EndOperation(QStringLiteral("processRequest"), QStringLiteral("ns0")) != kSOk ||
        envelope_.EndBody() != kSOk || envelope_.EndEnvelope() != kSOk ||
        envelope_.Compose() != kSOk) {
        return kServiceFailed;
    }

    if (transport.Post(responseText_, envelope_.complete(), QStringLiteral("processRequest")) !=
        kSOk) {
        ReportTransportError(transport.LastTransportError(), T(QStringLiteral("msgErrIntHTTP")));
        return kServiceFailed;
    }
    QString working = std::move(responseText_);
    responseText_ = QString();

    const DeviceFileSystem& fs = DeviceFileSystem::current();
    if (working.indexOf(QLatin1String("env:Fault")) > 0) {
        fs.writeFile(ErrDownloadPath(baseDirectory), LowBytes(working));
        ShowError(T(QStringLiteral("msgIntErrReq")));
        logFailedExchange(errorText_);
        return kServiceFailed;
    }
    fs.removeFile(ErrDownloadPath(baseDirectory));
    const int evaluation =
        EvaluateResponse(std::move(working), ResponseDumpPath(), baseDirectory, interactive);
    WriteDeviceSettings(doc_);
    return evaluation == 0 ? kServiceOk : kServiceFailed;
}

int ServiceMessage::EvaluateResponse(QString text, const QString& responseDumpPath,
                                     const QString& baseDirectory, bool interactive) {
    // Dumps go to the fixed paths of the message type; nothing in the answer
    // chooses a file.
    Q_UNUSED(baseDirectory);
    removeLeadingDeclaration(text);
    const qsizetype envelopeEnd = indexOfMarkup(text, QLatin1StringView("</env:Envelope>"));
    if (envelopeEnd >= 0) {
        text.truncate(envelopeEnd + 15);
    }

    const QString code = cappedAnswerText(FindEscapedTag(text, QStringLiteral("Code")));
    if (!code.isEmpty() && code != QLatin1String(" ")) {
        QString shown;
        if (code == QLatin1String("1")) {
            const QString message = FindEscapedTag(text, QStringLiteral("Message"));
            if (message == kInvalidUserMessage) {
                shown = T(QStringLiteral("ErrInvalidUser"));
            } else if (message == kServerDownMessage) {
                shown = T(QStringLiteral("ErrServerDown"));
            } else {
                shown = T(QStringLiteral("ErrServerDown1"));
            }
        } else {
            shown = T(code);
            if (shown.isEmpty()) {
                shown = cappedAnswerText(FindEscapedTag(text, QStringLiteral("Message")));
            }
            // Never an empty box: the code at least tells what went wrong.
            if (shown.isEmpty()) {
                shown = code;
            }
        }
        ShowInfo(shown);
        refusalCode_ = code;
        WriteTextFile(responseDumpPath, shown + QLatin1Char(' ') + text);
        return 1;
    }

    if (interactive) {
        ShowStatus(T(QStringLiteral("msgRequestProcessedSuccessfully")));
    }
    // Decoded twice, the service's documents come out plain whether it
    // escaped them once or twice, except where a once-escaped value held a
    // "&quot;" or "&lt;" that the second pass turns into markup. Such a
    // document no longer parses; decoded once, as XML text, it does.
    const QStringView escaped = returnedText(text);
    QString document = UnescapedDocument(kReturnValueStart, escaped);
    // Without "&amp;" or a numeric reference both decodings give the same
    // document: the answer need not stay in memory while it is parsed.
    const bool onceDiffers = escaped.contains(u"&amp;") || escaped.contains(u"&#");
    if (!onceDiffers) {
        text = QString();
    }
    XmlCursor root = XmlCursor::LoadDocument(document);
    if (!root.isElement() && onceDiffers) {
        QString once = XmlTextDecoded(kReturnValueStart, escaped);
        XmlCursor onceRoot = XmlCursor::LoadDocument(once);
        if (onceRoot.isElement()) {
            document = std::move(once);
            root = std::move(onceRoot);
        }
    }
    if (!root.isElement()) {
        // The function code names the message type unmistakably.
        WriteLog(doc_.storageLocation,
                 FunctionCode() + QStringLiteral(".Error the answer is no readable XML document"));
    }
    text = QString();
    WriteTextFile(responseDumpPath, document);
    {
        const ReusedDocument parsed(document, root);
        runParser(document);
    }
    if (interactive) {
        ShowStatus(T(QStringLiteral("lblConSucces")));
    }
    return 0;
}

void ServiceMessage::runParser(const QString& document) {
    try {
        ParseResponse(document);
    } catch (const std::exception& error) {
        // What was filled before the failure stays.
        const QString prefix = LogPrefix();
        if (!prefix.isEmpty()) {
            WriteLog(doc_.storageLocation,
                     prefix + QStringLiteral(".Error retrieving data from ws response") +
                         ToNarrowText(QString::fromLocal8Bit(error.what())));
        }
    }
}

QString ServiceHeaderText(const QString& messageId, const QString& transactionType,
                          const QString& functionCode, bool withVersion) {
    QString header =
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>"
                       "<QVRServiceHeader  xmlns=\"http://") +
        kServiceNamespaceHost +
        QStringLiteral("/webservice/generated/xmlbindings/QVRServiceHeader\">"
                       "    <messageID xmlns=\"\">") +
        messageId + QStringLiteral("</messageID>    <transactionType xmlns=\"\">") +
        transactionType + QStringLiteral("</transactionType>    <function xmlns=\"\">") +
        functionCode +
        QStringLiteral("</function>    <application xmlns=\"\">QVR Korvane</application>");
    if (withVersion) {
        header += QStringLiteral("    <version xmlns=\"\"> ") + ApplicationVersion +
                  QStringLiteral("</version>");
    }
    header += QStringLiteral("    <customer xmlns=\"\">Fenwold</customer>"
                             "    <webuser xmlns=\"\">WEBUSER</webuser></QVRServiceHeader>");
    return header;
}

QString ErrDownloadPath(const QString& baseDirectory) {
    return LogDirectory(baseDirectory) + QStringLiteral("\\ErrDownload.xml");
}
