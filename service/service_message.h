#pragma once

#include "model/korvo_doc.h"
#include "service/soap_envelope.h"

#include <QString>
#include <cstdint>

// Host part of the namespace URIs of the service header and of every request
// document. The back office matches it; it has nothing to do with the host
// the handheld connects to.
inline const QString kServiceNamespaceHost = QStringLiteral("korvane.local");

// Caption of the service's own message boxes and status pop-ups.
inline const QString kServiceCaption = QStringLiteral("Korvane");

// Longest Code or Message text of an answer that is shown to the user; the
// rest of an absurdly long one is cut so a message box stays usable.
inline constexpr qsizetype kMaxShownAnswerText = 1024;

// Results of CallService.
enum ServiceResult : int {
    kServiceOk = 0,          // answered without error code; the answer was parsed
    kServiceUnreachable = 1, // no address, connect or probe failure, bad probe answer
    kServiceFailed = 2,      // reached, but the call, the answer or its code failed
};

// One exchange with the back office: the base of every message type. A sender
// creates it with the work state, gives it its inputs, calls CallService once,
// reads the results (from the work state or the message) and deletes it.
class ServiceMessage {
public:
    ServiceMessage(CKorvoDoc& doc, bool interactive);
    virtual ~ServiceMessage();
    ServiceMessage(const ServiceMessage&) = delete;
    ServiceMessage& operator=(const ServiceMessage&) = delete;

    // What a message type supplies. The base gives empty texts and parses
    // nothing.
    virtual QString BuildHeader();
    // Also writes the request dump.
    virtual QString BuildRequest();
    virtual QString ResponseDumpPath() const;
    virtual void ParseResponse(const QString& document);
    virtual QString FunctionCode() const;
    // Context of the log line written when reading the answer fails; empty:
    // no line.
    virtual QString LogPrefix() const;

    // Connects, probes, posts the envelope and evaluates the answer; returns a
    // ServiceResult. `version` is accepted for the callers' sake and not used.
    // An empty `servicePath` means the default path.
    int CallService(const QString& version, const QString& servicePath, bool interactive);

    // Finds the answer's return code and shows it when it reports an error
    // (1), or cuts out, unescapes, dumps and parses the returned document (0).
    int EvaluateResponse(QString text, const QString& responseDumpPath,
                         const QString& baseDirectory, bool interactive);

    // Shows the error box of a transport failure and keeps its text; nothing
    // for code 0. Returns the code.
    std::uint32_t ReportTransportError(std::uint32_t code, const QString& caption);
    // Keep the text as the error text and show it: an error box captioned
    // "Korvane", or an information box captioned with "lblImportDate".
    void ShowError(const QString& text);
    void ShowInfo(const QString& text);
    // The timed status pop-up (interactive calls only).
    void ShowStatus(const QString& text);

    // The last text shown for this exchange; empty when nothing was shown.
    const QString& errorText() const { return errorText_; }
    // The answer's error code when the back office refused the request;
    // empty when it answered without one or no answer was read.
    const QString& refusalCode() const { return refusalCode_; }
    const SoapEnvelope& envelope() const { return envelope_; }
    bool interactive() const { return interactive_; }
    CKorvoDoc& doc() const { return doc_; }

protected:
    QString T(const QString& key) const { return doc_.T(key); }

private:
    int callService(const QString& servicePath, bool interactive);
    // One log line for an exchange that failed on the way (no connection, no
    // answer, cancelled, a fault): what was shown and the transport's detail.
    void logFailedExchange(const QString& shown) const;
    void runParser(const QString& document);

    CKorvoDoc& doc_;
    bool interactive_;
    QString errorText_;
    QString refusalCode_;
    SoapEnvelope envelope_;
    QString responseText_;
};

// The service header document of a message type. `withVersion` adds the
// program version (settings message only).
QString ServiceHeaderText(const QString& messageId, const QString& transactionType,
                          const QString& functionCode, bool withVersion);

// Where the answer of a SOAP fault is kept, under a storage root.
QString ErrDownloadPath(const QString& baseDirectory);
