#pragma once

#include "service/service_transport.h"

#include <QString>

// The SOAP 1.1 envelope of a processRequest call, built in four parts. Every
// build step returns 0, or kEFail when the text cannot grow.
class SoapEnvelope {
public:
    // The XML declaration with `encoding` and the envelope start tag.
    HResult SetProlog(const QString& encoding);
    HResult StartBody();
    HResult StartOperation(const QString& name, const QString& nameSpace, const QString& prefix);
    // A text element; `text` goes in as given (escape it first).
    HResult AddTextElement(const QString& name, const QString& text);
    HResult EndOperation(const QString& name, const QString& prefix);
    HResult EndBody();
    HResult EndEnvelope();
    // complete := prolog + header + body + end.
    HResult Compose();

    void Clear();

    const QString& prolog() const { return prolog_; }
    const QString& header() const { return header_; } // the call carries no SOAP header
    const QString& body() const { return body_; }
    const QString& end() const { return end_; }
    const QString& complete() const { return complete_; }

    // Element builders: "<prefix:name xmlns:prefix="ns">", "</prefix:name>",
    // "<name>text</name>"; the prefix and namespace parts only when given.
    static QString StartTag(const QString& name, const QString& nameSpace = QString(),
                            const QString& prefix = QString());
    static QString EndTag(const QString& name, const QString& prefix = QString());
    static QString TextElement(const QString& name, const QString& text);

private:
    QString prolog_;
    QString header_;
    QString body_;
    QString end_;
    QString complete_;
};
