#include "backoffice/xml_text.h"

#include <charconv>
#include <cstdio>
#include <limits>

namespace backoffice {

namespace {

// The length of the well-formed UTF-8 sequence at the start of `text`, or 0
// (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF,
// or a sequence cut short).
size_t utf8Length(std::string_view text) {
    const auto byte = [&text](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

} // namespace

void AppendValue(std::string& out, std::string_view value) {
    for (size_t i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (static_cast<unsigned char>(c) >= 0x80) {
            // An answer must stay well-formed UTF-8 whatever a request held
            // (a scanned code is echoed in a pool scan's message).
            const size_t length = utf8Length(value.substr(i));
            if (length == 0) {
                out += '?';
            } else {
                out.append(value, i, length);
                i += length - 1;
            }
            continue;
        }
        switch (c) {
        case '&':
            out += "&#38;";
            break;
        case '<':
            out += "&#60;";
            break;
        case '>':
            out += "&#62;";
            break;
        case '"':
            out += "&#34;";
            break;
        case '\'':
            out += "&#39;";
            break;
        case ':':
            out += "&#58;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '\n':
            out += "&#10;";
            break;
        case '\t':
            out += "&#9;";
            break;
        default:
            // Other control characters are not allowed in XML 1.0 at all.
            if (static_cast<unsigned char>(c) < 0x20) {
                out += ' ';
            } else {
                out += c;
            }
            break;
        }
    }
}

std::string ValueText(std::string_view value) {
    std::string out;
    AppendValue(out, value);
    return out;
}

void AppendEscapedText(std::string& out, std::string_view text) {
    out.reserve(out.size() + text.size() + text.size() / 4);
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
            break;
        }
    }
}

std::string PlainMessage(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        const bool special = c == '&' || c == '<' || c == '>' || c == '"' || c == '\'' ||
                             c == ':' || static_cast<unsigned char>(c) < 0x20;
        out += special ? ' ' : c;
    }
    return out;
}

std::optional<std::int64_t> ParseInteger(std::string_view text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && blank(text.back())) {
        text.remove_suffix(1);
    }
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    if (text.empty() || text.size() > 20) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::int32_t> ParseUnsigned32(std::string_view text) {
    const std::optional<std::int64_t> value = ParseInteger(text);
    if (!value || *value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(*value));
}

XmlOut& XmlOut::start(std::string_view name) {
    closeStartTag();
    out_ += '<';
    out_ += name;
    stack_ += name;
    stack_ += '\0';
    startOpen_ = true;
    return *this;
}

XmlOut& XmlOut::attr(std::string_view name, std::string_view value) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    AppendValue(out_, value);
    out_ += '"';
    return *this;
}

XmlOut& XmlOut::rawAttr(std::string_view name, std::string_view value) {
    out_ += ' ';
    out_ += name;
    out_ += "=\"";
    out_ += value;
    out_ += '"';
    return *this;
}

XmlOut& XmlOut::attr(std::string_view name, std::int64_t value) {
    return attr(name, std::string_view(std::to_string(value)));
}

XmlOut& XmlOut::flag(std::string_view name, bool value) {
    return attr(name, std::string_view(value ? "true" : "false"));
}

XmlOut& XmlOut::text(std::string_view value) {
    closeStartTag();
    AppendValue(out_, value);
    return *this;
}

XmlOut& XmlOut::leaf(std::string_view name, std::string_view value) {
    start(name).rawAttr("xmlns", "").text(value);
    return end();
}

XmlOut& XmlOut::leaf(std::string_view name, std::int64_t value) {
    return leaf(name, std::string_view(std::to_string(value)));
}

XmlOut& XmlOut::raw(std::string_view markup) {
    closeStartTag();
    out_ += markup;
    return *this;
}

XmlOut& XmlOut::end() {
    if (stack_.empty()) {
        return *this;
    }
    stack_.pop_back(); // the '\0' of the innermost name
    const size_t from = stack_.rfind('\0');
    const size_t begin = from == std::string::npos ? 0 : from + 1;
    if (startOpen_) {
        out_ += "/>";
        startOpen_ = false;
    } else {
        out_ += "</";
        out_.append(stack_, begin, std::string::npos);
        out_ += '>';
    }
    stack_.resize(begin);
    return *this;
}

void XmlOut::closeStartTag() {
    if (startOpen_) {
        out_ += '>';
        startOpen_ = false;
    }
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            const size_t length = utf8Length(text.substr(i));
            if (length == 0) {
                out += '?';
                i += 1;
            } else if (length == 3 && text.substr(i, 2) == "\xE2\x80" &&
                       (text[i + 2] == '\xA8' || text[i + 2] == '\xA9')) {
                // U+2028 and U+2029 end a line in older script parsers.
                out += text[i + 2] == '\xA8' ? "\\u2028" : "\\u2029";
                i += 3;
            } else {
                out.append(text, i, length);
                i += length;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        // Never markup, even where a careless reader pastes the JSON into a page.
        case '<':
            out += "\\u003c";
            break;
        case '>':
            out += "\\u003e";
            break;
        case '&':
            out += "\\u0026";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    return out + '"';
}

} // namespace backoffice
