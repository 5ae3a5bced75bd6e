// Grabs the start, password and settings screens and the work on a packing
// note from the real widgets in each shipped language, for the documentation:
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
#include "widgets/editable_list.h"
#include "widgets/input_panel.h"

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

packingnoteline noteLine(int id, const char* product, const char* size, int ordered,
                         int delivered) {
    packingnoteline line;
    line.PNLID = id;
    line.PC = QStringLiteral("P%1").arg(id);
    line.PD = QLatin1String(product);
    line.SD = QLatin1String(size);
    line.FMD = QStringLiteral("Fenwold");
    line.QO = ordered;
    line.QD = delivered;
    line.parsedQuantity = delivered;
    return line;
}

// A packing note as the back office answers it, half packed.
void fillWorkState(CKorvoDoc& doc) {
    Settings& settings = *doc.currentSettings;
    settings.OPI = true;
    settings.DNC = 1;
    settings.DNPP = 1;
    settings.ASB = true;
    doc.currentRoute = RouteControl{12, 101, QStringLiteral("North"), 3, 2, 1};
    PackingNote& note = doc.currentPackingNote.emplace();
    note.PNID = 345;
    note.NNR = QStringLiteral("20240305-0412");
    note.CN = QStringLiteral("Harwick Flower Market");
    note.SC = QStringLiteral("10");
    PackingNoteDetails& details = note.details.emplace();
    details.DN = 2;
    details.DD = QStringLiteral("Cut flowers");
    details.CPN = 7;
    details.CPD = QStringLiteral("Dock North");
    details.TA = QStringLiteral("Roll cage, 3 shelves");
    details.R = QStringLiteral("Deliver at the back door before 6:00. Ring twice.");
    details.C = {{QStringLiteral("150231")}, {QStringLiteral("150232")}};
    details.UI = {{QStringLiteral("Keep cold")}};
    doc.listOrigin = NoteOrigin::NewList;
    doc.packingNoteList = {note, note, note};
    doc.packingNoteIndex = 1;
    doc.packingNoteLines.emplace().lines = {noteLine(11, "Tulips red", "60 cm", 10, 10),
                                            noteLine(12, "Roses Avalanche", "50 cm", 20, 18),
                                            noteLine(13, "Gerbera mix", "45 cm", 12, 12),
                                            noteLine(14, "Chrysanthemum", "70 cm", 8, 0),
                                            noteLine(15, "Lilies white", "80 cm", 5, 5),
                                            noteLine(16, "Eucalyptus", "bunch", 6, 6),
                                            noteLine(17, "Sunflowers", "90 cm", 4, 4),
                                            noteLine(18, "Freesia yellow", "55 cm", 15, 15)};
    doc.countResult.emplace().lines = {noteLine(21, "Buckets 40 cm", "", 14, 14),
                                       noteLine(22, "Trays", "", 6, 5),
                                       noteLine(23, "Sleeves", "", 120, 120)};
    packingnoteline line = doc.packingNoteLines->lines[1];
    line.lineFlag = 2;
    doc.currentLine = line;
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

        // The work on a packing note, each screen as the navigation would show it.
        fillWorkState(doc);
        auto showScreen = [&](int screenId) {
            KorvoView* screen = CreateScreen(screenId, frame, frame.clientArea());
            frame.FillActionMenu(screenId);
            for (KorvoView* other :
                 frame.clientArea()->findChildren<KorvoView*>(Qt::FindDirectChildrenOnly)) {
                other->hide();
            }
            screen->show();
            screen->activate();
            screen->focusFirstControl();
            frame.inputPanel()->raisePanel(false);
            frame.inputPanel()->raise();
            return screen;
        };
        showScreen(kPackingNoteInfoScreen);
        save(frame, prefix + QStringLiteral("note-information.png"));
        KorvoView* delivered = showScreen(kDeliveredProdScreen);
        auto* lines = delivered->findChild<CEditableList*>(QStringLiteral("lines"));
        lines->setCurrentRow(1);
        save(frame, prefix + QStringLiteral("delivered-products.png"));
        showScreen(kAddCountScreen);
        save(frame, prefix + QStringLiteral("counting.png"));
        showScreen(kOutScanPoolScreen);
        save(frame, prefix + QStringLiteral("out-scan-pool.png"));

        CColourMessageDlg message(&frame);
        message.SetTexts(QStringLiteral("Bundle 9 belongs to pool B.\n\nPut it back on shelf 4."),
                         doc.T(QStringLiteral("lblZIRPA")), doc.T(QStringLiteral("lblNext")),
                         QString(), true, false);
        message.SetBackgroundColour(QStringLiteral("FFE066"));
        saveWithDialog(frame, message, prefix + QStringLiteral("return-message.png"));

        // The keypad raised over the delivered products while a quantity is edited.
        delivered = showScreen(kDeliveredProdScreen);
        lines = delivered->findChild<CEditableList*>(QStringLiteral("lines"));
        lines->startEdit(3, 2);
        frame.inputPanel()->raisePanel(true);
        save(frame, prefix + QStringLiteral("delivered-keypad.png"));
        frame.inputPanel()->raisePanel(false);
    }
    // One strip per language for a quick look.
    auto strip = [&](const QString& name, const QStringList& screens) {
        QPixmap picture(static_cast<int>(screens.size()) * 244, 320);
        picture.fill(Qt::white);
        QPainter painter(&picture);
        int x = 0;
        for (const QString& screen : screens) {
            painter.drawPixmap(x, 0, QPixmap(out + "/" + screen + ".png"));
            x += 244;
        }
        painter.end();
        picture.save(out + "/" + name + ".png", "PNG");
    };
    for (const QString language : {"english", "deutsch", "nederlands"}) {
        QStringList start;
        QStringList work;
        for (const char* name : {"start", "password", "settings-user", "settings-system"}) {
            start << language + "-" + name;
        }
        for (const char* name : {"note-information", "delivered-products", "counting",
                                 "out-scan-pool", "return-message"}) {
            work << language + "-" + name;
        }
        QStringList entry;
        for (const QString& name : entryScreens) {
            entry << language + "-" + name;
        }
        strip(language, start);
        strip(language + "-entry", entry);
        strip(language + "-work", work);
    }
    return 0;
}
