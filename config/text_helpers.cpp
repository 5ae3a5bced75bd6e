#include "config/text_helpers.h"

#include "platform/device_file_system.h"

#include <QLocale>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

constexpr std::int64_t kIntMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int64_t kIntMin = std::numeric_limits<std::int32_t>::min();

bool isCSpace(char16_t c) {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

// Digits in `base` starting at `i`; saturates. Returns the number of digits read.
int readDigits(const char16_t* s, qsizetype n, qsizetype& i, int base, std::int64_t& value) {
    int count = 0;
    for (; i < n; ++i) {
        const char16_t c = s[i];
        int d = -1;
        if (c >= u'0' && c <= u'9') {
            d = c - u'0';
        } else if (c >= u'a' && c <= u'f') {
            d = c - u'a' + 10;
        } else if (c >= u'A' && c <= u'F') {
            d = c - u'A' + 10;
        }
        if (d < 0 || d >= base) {
            break;
        }
        if (value <= kIntMax + 1) {
            value = value * base + d;
        }
        ++count;
    }
    return count;
}

std::int32_t saturate(std::int64_t value, bool negative) {
    if (negative) {
        value = -value;
    }
    if (value > kIntMax) {
        return static_cast<std::int32_t>(kIntMax);
    }
    if (value < kIntMin) {
        return static_cast<std::int32_t>(kIntMin);
    }
    return static_cast<std::int32_t>(value);
}

// Skips leading blanks and an optional sign from `i`; true for a minus.
bool readSign(const std::u16string& s, qsizetype& i) {
    const qsizetype n = static_cast<qsizetype>(s.size());
    while (i < n && isCSpace(s[i])) {
        ++i;
    }
    if (i < n && (s[i] == u'+' || s[i] == u'-')) {
        return s[i++] == u'-';
    }
    return false;
}

std::int32_t decimalToInt(const std::u16string& s) {
    qsizetype i = 0;
    const qsizetype n = static_cast<qsizetype>(s.size());
    const bool negative = readSign(s, i);
    std::int64_t value = 0;
    readDigits(s.data(), n, i, 10, value);
    return saturate(value, negative);
}

} // namespace

QString FormatNumber(double value, int decimals) {
    char format[16];
    std::snprintf(format, sizeof format, "%%.%df", decimals < 0 ? 0 : decimals);
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, format, value);
    return QString::fromLatin1(buffer);
}

std::int32_t TextToInt(const QString& text, int limit) {
    std::u16string narrow;
    const qsizetype n = std::min<qsizetype>(text.size(), limit);
    narrow.reserve(static_cast<size_t>(n));
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t low = text.at(i).unicode() & 0xFF;
        if (low == 0) {
            break; // the narrowed text ends at a zero byte
        }
        narrow.push_back(low);
    }
    return decimalToInt(narrow);
}

std::int32_t WholeTextToInt(const QString& text) {
    return decimalToInt(text.toStdU16String());
}

std::int32_t ScanIntFormatted(const QString& text, std::int32_t fallback) {
    const std::u16string s = text.toStdU16String();
    const qsizetype n = static_cast<qsizetype>(s.size());
    qsizetype i = 0;
    const bool negative = readSign(s, i);
    std::int64_t value = 0;
    if (i < n && s[i] == u'0') {
        ++i;
        if (i < n && (s[i] == u'x' || s[i] == u'X')) {
            ++i;
            readDigits(s.data(), n, i, 16, value); // "0x" alone still read the 0
        } else {
            readDigits(s.data(), n, i, 8, value);
        }
        return saturate(value, negative);
    }
    if (readDigits(s.data(), n, i, 10, value) == 0) {
        return fallback;
    }
    return saturate(value, negative);
}

