#include "config/text_helpers.h"
#include "test_device.h"

#include <gtest/gtest.h>
#include <limits>

TEST(TextHelpers, FormatNumber) {
    EXPECT_EQ(FormatNumber(42.0, 0), "42");
    EXPECT_EQ(FormatNumber(3.14159, 2), "3.14");
    EXPECT_EQ(FormatNumber(-1.0, 0), "-1");
    EXPECT_EQ(FormatNumber(4294967295.0, 0), "4294967295");
    // Halves follow the C formatter's rounding (to even).
    EXPECT_EQ(FormatNumber(2.5, 0), "2");
    EXPECT_EQ(FormatNumber(3.5, 0), "4");
}

struct IntCase {
    const char* name;
    QString text;
    std::int32_t expected;
};

TEST(TextHelpers, TextToInt) {
    const IntCase cases[] = {
        {"blanks then digits then letters", "  42abc", 42},
        {"empty", "", 0},
        {"letters only", "abc", 0},
        {"sign", "-17", -17},
        {"plus sign", "+8", 8},
        {"tab and newline are blanks", "\t\n5", 5},
        {"digits after the 31st character are cut", QString(31, ' ') + "7", 0},
        {"digits just before the cut", QString(30, ' ') + "7", 7},
        {"saturates high", "99999999999", std::numeric_limits<std::int32_t>::max()},
        {"saturates low", "-99999999999", std::numeric_limits<std::int32_t>::min()},
        {"low byte of a wide character", QString(QChar(0x0135)) + "1", 51},
        {"a character whose low byte is zero ends the text", QString("4") + QChar(0x0100) + "2", 4},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(TextToInt(c.text), c.expected);
    }
    EXPECT_EQ(WholeTextToInt(QString(31, ' ') + "7"), 7);
}

TEST(TextHelpers, ScanIntFormatted) {
    const IntCase cases[] = {
        {"hexadecimal", "0x1F", 31},
        {"upper-case prefix", "0X10", 16},
        {"octal", "012", 10},
        {"decimal", "42", 42},
        {"negative", "-3", -3},
        {"zero", "0", 0},
        {"lone prefix reads the zero", "0x", 0},
        {"empty gives the default", "", 99},
        {"letters give the default", "abc", 99},
        {"blank gives the default", " ", 99},
    };
    for (const IntCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ScanIntFormatted(c.text, 99), c.expected);
    }
}

TEST(TextHelpers, NarrowConversions) {
    EXPECT_EQ(ToNarrow("abcdef", 2, 3), "cd");
    EXPECT_EQ(ToNarrow("ab", 0, 10), "ab");
    EXPECT_EQ(ToNarrow("ab", 5, 10), "");
    EXPECT_EQ(ToNarrow(QString(QChar(0x20AC)), 0, 5), QByteArray("\xAC"));
    EXPECT_EQ(ToNarrowText(QString(300, 'x')).size(), 255);
    EXPECT_EQ(ToNarrowText(QString(QChar(0x0141))), "A");
    EXPECT_EQ(LowBytes(QString("A") + QChar(0x00E9) + QChar(0x0141)), QByteArray("A\xE9"
                                                                                 "A"));
    // The code page has no euro sign: it becomes "?"; a surrogate pair is one character.
    EXPECT_EQ(ToAnsi(QString("a") + QChar(0x00FC) + QChar(0x20AC)), QByteArray("a\xFC?"));
    EXPECT_EQ(ToAnsi(QString::fromUtf8("\xF0\x9F\x93\xA6")), "?");
    EXPECT_EQ(FromAnsi("\xE9t\xE9"), QString::fromUtf8("\xC3\xA9t\xC3\xA9"));
}

TEST(TextHelpers, AlphanumericAndPadding) {
    EXPECT_EQ(AlphanumericOnly("AB-12 34"), "AB1234");
    EXPECT_EQ(AlphanumericOnly("a_b.c"), "abc");
    EXPECT_EQ(PadZeros("7", 3), "007");
    EXPECT_EQ(PadZeros("1234", 3), "1234");
    EXPECT_EQ(PadZeros("", 2), "00");
}

TEST(TextHelpers, ReadTextFile) {
    TestDevice device;
    EXPECT_EQ(ReadTextFile("\\missing.txt"), "");
    device.write("\\latin.txt", "Gr\xFC\xDF"
                                "e\r\n");
    EXPECT_EQ(ReadTextFile("\\latin.txt"), QString::fromUtf8("Gr\xC3\xBC\xC3\x9F"
                                                             "e\r\n"));
    // The text ends at the first zero byte.
    device.write("\\binary.txt", QByteArray("ab\0cd", 5));
    EXPECT_EQ(ReadTextFile("\\binary.txt"), "ab");
    // A long path is used whole, never cut to another file's name.
    const QString longName = "\\" + QString(250, 'd') + "\\" + QString(40, 'f') + ".txt";
    device.write(longName, "long");
    device.write(longName.left(260), "short");
    EXPECT_EQ(ReadTextFile(longName), "long");
}

TEST(TextHelpers, Dates) {
    const QDate day(2026, 12, 8);
    const double ole = DateToOle(day);
    EXPECT_EQ(ole, 46364.0);
    EXPECT_EQ(OleToDate(ole), day);
    EXPECT_EQ(OleToDate(ole + 0.75), day) << "the time part is not a day";
    EXPECT_EQ(FormatDate(ole, "yyyyMMdd"), "20261208");
    EXPECT_EQ(FormatDate(DateToOle(QDate(2026, 3, 3)), "yyyyMMdd"), "20260303");
    EXPECT_EQ(FormatDate(std::numeric_limits<double>::quiet_NaN(), "yyyyMMdd"), "");
    EXPECT_EQ(FormatDate(1e12, "yyyy"), "");
    EXPECT_FALSE(FormatShortDate(ole).isEmpty());
}

TEST(TextHelpers, ProgramPaths) {
    TestDevice device;
    EXPECT_EQ(ProgramPath(), "\\Program Files\\Korvo\\Korvo.exe");
    EXPECT_EQ(ProgramDirectory(), "\\Program Files\\Korvo");
    TestDevice bare({}, "Korvo.exe");
    EXPECT_EQ(ProgramDirectory(), "\\");
}

TEST(TextHelpers, DayNamesInTheProgramsLanguage) {
    const QDate wednesday(2026, 12, 9);
    struct Row {
        const char* name;
        const char* language;
        const char* day;
    } rows[] = {{"German", "Deutsch", "Mittwoch"},
                {"Dutch", "Nederlands", "woensdag"},
                {"English", "English", "Wednesday"},
                {"unknown: English", "Klingon", "Wednesday"}};
    for (const Row& row : rows) {
        EXPECT_EQ(LanguageLocale(QLatin1String(row.language)).toString(wednesday, "dddd"),
                  QLatin1String(row.day))
            << row.name;
    }
}
