#include "service/soap_envelope.h"

#include <new>

namespace {

template <typename Build> HResult guarded(Build build) {
    try {
        build();
        return kSOk;
    } catch (const std::bad_alloc&) {
        return kEFail;
    }
}

const QString kEnvelopeStart =
    QStringLiteral("<soap:Envelope xmlns:soap=\"http://schemas.xmlsoap.org/soap/envelope/\" "
                   "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
                   "xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\" "
                   "soap:encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\" "
                   "xmlns:soap-enc=\"http://schemas.xmlsoap.org/soap/encoding/\">");

} // namespace

QString SoapEnvelope::StartTag(const QString& name, const QString& nameSpace,
                               const QString& prefix) {
    QString tag = QStringLiteral("<");
    if (!prefix.isEmpty()) {
        tag += prefix + QLatin1Char(':');
    }
    tag += name;
    if (!nameSpace.isEmpty()) {
        tag += QStringLiteral(" xmlns");
        if (!prefix.isEmpty()) {
            tag += QLatin1Char(':') + prefix;
        }
        tag += QStringLiteral("=\"") + nameSpace + QLatin1Char('"');
    }
    return tag + QLatin1Char('>');
}

QString SoapEnvelope::EndTag(const QString& name, const QString& prefix) {
    QString tag = QStringLiteral("</");
    if (!prefix.isEmpty()) {
        tag += prefix + QLatin1Char(':');
    }
    return tag + name + QLatin1Char('>');
}

QString SoapEnvelope::TextElement(const QString& name, const QString& text) {
    return StartTag(name) + text + EndTag(name);
}

HResult SoapEnvelope::SetProlog(const QString& encoding) {
    return guarded([&] {
        prolog_ = QStringLiteral("<?xml version=\"1.0\" encoding=\"") + encoding +
                  QStringLiteral("\" ?>") + kEnvelopeStart;
    });
}

HResult SoapEnvelope::StartBody() {
    return guarded(
        [&] { body_ += StartTag(QStringLiteral("Body"), QString(), QStringLiteral("soap")); });
}

HResult SoapEnvelope::StartOperation(const QString& name, const QString& nameSpace,
                                     const QString& prefix) {
    return guarded([&] { body_ += StartTag(name, nameSpace, prefix); });
}

HResult SoapEnvelope::AddTextElement(const QString& name, const QString& text) {
    return guarded([&] { body_ += TextElement(name, text); });
}

HResult SoapEnvelope::EndOperation(const QString& name, const QString& prefix) {
    return guarded([&] { body_ += EndTag(name, prefix); });
}

HResult SoapEnvelope::EndBody() {
    return guarded([&] { body_ += EndTag(QStringLiteral("Body"), QStringLiteral("soap")); });
}

HResult SoapEnvelope::EndEnvelope() {
    return guarded([&] { end_ = EndTag(QStringLiteral("Envelope"), QStringLiteral("soap")); });
}

HResult SoapEnvelope::Compose() {
    return guarded([&] { complete_ = prolog_ + header_ + body_ + end_; });
}

void SoapEnvelope::Clear() {
    prolog_.clear();
    header_.clear();
    body_.clear();
    end_.clear();
    complete_.clear();
}