QByteArray ToNarrow(const QString& text, qsizetype start, qsizetype size) {
    QByteArray out;
    if (size <= 0 || start < 0) {
        return out;
    }
    for (qsizetype i = start; i < text.size() && out.size() < size - 1; ++i) {
        out.append(static_cast<char>(text.at(i).unicode() & 0xFF));
    }
    return out;
}

QString ToNarrowText(const QString& text) {
    return QString::fromLatin1(ToNarrow(text, 0, 256));
}

QByteArray LowBytes(const QString& text) {
    QByteArray out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        out[i] = static_cast<char>(text.at(i).unicode() & 0xFF);
    }
    return out;
}

QByteArray ToAnsi(const QString& text) {
    // Message dumps of many megabytes pass through here: the common all-Latin-1
    // text takes Qt's vectorised conversion, the rest is written by index.
    if (QtPrivate::isLatin1(text)) {
        return text.toLatin1();
    }
    const char16_t* in = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    QByteArray out(n, Qt::Uninitialized);
    char* to = out.data();
    qsizetype written = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = in[i];
        if (c <= 0xFF) {
            to[written++] = static_cast<char>(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(in[i + 1])) {
            ++i; // one character, one replacement
        }
        to[written++] = '?';
    }
    out.truncate(written);
    return out;
}

QString FromAnsi(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

QString ReadTextFile(const QString& devicePath) {
    const auto bytes = DeviceFileSystem::current().readFile(devicePath, kMaxTextFileBytes);
    if (!bytes) {
        return QString();
    }
    const qsizetype zero = bytes->indexOf('\0');
    return FromAnsi(zero >= 0 ? bytes->left(zero) : *bytes);
}

namespace {
const QDate kOleEpoch(1899, 12, 30);
constexpr double kMaxOleDays = 2958465.0; // 31 December 9999
} // namespace

double DateToOle(const QDate& date) {
    return date.isValid() ? static_cast<double>(kOleEpoch.daysTo(date)) : 0.0;
}

QDate OleToDate(double oleDate) {
    if (!std::isfinite(oleDate) || oleDate < -657434.0 || oleDate > kMaxOleDays) {
        return QDate();
    }
    return kOleEpoch.addDays(static_cast<qint64>(std::trunc(oleDate)));
}

QString FormatDate(double oleDate, const QString& pattern) {
    const QDate date = OleToDate(oleDate);
    return date.isValid() ? QLocale::system().toString(date, pattern) : QString();
}

QString FormatShortDate(double oleDate) {
    const QDate date = OleToDate(oleDate);
    return date.isValid() ? QLocale::system().toString(date, QLocale::ShortFormat) : QString();
}

QLocale LanguageLocale(const QString& language) {
    const QLocale system = QLocale::system();
    QLocale::Language wanted = QLocale::English;
    QLocale::Territory territory = QLocale::UnitedKingdom;
    if (language.compare(QLatin1String("Deutsch"), Qt::CaseInsensitive) == 0) {
        wanted = QLocale::German;
        territory = QLocale::Germany;
    } else if (language.compare(QLatin1String("Nederlands"), Qt::CaseInsensitive) == 0) {
        wanted = QLocale::Dutch;
        territory = QLocale::Netherlands;
    }
    return system.language() == wanted ? system : QLocale(wanted, territory);
}

QString AlphanumericOnly(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const unsigned low = c.unicode() & 0xFF;
        if ((low >= '0' && low <= '9') || (low >= 'A' && low <= 'Z') ||
            (low >= 'a' && low <= 'z')) {
            out.append(c);
        }
    }
    return out;
}

QString PadZeros(const QString& text, int length) {
    return text.size() >= length ? text : QString(length - text.size(), QLatin1Char('0')) + text;
}

QString ProgramPath() {
    return DeviceFileSystem::current().programPath();
}

QString ProgramDirectory() {
    const QString path = ProgramPath();
    const qsizetype cut = path.lastIndexOf(QLatin1Char('\\'));
    return cut < 0 ? QStringLiteral("\\") : path.left(cut);
}
