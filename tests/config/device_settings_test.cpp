#include "config/device_settings.h"
#include "scripted_prompter.h"
#include "test_device.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

const QString kFile = "\\Program Files\\Korvo\\Korvo.properties";

const QByteArray kFirstStart = "Storagelocation=\\\n"
                               "Language=English\n"
                               "ShowScreenKeyboard=N\n"
                               "PlantCode=\n"
                               "PDA=\n"
                               "HostIP=\n"
                               "PortNumber=\n"
                               "WarPath=\n"
                               "ViewBy=\n"
                               "OperatingMode=\n";

DeviceSettings read() {
    DeviceSettings s;
    bool languageChanged = false;
    ReadDeviceSettings(s, languageChanged);
    return s;
}

} // namespace

TEST(DeviceSettings, FileNameReplacesEveryExe) {
    {
        TestDevice device;
        EXPECT_EQ(SettingsFilePath(), kFile);
    }
    {
        TestDevice device({}, "\\Flexe\\App.exe");
        EXPECT_EQ(SettingsFilePath(), "\\Flproperties\\App.properties");
    }
    {
        TestDevice device({}, "\\Tools\\APP.EXE");
        EXPECT_EQ(SettingsFilePath(), "\\Tools\\APP.EXE") << "the replacement is case-sensitive";
    }
}

TEST(DeviceSettings, ReadSettingValue) {
    const QString text = "Language=Deutsch\nPDA=7\r\nXPlantCode=1\nPlantCode=2";
    EXPECT_EQ(ReadSettingValue(text, "Language"), "Deutsch");
    EXPECT_EQ(ReadSettingValue(text, "PDA"), "7\r") << "a carriage return belongs to the value";
    // The first "key=" anywhere wins, not only at a line start.
    EXPECT_EQ(ReadSettingValue(text, "PlantCode"), "1");
    EXPECT_EQ(ReadSettingValue(text, "Missing"), "");
    EXPECT_EQ(ReadSettingValue("A=last", "A"), "last");
}

TEST(DeviceSettings, FirstStartWritesDefaultsAndFolders) {
    TestDevice device;
    ScriptedPrompter prompter;
    ScopedPrompter scope(prompter);
    const DeviceSettings s = read();
    EXPECT_EQ(device.read(kFile), kFirstStart);
    EXPECT_EQ(s.storageLocation, "");
    EXPECT_EQ(s.language, "English");
    EXPECT_EQ(s.showScreenKeyboard, "Y") << "memory says Y although the file says N";
    EXPECT_EQ(s.plantCode, "");
    EXPECT_TRUE(device.fs().isDirectory("\\Korvo_XML"));
    EXPECT_TRUE(device.fs().isDirectory("\\Korvo_XML\\Log"));
}

TEST(DeviceSettings, ReadsEveryKeyAndAppliesDefaults) {
    TestDevice device;
    device.write(kFile,
                 "Storagelocation=\\\nLanguage=\nShowScreenKeyboard=\nPlantCode=P1\nPDA=D&2\n"
                 "HostIP=host\nPortNumber=8080\nWarPath=ws\nViewBy=DELIVERY\n"
                 "OperatingMode=ROUTEMODE");
    const DeviceSettings s = read();
    EXPECT_EQ(s.storageLocation, "");
    EXPECT_EQ(s.language, "English");
    EXPECT_EQ(s.showScreenKeyboard, "Y");
    EXPECT_EQ(s.plantCode, "P1");
    EXPECT_EQ(s.pdaCode, "D&2");
    EXPECT_EQ(s.hostIp, "host");
    EXPECT_EQ(s.portNumber, "8080");
    EXPECT_EQ(s.webServicePath, "ws");
    EXPECT_EQ(s.viewBy, "DELIVERY");
    EXPECT_EQ(s.operatingMode, "ROUTEMODE") << "the last line needs no line feed";
}

