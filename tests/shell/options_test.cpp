#include "shell/korvo_app.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

TEST(KorvoOptions, Parsing) {
    KorvoOptions o = ParseKorvoOptions({"--root", "/tmp/r", "--card", "SD", "--card", "CF",
                                        "--screen", "480x640", "--screenshot", "out.png"},
                                       "/env", "A,B");
    EXPECT_TRUE(o.error.isEmpty()) << o.error.toStdString();
    EXPECT_EQ(o.root, "/tmp/r");
    EXPECT_EQ(o.cards, QStringList({"SD", "CF"}));
    EXPECT_EQ(o.screen, QSize(480, 640));
    EXPECT_EQ(o.screenshot, "out.png");

    o = ParseKorvoOptions({}, "/env", "Storage Card, SD2,");
    EXPECT_EQ(o.root, "/env");
    EXPECT_EQ(o.cards, QStringList({"Storage Card", "SD2"}));
    EXPECT_EQ(o.screen, QSize(240, 320));

    o = ParseKorvoOptions({}, "", "");
    EXPECT_EQ(o.root, DefaultDeviceRoot());
    EXPECT_TRUE(o.root.endsWith("/korvo"));

    EXPECT_TRUE(ParseKorvoOptions({"--version"}, "", "").showVersion);
    EXPECT_TRUE(ParseKorvoOptions({"--help"}, "", "").showHelp);
    EXPECT_TRUE(ParseKorvoOptions({"-h"}, "", "").showHelp);
}

TEST(KorvoOptions, Mistakes) {
    for (const QStringList& args :
         {QStringList{"--screen", "big"}, QStringList{"--screen", "10x10"},
          QStringList{"--card", "../x"}, QStringList{"--card", "a/b"}, QStringList{"--bogus"},
          QStringList{"extra"}, QStringList{"--root"}}) {
        SCOPED_TRACE(args.join(' ').toStdString());
        EXPECT_FALSE(ParseKorvoOptions(args, "", "").error.isEmpty());
    }
}

namespace {

int runKorvo(const QStringList& args, QByteArray* out = nullptr) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.remove("KORVO_ROOT");
    env.remove("KORVO_CARDS");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(KORVO_BINARY), args);
    if (!p.waitForFinished(30000)) {
        p.kill();
        return -1;
    }
    if (out) {
        *out = p.readAllStandardOutput();
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

} // namespace

TEST(KorvoProgram, FirstStartOnAnEmptyRoot) {
    QTemporaryDir dir;
    const QString root = dir.path() + "/device";
    const QString png = dir.path() + "/out.png";
    ASSERT_EQ(runKorvo({"--root", root, "--screenshot", png}), 0);
    QFile settings(root + "/Program Files/Korvo/Korvo.properties");
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_EQ(settings.readAll(),
              QByteArray("Storagelocation=\\\nLanguage=English\nShowScreenKeyboard=N\n"
                         "PlantCode=\nPDA=\nHostIP=\nPortNumber=\nWarPath=\n"
                         "ViewBy=\nOperatingMode=\n"));
    EXPECT_TRUE(QDir(root + "/Korvo_XML/Log").exists());
    for (const char* language : {"English", "Deutsch", "Nederlands"}) {
        EXPECT_TRUE(QFile::exists(root + "/Program Files/Korvo/ZIRPA_" + language + ".txt"));
    }
    const QImage shot(png);
    EXPECT_EQ(shot.size(), QSize(240, 320));
}

TEST(KorvoProgram, VersionHelpAndBadOptions) {
    QByteArray out;
    EXPECT_EQ(runKorvo({"--version"}, &out), 0);
    EXPECT_EQ(out, "1.35\n");
    EXPECT_EQ(runKorvo({"--help"}, &out), 0);
    EXPECT_TRUE(out.contains("--screenshot"));
    EXPECT_TRUE(out.startsWith("Usage: korvo [options]")) << out.left(60).toStdString();
    EXPECT_EQ(runKorvo({"--screen", "x"}), 2);
}

TEST(KorvoProgram, UnusableRootNeverStopsTheProgram) {
    QTemporaryDir dir;
    QFile blocker(dir.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    // The "root" is a plain file: nothing can be created, the screen still shows.
    EXPECT_EQ(runKorvo({"--root", dir.path() + "/file", "--screenshot", dir.path() + "/s.png"}), 0);
    EXPECT_TRUE(QFile::exists(dir.path() + "/s.png"));
}

TEST(KorvoProgram, CardsAreCreatedAndAdopted) {
    QTemporaryDir dir;
    const QString root = dir.path();
    QDir().mkpath(root + "/SD/Korvo_XML");
    QFile data(root + "/SD/Korvo_XML/SettingsResponse.xml");
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    data.close();
    EXPECT_EQ(
        runKorvo({"--root", root, "--card", "SD", "--card", "CF", "--screenshot", root + "/s.png"}),
        0);
    EXPECT_TRUE(QDir(root + "/CF").exists());
    QFile settings(root + "/Program Files/Korvo/Korvo.properties");
    ASSERT_TRUE(settings.open(QIODevice::ReadOnly));
    EXPECT_TRUE(settings.readAll().startsWith("Storagelocation=SD\n"));
    EXPECT_TRUE(QDir(root + "/SD/Korvo_XML/Log").exists());
}
