// A full card must never cost a file: every replacement completes or leaves
// the old bytes, and a failed append leaves no half line. Each case runs twice:
// through a writer that runs out of space part-way, and on a real 64 KiB tmpfs
// filled up (root only).
#include "config/device_settings.h"
#include "config/log.h"
#include "full_storage.h"
#include "platform/clock.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString kProgramDir = "\\Program Files\\Korvo";
const QString kSettings = kProgramDir + "\\Korvo.properties";
const QString kDump = "\\Korvo_XML\\Log\\SettingsResponse.xml";

enum class Storage { FailingWriter, Tmpfs };

class FullStorage : public ::testing::TestWithParam<Storage> {
protected:
    void SetUp() override {
        if (GetParam() == Storage::Tmpfs) {
            tmpfs = std::make_unique<SmallTmpfs>(64);
            if (!tmpfs->available()) {
                GTEST_SKIP() << "full-storage test on a real tmpfs skipped: "
                             << tmpfs->reason().toStdString();
            }
            root = tmpfs->path();
        } else {
            root = scratch.path();
        }
        fs = std::make_unique<DeviceFileSystem>(root);
        scope = std::make_unique<ScopedDevice>(*fs);
        fs->createDirectory("\\Korvo_XML");
        fs->createDirectory("\\Korvo_XML\\Log");
    }

    void TearDown() override {
        writerScope.reset();
        scope.reset();
        fs.reset();
    }

    // From here on every write runs out of space; a writer lets 10 bytes
    // through first, so each replacement is cut short rather than refused.
    void fillUp() {
        if (tmpfs) {
            tmpfs->fill();
        } else {
            writerScope = std::make_unique<ScopedWriter>(*fs, failing);
        }
    }
    void makeRoom() {
        if (tmpfs) {
            tmpfs->drain();
        } else {
            writerScope.reset();
        }
    }

    QByteArray bytes(const QString& devicePath) const {
        QFile file(fs->hostPath(devicePath));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    // Whatever a failed write left beside its target.
    QStringList leftovers(const QString& deviceDir) const {
        return QDir(fs->hostPath(deviceDir))
            .entryList({".*"}, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot)
            .filter(QRegularExpression("^\\.(?!filler$)"));
    }

    QTemporaryDir scratch;
    QString root;
    std::unique_ptr<SmallTmpfs> tmpfs;
    std::unique_ptr<DeviceFileSystem> fs;
    std::unique_ptr<ScopedDevice> scope;
    FailingWriter failing{10};
    std::unique_ptr<ScopedWriter> writerScope;
};

} // namespace

TEST_P(FullStorage, SettingsFileKeepsItsOldBytes) {
    DeviceSettings settings;
    settings.language = "English";
    settings.hostIp = "10.1.2.3";
    WriteDeviceSettings(settings);
    const QByteArray before = bytes(kSettings);
    ASSERT_TRUE(before.contains("HostIP=10.1.2.3\n"));

    fillUp();
    settings.hostIp = "backoffice.example.invalid";
    settings.plantCode = QString(400, 'P');
    WriteDeviceSettings(settings);
    EXPECT_EQ(bytes(kSettings), before);
    EXPECT_EQ(leftovers(kProgramDir), QStringList());

    // Reading it back still gives the old values.
    DeviceSettings read;
    bool languageChanged = false;
    ReadDeviceSettings(read, languageChanged);
    EXPECT_EQ(read.hostIp, "10.1.2.3");

    makeRoom();
    WriteDeviceSettings(settings);
    EXPECT_TRUE(bytes(kSettings).contains("HostIP=backoffice.example.invalid\n"));
}

TEST_P(FullStorage, TranslationInstallLeavesNoEmptyFileAndIsRepairedLater) {
    const QString shipped = KORVANE_SOURCE_DIR "/resources/translations";
    fillUp();
    EXPECT_FALSE(fs->installMissingFiles(shipped, kProgramDir));
    for (const QString& name : fs->findFiles(kProgramDir + "\\ZIRPA_*.txt")) {
        ADD_FAILURE() << "left behind: " << name.toStdString() << " ("
                      << bytes(kProgramDir + "\\" + name).size() << " bytes)";
    }
    EXPECT_EQ(leftovers(kProgramDir), QStringList());

    makeRoom();
    // What an older version left on a full card: an empty copy.
    QFile empty(fs->hostPath(kProgramDir + "\\ZIRPA_English.txt"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    EXPECT_TRUE(fs->installMissingFiles(shipped, kProgramDir));
    for (const char* language : {"English", "Deutsch", "Nederlands"}) {
        QFile original(shipped + "/ZIRPA_" + language + ".txt");
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        EXPECT_EQ(bytes(kProgramDir + "\\ZIRPA_" + language + ".txt"), original.readAll())
            << language;
    }
}

TEST_P(FullStorage, DumpKeepsTheLastGoodCopy) {
    WriteTextFile(kDump, "<returnValue>old</returnValue>");
    fillUp();
    WriteTextFile(kDump, "<returnValue>" + QString(8000, 'n') + "</returnValue>");
    EXPECT_EQ(bytes(kDump), "<returnValue>old</returnValue>");
    EXPECT_EQ(leftovers("\\Korvo_XML\\Log"), QStringList());
}

TEST_P(FullStorage, LogLineIsDroppedWhole) {
    auto clock = std::make_unique<ScopedClock>(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
    WriteLog(QString(), "first");
    const QString log = LogFilePath(QString());
    const QByteArray before = bytes(log);
    ASSERT_TRUE(before.startsWith("first date/time : "));

    fillUp();
    WriteLog(QString(), "second " + QString(6000, 'x'));
    EXPECT_EQ(bytes(log), before);

    // The first line of a new month does not leave an empty file behind.
    clock.reset();
    clock = std::make_unique<ScopedClock>(QDateTime(QDate(2027, 1, 4), QTime(7, 0, 0)));
    WriteLog(QString(), "january");
    EXPECT_FALSE(fs->exists(LogFilePath(QString())));
}

INSTANTIATE_TEST_SUITE_P(Storage, FullStorage,
                         ::testing::Values(Storage::FailingWriter, Storage::Tmpfs),
                         [](const auto& info) {
                             return info.param == Storage::Tmpfs ? std::string("Tmpfs")
                                                                 : std::string("FailingWriter");
                         });
