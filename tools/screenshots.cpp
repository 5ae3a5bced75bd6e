// Grabs the start, password and settings screens from the real widgets in each
// shipped language, for the documentation:
//   korvane-screenshots OUTDIR
#include "entry_screenshots.h"
#include "model/korvo_doc.h"
#include "platform/device_file_system.h"
#include "platform/prompter.h"
#include "screens/setting_view.h"
#include "screens/shared_dialogs.h"
#include "shell/korvo_app.h"
#include "shell/main_frame.h"
#include "shell/qt_prompter.h"
#include "shell/screens.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace {

void save(QWidget& widget, const QString& path) {
    QApplication::processEvents();
    if (!widget.grab().save(path, "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    }
}

// The frame with a dialog painted over it where it would sit on the handheld.
void saveWithDialog(CMainFrame& frame, QWidget& dialog, const QString& path) {
    dialog.show();
    QApplication::processEvents();
    QPixmap shot = frame.grab();
    QPainter painter(&shot);
    painter.drawPixmap(dialog.geometry().topLeft() - frame.mapToGlobal(QPoint(0, 0)),
                       dialog.grab());
    painter.end();
    shot.save(path, "PNG");
    dialog.hide();
}

} // namespace

int main(int argc, char* argv[]) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: korvane-screenshots OUTDIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    ApplyDeviceLook(app);

    QStringList entryScreens;
    for (const QString language : {"English", "Deutsch", "Nederlands"}) {
        QTemporaryDir root;
        DeviceFileSystem device(root.path(), {QStringLiteral("Storage Card")});
        ScopedDevice deviceScope(device);
        QDir(root.path()).mkpath(QStringLiteral("Storage Card"));
        device.installMissingFiles(QStringLiteral(":/translations"),
                                   QStringLiteral("\\Program Files\\Korvo"));
        device.writeFile(QStringLiteral("\\Program Files\\Korvo\\Korvo.properties"),
                         QStringLiteral("Storagelocation=\\\nLanguage=%1\nShowScreenKeyboard=Y\n"
                                        "PlantCode=NL01\nPDA=PDA7\nHostIP=backoffice.local\n"
                                        "PortNumber=8080\nWarPath=\nViewBy=PRODUCTION\n"
                                        "OperatingMode=ROUTEMODE\n")
                             .arg(language)
                             .toLatin1());
        CKorvoDoc doc;
        Settings settings;
        settings.plant = Plant{1,
                               QStringLiteral("Fenwold Fresh Foods"),
                               QStringLiteral("Dockside 12"),
                               QStringLiteral("Harwick"),
                               QStringLiteral("4711 AB"),
                               QStringLiteral("NH")};
        doc.currentSettings = settings;
        QtPrompter prompter;
        ScopedPrompter prompterScope(prompter);
        CMainFrame frame(doc, QSize(240, 320));
        prompter.setFrame(&frame);
        frame.setScreenFactory(CreateScreen);
        frame.showFirstScreen(kStartScreen);
        frame.show();
        frame.FillActionMenu(kStartScreen);
        const QString prefix = out + QStringLiteral("/") + language.toLower() + QStringLiteral("-");
        save(frame, prefix + QStringLiteral("start.png"));

        PasswordRequest request;
        request.label = doc.T(QStringLiteral("lblPassword"));
        request.okCaption = doc.T(QStringLiteral("lblOK"));
        request.cancelCaption = doc.T(QStringLiteral("lblCancel"));
        CPasswordDlg password(
            request, [](const QString&) { return true; }, &frame);
        saveWithDialog(frame, password, prefix + QStringLiteral("password.png"));

        // The settings screen as the password would open it.
        KorvoView* settingsScreen = CreateScreen(kSettingScreen, frame, frame.clientArea());
        settingsScreen->show();
        frame.FillActionMenu(kSettingScreen);
        settingsScreen->activate();
        frame.currentScreen()->hide();
        auto* tabs = settingsScreen->findChild<QTabWidget*>(QStringLiteral("tabs"));
        save(frame, prefix + QStringLiteral("settings-user.png"));
        tabs->setCurrentIndex(1);
        save(frame, prefix + QStringLiteral("settings-system.png"));
        settingsScreen->hide();
        frame.currentScreen()->show();
        entryScreens = SaveEntryScreens(frame, doc, language, prefix);
    }
    // One strip per language for a quick look.
    for (const QString language : {"english", "deutsch", "nederlands"}) {
        QPixmap strip(4 * 244, 320);
        strip.fill(Qt::white);
        QPainter painter(&strip);
        int x = 0;
        for (const char* name : {"start", "password", "settings-user", "settings-system"}) {
            painter.drawPixmap(x, 0, QPixmap(out + "/" + language + "-" + name + ".png"));
            x += 244;
        }
        painter.end();
        strip.save(out + "/" + language + ".png", "PNG");
        SaveStrip(out + "/" + language + "-", entryScreens, out + "/" + language + "-entry.png");
    }
    return 0;
}
