#include "config/log.h"
#include "platform/clock.h"
#include "test_device.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

const QDateTime kDecember(QDate(2026, 12, 8), QTime(9, 5, 7));

QString stamp() {
    return LogTimestamp();
}

} // namespace

TEST(Log, LineLayoutAndMonthlyFile) {
    TestDevice device;
    device.mkdir("\\Korvo_XML\\Log");
    ScopedClock clock(kDecember);
    WriteLog("", "KorvoFormView.Error loading Plant Details"
                 "boom");
    WriteLog("", "second");
    const QString expected =
        "KorvoFormView.Error loading Plant Detailsboom date/time : " + stamp() +
        "\nsecond date/time : " + stamp() + "\n";
    EXPECT_EQ(device.read("\\Korvo_XML\\Log\\Korvane_202612.log"), expected.toLatin1());

    clock.set(QDateTime(QDate(2027, 1, 1), QTime(0, 0)));
    WriteLog("", "new month");
    EXPECT_TRUE(device.exists("\\Korvo_XML\\Log\\Korvane_202701.log"));
    EXPECT_EQ(device.read("\\Korvo_XML\\Log\\Korvane_202612.log"), expected.toLatin1());
}

TEST(Log, TimestampIsDateFiveBlanksTime) {
    ScopedClock clock(kDecember);
    const QLocale locale = QLocale::system();
    const QString ts = LogTimestamp();
    EXPECT_TRUE(ts.startsWith(locale.toString(kDecember.date(), QLocale::ShortFormat) + "     "))
        << ts.toStdString();
    EXPECT_TRUE(ts.contains("9:05") || ts.contains("09:05")) << ts.toStdString();
    EXPECT_FALSE(ts.endsWith(' '));
}

TEST(Log, WithoutTimestampAndInLowBytes) {
    TestDevice device;
    device.mkdir("\\Korvo_XML\\Log");
    ScopedClock clock(kDecember);
    WriteLog("", QString("caf") + QChar(0x00E9) + QChar(0x0141), false);
    EXPECT_EQ(device.read("\\Korvo_XML\\Log\\Korvane_202612.log"), QByteArray("caf\xE9"
                                                                              "A\n"));
}

TEST(Log, GoesToTheStorageRootOrIsDroppedSilently) {
    TestDevice device({"Card"});
    ScopedClock clock(kDecember);
    WriteLog("", "no folder yet");
    EXPECT_FALSE(device.exists("\\Korvo_XML\\Log\\Korvane_202612.log"));
    device.mkdir("\\Card\\Korvo_XML\\Log");
    WriteLog("Card", "on the card");
    EXPECT_TRUE(
        device.read("\\Card\\Korvo_XML\\Log\\Korvane_202612.log").startsWith("on the card"));
}

TEST(Log, WriteTextFileUsesTheCodePage) {
    TestDevice device;
    WriteTextFile("\\dump.xml", QString("<a>") + QChar(0x00FC) + QChar(0x20AC) + "</a>");
    EXPECT_EQ(device.read("\\dump.xml"), QByteArray("<a>\xFC?</a>"));
    WriteTextFile("\\dump.xml", "short");
    EXPECT_EQ(device.read("\\dump.xml"), "short");
    // A file that cannot be created leaves nothing behind and reports nothing.
    WriteTextFile("\\missing\\dump.xml", "x");
    EXPECT_FALSE(device.exists("\\missing\\dump.xml"));
}
