#include "service/response_text.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

// True when the `len` characters after d[at] are `rest`.
bool followedBy(const QChar* d, qsizetype n, qsizetype at, const char16_t* rest, qsizetype len) {
    if (at + len >= n) {
        return false;
    }
    for (qsizetype i = 0; i < len; ++i) {
        if (d[at + 1 + i].unicode() != rest[i]) {
            return false;
        }
    }
    return true;
}

struct Entity {
    const char16_t* rest; // after "&"
    qsizetype length;
    char16_t character;
};

} // namespace

QString EscapeXml(const QString& text) {
    qsizetype extra = 0;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            extra += 4;
            break;
        case u'<':
        case u'>':
            extra += 3;
            break;
        case u'"':
        case u'\'':
            extra += 5;
            break;
        default:
            break;
        }
    }
    if (extra == 0) {
        return text;
    }
    // Written straight into a buffer of the final size: headers and requests
    // are mostly markup, so nearly every other character is replaced.
    QString out(text.size() + extra, Qt::Uninitialized);
    char16_t* to = reinterpret_cast<char16_t*>(out.data());
    auto put = [&to](const char* entity) {
        while (*entity != '\0') {
            *to++ = static_cast<char16_t>(*entity++);
        }
    };
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            put("&amp;");
            break;
        case u'<':
            put("&lt;");
            break;
        case u'>':
            put("&gt;");
            break;
        case u'"':
            put("&quot;");
            break;
        case u'\'':
            put("&apos;");
            break;
        default:
            *to++ = c.unicode();
            break;
        }
    }
    return out;
}

namespace {

// The five replacements after the first "&amp;" pass cannot create or hide
// each other's matches (each entity starts with "&" and ends with ";", none
// holds another, and what they leave behind is none of "&amp;"'s letters), so
// one scan does all five. The first pass must stay separate: it makes new
// entities out of "&amp;lt;".
constexpr Entity kAmpersand = {u"amp;", 4, u'&'};
constexpr Entity kRest[] = {{u"lt;", 3, u'<'},
                            {u"gt;", 3, u'>'},
                            {u"quot;", 5, u'"'},
                            {u"apos;", 5, u'\''},
                            {u"amp;", 4, u'&'}};

// Decodes `entities` from in[0, n) into out (which may be in itself), moving
// the text between two "&" in one piece: linear whatever the number of
// entities. Returns the length written.
qsizetype decode(const QChar* in, qsizetype n, QChar* out, const Entity* entities, size_t count) {
    qsizetype r = 0;
    qsizetype w = 0;
    while (r < n) {
        qsizetype next = QStringView(in + r, n - r).indexOf(QLatin1Char('&'));
        next = next < 0 ? n : r + next;
        if (next > r) {
            if (out + w != in + r) {
                std::memmove(static_cast<void*>(out + w), in + r,
                             static_cast<size_t>(next - r) * sizeof(QChar));
            }
            w += next - r;
            r = next;
        }
        if (r == n) {
            break;
        }
        size_t e = 0;
        while (e < count && !followedBy(in, n, r, entities[e].rest, entities[e].length)) {
            ++e;
        }
        if (e < count) {
            out[w++] = QChar(entities[e].character);
            r += 1 + entities[e].length;
        } else {
            out[w++] = in[r++];
        }
    }
    return w;
}

} // namespace

QString UnescapedDocument(QStringView prefix, QStringView escaped) {
    QString out(prefix.size() + escaped.size(), Qt::Uninitialized);
    QChar* d = out.data();
    std::copy(prefix.begin(), prefix.end(), d);
    // The first pass copies out of the answer, the second works in place.
    qsizetype length =
        prefix.size() + decode(escaped.data(), escaped.size(), d + prefix.size(), &kAmpersand, 1);
    length = prefix.size() + decode(d + prefix.size(), length - prefix.size(), d + prefix.size(),
                                    kRest, std::size(kRest));
    out.truncate(length);
    return out;
}

QString XmlTextDecoded(QStringView prefix, QStringView escaped) {
    QString out;
    out.reserve(prefix.size() + escaped.size());
    out += prefix;
    const qsizetype n = escaped.size();
    qsizetype r = 0;
    while (r < n) {
        qsizetype amp = escaped.indexOf(QLatin1Char('&'), r);
        if (amp < 0) {
            amp = n;
        }
        out += escaped.mid(r, amp - r);
        if (amp == n) {
            break;
        }
        const qsizetype semicolon = escaped.indexOf(QLatin1Char(';'), amp + 1);
        // Longest reference: "&#x10FFFF;".
        const QStringView name = semicolon > amp && semicolon - amp <= 10
                                     ? escaped.mid(amp + 1, semicolon - amp - 1)
                                     : QStringView();
        char32_t decoded = 0;
        if (name == u"amp") {
            decoded = u'&';
        } else if (name == u"lt") {
            decoded = u'<';
        } else if (name == u"gt") {
            decoded = u'>';
        } else if (name == u"quot") {
            decoded = u'"';
        } else if (name == u"apos") {
            decoded = u'\'';
        } else if (name.size() > 1 && name.front() == u'#') {
            const bool hex = name.at(1) == u'x';
            bool ok = false;
            const uint value = name.mid(hex ? 2 : 1).toUInt(&ok, hex ? 16 : 10);
            // Only characters XML allows in a document.
            if (ok && (value == 0x9 || value == 0xA || value == 0xD ||
                       (value >= 0x20 && value <= 0xD7FF) || (value >= 0xE000 && value <= 0xFFFD) ||
                       (value >= 0x10000 && value <= 0x10FFFF))) {
                decoded = value;
            }
        }
        if (decoded == 0) {
            out += QLatin1Char('&'); // not a reference: kept as it stands
            r = amp + 1;
            continue;
        }
        const char32_t one[] = {decoded};
        out += QString::fromUcs4(one, 1);
        r = semicolon + 1;
    }
    return out;
}

void UnescapeReturnedDocument(QString& text) {
    text = UnescapedDocument(QStringView(), text);
}

QString FindEscapedTag(const QString& text, const QString& name) {
    // Both start tags begin alike: most answers have neither, and one scan
    // tells.
    if (!text.contains(QStringLiteral("&lt;") + name)) {
        return QString();
    }
    QString startTag = QStringLiteral("&lt;") + name + QStringLiteral(" xmlns=\"\"&gt;");
    qsizetype start = text.indexOf(startTag);
    if (start < 0) {
        startTag = QStringLiteral("&lt;") + name + QStringLiteral("&gt;");
        start = text.indexOf(startTag);
    }
    const qsizetype end = text.indexOf(QStringLiteral("&lt;/") + name + QStringLiteral("&gt;"));
    if (start < 0 || end < 0) {
        return QString();
    }
    const qsizetype from = start + startTag.size();
    return end < from ? QString() : text.mid(from, end - from);
}
