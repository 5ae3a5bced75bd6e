#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace backoffice {

// Writing the answer documents. The handheld decodes "&amp;" twice, so a value
// written the usual way ("&amp;", "&quot;") would come out wrong there. Every
// special character of a value is written as a numeric reference instead
// ("&#38;", "&#34;"): a standard single decode and the handheld's double
// decode then give the same document. ':' is written as "&#58;" too, because
// the handheld takes any "env:Fault" in the raw answer for a SOAP fault. A
// byte that is not part of well-formed UTF-8 becomes '?'.
void AppendValue(std::string& out, std::string_view value);
std::string ValueText(std::string_view value);

// The answer document escaped once as the text of returnValue: "&", "<" and
// ">" only, so that the document's declaration keeps its plain quotes.
void AppendEscapedText(std::string& out, std::string_view text);

// A text the handheld shows exactly as it stands in the raw answer (the
// Message of a result document): characters that would need escaping, ':'
// (which the value writer protects) and control characters become blanks.
std::string PlainMessage(std::string_view text);

// A JSON string literal for the dashboard's answers and the export: quotes,
// backslashes and control characters escaped, '<', '>' and '&' as \u escapes
// (never markup, even pasted into a page), a byte that is not part of
// well-formed UTF-8 as '?'.
std::string JsonString(std::string_view text);

// Strict whole numbers of a request: optional blanks around, an optional
// sign, digits only, within range. Anything else is no number.
std::optional<std::int64_t> ParseInteger(std::string_view text);
// A number the handheld writes as an unsigned 32-bit value: 4294967295 is -1.
std::optional<std::int32_t> ParseUnsigned32(std::string_view text);

// A streaming writer for the small answer documents: start/attr/text/end.
class XmlOut {
public:
    XmlOut& start(std::string_view name);
    XmlOut& attr(std::string_view name, std::string_view value);
    XmlOut& attr(std::string_view name, std::int64_t value);
    // A value of this program's own that needs no escaping (a namespace).
    XmlOut& rawAttr(std::string_view name, std::string_view value);
    // "true" or "false".
    XmlOut& flag(std::string_view name, bool value);
    XmlOut& attr(std::string_view name, const char* value) {
        return attr(name, std::string_view(value));
    }
    XmlOut& text(std::string_view value);
    // <name xmlns="">value</name>
    XmlOut& leaf(std::string_view name, std::string_view value);
    XmlOut& leaf(std::string_view name, std::int64_t value);
    XmlOut& end();
    XmlOut& raw(std::string_view markup);
    const std::string& str() const { return out_; }
    std::string take() { return std::move(out_); }

private:
    void closeStartTag();
    std::string out_;
    std::string stack_; // names separated by '\0'
    bool startOpen_ = false;
};

} // namespace backoffice
