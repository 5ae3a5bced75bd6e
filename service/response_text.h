#pragma once

#include <QString>

// Text operations on the raw answers of the back office and on the documents
// sent to it.

// Every "&", "<", ">", double quote and apostrophe as its entity, in one pass:
// values inside request documents and the documents inside the envelope.
QString EscapeXml(const QString& text);

// Decodes the returned document in place: "&amp;" first, then "&lt;", "&gt;",
// "&quot;", "&apos;" and "&amp;" once more, each over the whole text, so text
// the service escaped twice comes out plain ("&amp;lt;" becomes "<"). Linear in
// the length of the text.
void UnescapeReturnedDocument(QString& text);
// `prefix` followed by `escaped` decoded the same way, in one copy.
QString UnescapedDocument(QStringView prefix, QStringView escaped);

// `prefix` followed by `escaped` decoded exactly once, as an XML parser reads
// text: the five named entities and numeric character references. The
// fallback for a service that escapes its answer only once, where decoding
// twice would turn an inner "&quot;" into a bare quote inside an attribute.
QString XmlTextDecoded(QStringView prefix, QStringView escaped);

// The text between the escaped start tag of `name` (with an empty default
// namespace, or without attributes) and its escaped end tag; empty when either
// is missing or the end comes first.
QString FindEscapedTag(const QString& text, const QString& name);

// The service's fixed messages for a "Code" of "1".
inline const QString kInvalidUserMessage =
    QStringLiteral("Not able to create normal return message. Invalid user, check log files.");
inline const QString kServerDownMessage =
    QStringLiteral("Not able to create normal return message.Connection is not possible, "
                   "check if Halcyra server is down and log files.");
