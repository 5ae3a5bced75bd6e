// A device root the program cannot write (a read-only mount, or a user
// without write permission) still gives a program that speaks: the start
// screen in the shipped translation, a status that says why, error boxes with
// their texts.
#include "full_storage.h"
#include "model/korvo_doc.h"
#include "scripted_prompter.h"
#include "shell/korvo_app.h"
#include "shell/main_frame.h"
#include "shell/screens.h"

#include <QApplication>
#include <QFile>
#include <QLabel>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class ReadOnlyRoot : public ::testing::Test {
protected:
    void SetUp() override {
        ApplyDeviceLook(*qApp);
        // Root ignores file permissions: it gets a read-only mount instead.
        if (geteuid() == 0) {
            tmpfs = std::make_unique<SmallTmpfs>(256);
            if (!tmpfs->available() || !tmpfs->setReadOnly(true)) {
                GTEST_SKIP() << "read-only root skipped: " << tmpfs->reason().toStdString();
            }
            root = tmpfs->path();
        } else {
            root = scratch.path();
            ::chmod(QFile::encodeName(root).constData(), 0555);
        }
        fs = std::make_unique<DeviceFileSystem>(root);
        scope = std::make_unique<ScopedDevice>(*fs);
        // What the program does at start-up; here it can install nothing.
        EXPECT_FALSE(fs->installMissingFiles(kShippedTranslations, "\\Program Files\\Korvo"));
    }

    void TearDown() override {
        if (!tmpfs) {
            ::chmod(QFile::encodeName(root).constData(), 0755);
        }
    }

    QTemporaryDir scratch;
    std::unique_ptr<SmallTmpfs> tmpfs;
    QString root;
    std::unique_ptr<DeviceFileSystem> fs;
    std::unique_ptr<ScopedDevice> scope;
    ScriptedPrompter prompter;
    ScopedPrompter prompterScope{prompter};
};

} // namespace

TEST_F(ReadOnlyRoot, CaptionsStatusAndErrorTextsArePresent) {
    CKorvoDoc doc;
    CMainFrame frame(doc, QSize(240, 320));
    frame.setScreenFactory(CreateScreen);
    frame.showFirstScreen(kStartScreen);
    frame.show();
    frame.FillActionMenu(kStartScreen);

    auto label = [&](const char* name) {
        const QLabel* found = frame.currentScreen()->findChild<QLabel*>(QLatin1String(name));
        return found ? found->text() : QStringLiteral("<no %1>").arg(name);
    };
    EXPECT_EQ(label("title"), "Korvane packing");
    EXPECT_EQ(label("licensedBy"), "Licensed by");
    const QLabel* status = frame.currentScreen()->findChild<QLabel*>("storageStatus");
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->text(), "Device storage is read-only: settings and logs are not saved.");

    // No server can be configured here: Start says so, in words.
    frame.SwitchScreen(Cmd::Start);
    EXPECT_EQ(frame.currentScreenId(), kStartScreen);
    ASSERT_FALSE(prompter.shown.isEmpty());
    for (const ScriptedPrompter::Shown& shown : prompter.shown) {
        EXPECT_FALSE(shown.text.trimmed().isEmpty());
        EXPECT_FALSE(shown.caption.trimmed().isEmpty());
    }
    EXPECT_FALSE(fs->exists("\\Program Files\\Korvo\\Korvo.properties"));
}