TEST(DeviceSettings, HostileFilesGiveDefaults) {
    struct Case {
        const char* name;
        QByteArray bytes;
        QString language;
        QString plant;
    };
    const Case cases[] = {
        {"empty", "", "English", ""},
        {"no equals signs", "Language English\nPlantCode 5\n", "English", ""},
        {"binary", QByteArray("\x01\x02\0Language=Dutch\n", 16), "English", ""},
        {"crlf keeps the carriage return", "Language=Deutsch\r\nPlantCode=9\r\n", "Deutsch\r",
         "9\r"},
        {"non-latin bytes", "PlantCode=\xC3\xA9\xFF\n", "English",
         QString::fromLatin1("\xC3\xA9\xFF")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestDevice device;
        device.write(kFile, c.bytes);
        const DeviceSettings s = read();
        EXPECT_EQ(s.language, c.language);
        EXPECT_EQ(s.plantCode, c.plant);
        EXPECT_EQ(device.read(kFile), c.bytes) << "an existing file is never rewritten on reading";
    }
}

TEST(DeviceSettings, HugeFileReadsAsUnreadable) {
    TestDevice device;
    QByteArray huge = "PlantCode=7\n";
    huge.append(QByteArray(20 * 1024 * 1024, 'x'));
    device.write(kFile, huge);
    const DeviceSettings s = read();
    EXPECT_EQ(s.plantCode, "");
    EXPECT_EQ(s.language, "English");
    EXPECT_EQ(device.read(kFile).size(), huge.size());
}

TEST(DeviceSettings, LanguageChangedKeepsMemoryValues) {
    TestDevice device;
    device.write(kFile, "Language=Deutsch\n");
    DeviceSettings s;
    s.language = "Nederlands";
    bool languageChanged = true;
    ReadDeviceSettings(s, languageChanged);
    EXPECT_EQ(s.language, "Nederlands");
    EXPECT_TRUE(languageChanged);
    languageChanged = false;
    ReadDeviceSettings(s, languageChanged);
    EXPECT_EQ(s.language, "Deutsch");
}

TEST(DeviceSettings, FirstStartAdoptsACardHoldingData) {
    TestDevice device({"Card A", "Card B"});
    device.mkdir("\\Card A\\Korvo_XML");
    device.write("\\Card B\\Korvo_XML\\SettingsResponse.xml", "<x/>");
    device.write("\\Plain\\Korvo_XML\\x.xml", "<x/>"); // not a card
    const DeviceSettings s = read();
    EXPECT_EQ(s.storageLocation, "Card B");
    EXPECT_TRUE(device.read(kFile).startsWith("Storagelocation=Card B\n"));
    EXPECT_TRUE(device.fs().isDirectory("\\Card B\\Korvo_XML\\Log"));
}

TEST(DeviceSettings, FirstStartKeepsMainMemoryWhenItHoldsData) {
    TestDevice device({"Card"});
    device.write("\\Korvo_XML\\a.xml", "<x/>");
    device.write("\\Card\\Korvo_XML\\b.xml", "<x/>");
    EXPECT_EQ(read().storageLocation, "");
}

TEST(DeviceSettings, WritesTenLinesInLowBytes) {
    TestDevice device;
    DeviceSettings s;
    s.storageLocation = "Card";
    s.language = "Deutsch";
    s.showScreenKeyboard = "Y";
    s.plantCode = QString("P") + QChar(0x00E9) + QChar(0x0141);
    s.portNumber = "80";
    WriteDeviceSettings(s);
    EXPECT_EQ(device.read(kFile), QByteArray("Storagelocation=Card\nLanguage=Deutsch\n"
                                             "ShowScreenKeyboard=Y\nPlantCode=P\xE9"
                                             "A\nPDA=\n"
                                             "HostIP=\nPortNumber=80\nWarPath=\nViewBy=\n"
                                             "OperatingMode=\n"));
}

TEST(DeviceSettings, AnUnchangedFileIsNotRewritten) {
    TestDevice device;
    DeviceSettings s;
    s.language = "English";
    WriteDeviceSettings(s);
    struct stat before {};
    ASSERT_EQ(::stat(QFile::encodeName(device.fs().hostPath(kFile)).constData(), &before), 0);
    WriteDeviceSettings(s);
    struct stat after {};
    ASSERT_EQ(::stat(QFile::encodeName(device.fs().hostPath(kFile)).constData(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "the same file, untouched";
    s.hostIp = "h";
    WriteDeviceSettings(s);
    EXPECT_TRUE(device.read(kFile).contains("HostIP=h\n"));
}

TEST(DeviceSettings, UnmountedCardLeavesDataFoldersUncreated) {
    TestDevice device({"Card"});
    device.write(kFile, "Storagelocation=Card\n");
    EXPECT_EQ(read().storageLocation, "Card");
    EXPECT_FALSE(device.exists("\\Card"));
    EXPECT_FALSE(IsStorageCard("Card"));
}

TEST(DeviceSettings, MovesTheDataFolderToAnotherRoot) {
    TestDevice device({"Card"});
    ScriptedPrompter prompter;
    ScopedPrompter scope(prompter);
    device.write("\\Korvo_XML\\a.xml", "a");
    device.write("\\Korvo_XML\\Log\\Korvane_202612.log", "log");
    device.write("\\Card\\Korvo_XML\\stale.xml", "old");
    MoveDataDirectory("", "Card");
    EXPECT_FALSE(device.exists("\\Card\\Korvo_XML\\stale.xml"));
    EXPECT_EQ(device.read("\\Card\\Korvo_XML\\a.xml"), "a");
    EXPECT_EQ(device.read("\\Card\\Korvo_XML\\Log\\Korvane_202612.log"), "log");
    EXPECT_FALSE(device.exists("\\Korvo_XML\\a.xml"));
    EXPECT_EQ(prompter.waitDepth, 0);
    EXPECT_EQ(prompter.maxWaitDepth, 1);
}
