#pragma once

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>
#include <cstdint>

// Small conversions whose exact results are visible to the user or the back
// office: numbers in requests, numbers read from answers, dates, 8-bit file text.

// `value` in fixed-point notation with `decimals` decimals ("%.<d>f").
QString FormatNumber(double value, int decimals);

// Decimal text to a 32-bit integer the C way: the first `limit` characters, each
// reduced to its low byte; leading blanks skipped, an optional sign, then digits
// up to the first other character; 0 without digits. Values beyond the 32-bit
// range saturate.
std::int32_t TextToInt(const QString& text, int limit = 31);
// The same conversion of the whole text, without the low-byte reduction.
std::int32_t WholeTextToInt(const QString& text);
// A number read like the C scan format "%i": decimal, hexadecimal after "0x",
// octal after a leading "0"; `fallback` when the text holds no number.
std::int32_t ScanIntFormatted(const QString& text, std::int32_t fallback);

// Up to size - 1 characters from `start`, each as its low byte.
QByteArray ToNarrow(const QString& text, qsizetype start, qsizetype size);
// The first 255 characters, each reduced to its low byte and widened again.
QString ToNarrowText(const QString& text);
// Every UTF-16 code unit as its low byte (settings file, log lines, fault dumps).
QByteArray LowBytes(const QString& text);

// The device's ANSI code page is ISO-8859-1 here: characters it cannot represent
// become "?".
QByteArray ToAnsi(const QString& text);
QString FromAnsi(const QByteArray& bytes);

// Largest file ReadTextFile accepts; a bigger one reads as unreadable.
inline constexpr qint64 kMaxTextFileBytes = 16 * 1024 * 1024;

// A whole device file as text (ANSI code page), up to its first zero byte; ""
// when the file is missing, unreadable or larger than kMaxTextFileBytes.
QString ReadTextFile(const QString& devicePath);

// Automation dates: days since 30 December 1899, the time as the fraction.
double DateToOle(const QDate& date);
QDate OleToDate(double oleDate);
// The date with a picture such as "dddd MMM d" or "yyyyMMdd" in the system
// locale; "" for an invalid date.
QString FormatDate(double oleDate, const QString& pattern);
// The date in the system locale's short date format.
QString FormatShortDate(double oleDate);

// The locale whose day and month names a worker reads in the program's
// language ("Deutsch", "Nederlands"; English otherwise): the system's own when
// it already speaks that language, so its date formats stay the machine's.
QLocale LanguageLocale(const QString& language);

// Only ASCII digits and letters, judged by each character's low byte.
QString AlphanumericOnly(const QString& text);
// "0" prepended until the text has at least `length` characters.
QString PadZeros(const QString& text, int length);

// The running program's device path, and its folder ("\" when it has none).
QString ProgramPath();
QString ProgramDirectory();
