#include "platform/device_file_system.h"
#include "test_device.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(DeviceFileSystem, MapsDevicePathsIntoTheRoot) {
    TestDevice device;
    const QString root = device.fs().rootDir();
    EXPECT_EQ(device.fs().hostPath("\\Korvo_XML\\Log\\SettingsREQUEST.xml"),
              root + "/Korvo_XML/Log/SettingsREQUEST.xml");
    EXPECT_EQ(device.fs().hostPath("Storage Card\\Korvo_XML"), root + "/Storage Card/Korvo_XML");
    EXPECT_EQ(device.fs().hostPath("\\"), root);
    // Doubled separators and forward slashes count like single backslashes.
    EXPECT_EQ(device.fs().hostPath("\\\\a//b"), root + "/a/b");
}

TEST(DeviceFileSystem, NoPathLeavesTheRoot) {
    TestDevice device;
    for (const char* path :
         {"\\..\\etc\\passwd", "..", "\\Korvo_XML\\..\\..\\x", "a/../../b", "\\.\\x"}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(device.fs().hostPath(QString::fromLatin1(path)).isEmpty());
        EXPECT_FALSE(device.fs().writeFile(QString::fromLatin1(path), "x"));
        EXPECT_FALSE(device.fs().readFile(QString::fromLatin1(path), 100).has_value());
    }
    EXPECT_TRUE(device.fs().hostPath(QStringLiteral("a") + QChar(0) + "b").isEmpty());
}

TEST(DeviceFileSystem, MatchesNamesWithoutRegardToCase) {
    TestDevice device;
    device.write("\\Korvo_XML\\Log\\SettingsResponse.xml", "abc");
    EXPECT_EQ(device.fs().readFile("\\KORVO_xml\\log\\settingsresponse.XML", 100).value(), "abc");
    // A new file in an existing folder keeps the folder's real spelling.
    EXPECT_TRUE(device.fs().writeFile("\\korvo_xml\\LOG\\New.xml", "n"));
    EXPECT_TRUE(QFile::exists(device.root() + "/Korvo_XML/Log/New.xml"));
}

TEST(DeviceFileSystem, FindsFilesByWildcardInNameOrder) {
    TestDevice device;
    device.write("\\Korvo_XML\\b.XML", "");
    device.write("\\Korvo_XML\\a.xml", "");
    device.write("\\Korvo_XML\\c.txt", "");
    device.write("\\Korvo_XML\\noext", "");
    EXPECT_EQ(device.fs().findFiles("\\Korvo_XML\\*.xml"), QStringList({"a.xml", "b.XML"}));
    // "*.*" matches names without a dot too, folders included.
    device.mkdir("\\Korvo_XML\\Log");
    EXPECT_EQ(device.fs().findFiles("\\korvo_xml\\*.*"),
              QStringList({"a.xml", "b.XML", "c.txt", "Log", "noext"}));
    EXPECT_TRUE(device.fs().findFiles("\\Missing\\*.xml").isEmpty());
}

TEST(DeviceFileSystem, StorageCardsAreNamedFoldersThatExist) {
    TestDevice device({"Storage Card", "SD2"});
    device.mkdir("\\Storage Card");
    device.mkdir("\\Other");
    EXPECT_TRUE(device.fs().isStorageCard("Storage Card"));
    EXPECT_TRUE(device.fs().isStorageCard("storage card"));
    EXPECT_FALSE(device.fs().isStorageCard("SD2")) << "named, but not inserted";
    EXPECT_FALSE(device.fs().isStorageCard("Other"));
    EXPECT_FALSE(device.fs().isStorageCard(""));

    device.mkdir("\\SD2");
    QStringList cards;
    for (const auto& entry : device.fs().rootEntries()) {
        if (entry.isStorageCard) {
            cards << entry.name;
        }
    }
    EXPECT_EQ(cards, QStringList({"SD2", "Storage Card"}));
}

TEST(DeviceFileSystem, ReadsWritesAndAppends) {
    TestDevice device;
    EXPECT_FALSE(device.fs().readFile("\\missing.txt", 100).has_value());
    EXPECT_TRUE(device.fs().writeFile("\\f.txt", "one"));
    EXPECT_TRUE(device.fs().appendFile("\\f.txt", "two"));
    EXPECT_EQ(device.read("\\f.txt"), "onetwo");
    EXPECT_TRUE(device.fs().writeFile("\\f.txt", "x"));
    EXPECT_EQ(device.read("\\f.txt"), "x");
    // Files beyond the cap read as unreadable rather than filling memory.
    device.write("\\big.txt", QByteArray(1000, 'a'));
    EXPECT_FALSE(device.fs().readFile("\\big.txt", 999).has_value());
    EXPECT_EQ(device.fs().readFile("\\big.txt", 1000)->size(), 1000);
    // A folder is not a file.
    device.mkdir("\\dir");
    EXPECT_FALSE(device.fs().readFile("\\dir", 100).has_value());
    // Appending into a missing folder fails quietly.
    EXPECT_FALSE(device.fs().appendFile("\\nowhere\\f.txt", "x"));
}

TEST(DeviceFileSystem, CreatesOneFolderAtATimeAndMovesEntries) {
    TestDevice device;
    EXPECT_FALSE(device.fs().createDirectory("\\a\\b")) << "parent missing";
    EXPECT_TRUE(device.fs().createDirectory("\\a"));
    EXPECT_TRUE(device.fs().createDirectory("\\a"));
    EXPECT_TRUE(device.fs().createDirectory("\\A\\b"));
    device.write("\\a\\x.xml", "1");
    EXPECT_TRUE(device.fs().move("\\a\\x.xml", "\\a\\b\\x.xml"));
    EXPECT_EQ(device.read("\\a\\b\\x.xml"), "1");
    device.write("\\a\\y.xml", "2");
    EXPECT_FALSE(device.fs().move("\\a\\y.xml", "\\a\\b\\x.xml")) << "target exists";
    EXPECT_TRUE(device.fs().removeFile("\\a\\y.xml"));
    EXPECT_FALSE(device.fs().removeFile("\\a\\b")) << "folders are not removed";
}

TEST(DeviceFileSystem, InstallsShippedFilesOnlyWhenMissing) {
    QTemporaryDir shipped;
    auto put = [&](const QString& name, const QByteArray& bytes) {
        QFile f(shipped.path() + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    put("ZIRPA_English.txt", "new");
    put("ZIRPA_Deutsch.txt", "neu");
    TestDevice device;
    device.write("\\Program Files\\Korvo\\zirpa_english.txt", "edited on site");
    device.fs().installMissingFiles(shipped.path(), "\\Program Files\\Korvo");
    EXPECT_EQ(device.read("\\Program Files\\Korvo\\zirpa_english.txt"), "edited on site");
    EXPECT_EQ(device.read("\\Program Files\\Korvo\\ZIRPA_Deutsch.txt"), "neu");
    // Installed files stay writable even when the source is read-only.
    EXPECT_TRUE(device.fs().writeFile("\\Program Files\\Korvo\\ZIRPA_Deutsch.txt", "x"));
}

TEST(DeviceFileSystem, CreatesTheRootAndTheProgramFolder) {
    QTemporaryDir parent;
    const QString root = parent.path() + "/fresh/device";
    DeviceFileSystem fs(root);
    EXPECT_TRUE(QDir(root + "/Program Files/Korvo").exists());
    EXPECT_EQ(fs.programPath(), "\\Program Files\\Korvo\\Korvo.exe");
}
