#pragma once

#include <QString>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// A back office on 127.0.0.1 that a test scripts: what the probe gets, and
// per function code what the call gets (an answer, a SOAP fault, a business
// error, any raw text, an answer that never comes, a reset connection). It
// records every request as it arrived.
//
// Answers follow the real service: the SOAP answer carries the returned
// document, with its own XML declaration, as text of a returnValue element,
// escaped the way XML text is (only &, < and >).
class LoopbackBackOffice {
public:
    struct Request {
        std::string method;
        std::string target;  // path and query
        std::string version; // "HTTP/1.0"
        std::vector<std::pair<std::string, std::string>>
            headers; // as the server library lists them
        std::string body;

        // The first value of a header (name without regard to case), or "".
        std::string header(const std::string& name) const;
        bool hasHeader(const std::string& name) const;
        // A post without SOAP action: the client's reachability check.
        bool isProbe() const { return header("SOAPAction") == "\"\""; }
        // The function code of the service header inside the envelope.
        QString functionCode() const;
    };

    enum class Behaviour {
        Answer, // send status, content type and body
        Hang,   // answer only once released (or at shutdown)
        Reset,  // reset the connection without answering
    };

    struct Reply {
        Behaviour behaviour = Behaviour::Answer;
        int status = 200;
        std::string contentType = "text/xml; charset=utf-8";
        std::string body;
    };

    LoopbackBackOffice();
    ~LoopbackBackOffice();
    LoopbackBackOffice(const LoopbackBackOffice&) = delete;
    LoopbackBackOffice& operator=(const LoopbackBackOffice&) = delete;

    int port() const;
    QString host() const { return QStringLiteral("127.0.0.1"); }
    QString portText() const { return QString::number(port()); }
    // A port on 127.0.0.1 where nothing listens.
    static int refusedPort();

    // What the probe gets; by default a short XML text.
    void setProbeReply(Reply reply);
    // What the call with this function code gets; "" for every code without a
    // reply of its own. By default an answer with an empty document.
    void setReply(const QString& functionCode, Reply reply);

    // The returned document `innerDocument` in a SOAP answer.
    void answer(const QString& functionCode, const QString& innerDocument);
    // A SOAP fault (status 500).
    void fault(const QString& functionCode, const QString& faultString = QStringLiteral("boom"));
    // An answer whose document carries a Code and a Message.
    void businessError(const QString& functionCode, const QString& code, const QString& message,
                       const QString& responseElement = QStringLiteral("KorvaneResponse"));
    void hang(const QString& functionCode);
    void hangProbe();
    void reset(const QString& functionCode);
    void resetProbe();
    // Lets every hanging request answer (with an empty body).
    void release();

    std::vector<Request> requests() const;
    // The requests that were not probes.
    std::vector<Request> calls() const;
    void clearRequests();

    // Answer texts, also used by benchmarks.
    static QString EscapeText(const QString& text);
    static std::string SoapAnswer(const QString& innerDocument);
    // A SOAP answer around an already escaped returnValue text.
    static std::string SoapAnswerEscaped(const std::string& escapedReturnValue);
    static std::string SoapFault(const QString& faultString);
    static QString ErrorDocument(const QString& responseElement, const QString& code,
                                 const QString& message);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
