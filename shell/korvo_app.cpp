#include "shell/korvo_app.h"

#include "config/text_helpers.h"
#include "config/translation_table.h"
#include "model/korvo_doc.h"
#include "platform/device_file_system.h"
#include "shell/korvo_form_view.h"
#include "shell/main_frame.h"
#include "shell/qt_prompter.h"
#include "shell/screens.h"
#include "widgets/colour_widgets.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <cstdio>

KorvoOptions ParseKorvoOptions(const QStringList& arguments, const QString& envRoot,
                               const QString& envCards) {
    KorvoOptions options;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Korvo, the Korvane packing and dispatch handheld client."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help and exit."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Print the program version and exit."));
    const QCommandLineOption root(
        QStringLiteral("root"),
        QStringLiteral("Device root folder (default $KORVO_ROOT, else $XDG_DATA_HOME/korvo)."),
        QStringLiteral("DIR"));
    const QCommandLineOption card(
        QStringLiteral("card"),
        QStringLiteral("A storage-card folder under the device root; repeatable "
                       "(default: the comma-separated $KORVO_CARDS)."),
        QStringLiteral("NAME"));
    const QCommandLineOption screen(QStringLiteral("screen"),
                                    QStringLiteral("Screen size in pixels (default 240x320)."),
                                    QStringLiteral("WxH"));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QStringLiteral("Save a PNG of the first screen to FILE once shown, then exit."),
        QStringLiteral("FILE"));
    parser.addOptions({help, version, root, card, screen, screenshot});
    // Options are read before the application object exists, so the parser
    // cannot know the program's name.
    options.helpText =
        parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("korvo"));

    QStringList args = arguments;
    args.prepend(QStringLiteral("korvo"));
    if (!parser.parse(args)) {
        options.error = parser.errorText();
        return options;
    }
    if (!parser.positionalArguments().isEmpty()) {
        options.error =
            QStringLiteral("Unexpected argument: ") + parser.positionalArguments().first();
        return options;
    }
    options.showHelp = parser.isSet(help);
    options.showVersion = parser.isSet(version);
    options.root = parser.isSet(root) ? parser.value(root) : envRoot;
    if (options.root.isEmpty()) {
        options.root = DefaultDeviceRoot();
    }
    options.cards = parser.isSet(card) ? parser.values(card)
                                       : envCards.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& name : options.cards) {
        name = name.trimmed();
        if (name.isEmpty() || name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\')) ||
            name == QLatin1String(".") || name == QLatin1String("..")) {
            options.error = QStringLiteral("Invalid storage-card name: ") + name;
            return options;
        }
    }
    if (parser.isSet(screen)) {
        static const QRegularExpression size(QStringLiteral("^(\\d{3,4})x(\\d{3,4})$"));
        const auto match = size.match(parser.value(screen));
        const int w = match.hasMatch() ? match.captured(1).toInt() : 0;
        const int h = match.hasMatch() ? match.captured(2).toInt() : 0;
        if (w < 200 || h < 240 || w > 4000 || h > 4000) {
            options.error = QStringLiteral("Invalid screen size (use WxH, at least 200x240): ") +
                            parser.value(screen);
            return options;
        }
        options.screen = QSize(w, h);
    }
    options.screenshot = parser.value(screenshot);
    return options;
}

QString DefaultDeviceRoot() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/korvo");
}

void ApplyDeviceLook(QApplication& app) {
    app.setFont(ArialFont(12, false));
}

int RunKorvo(QApplication& app, const KorvoOptions& options) {
    ApplyDeviceLook(app);
    DeviceFileSystem device(options.root, options.cards);
    ScopedDevice deviceScope(device);
    // Naming a card means it is inserted.
    for (const QString& card : options.cards) {
        QDir(device.rootDir()).mkpath(card);
    }
    device.installMissingFiles(kShippedTranslations, ProgramDirectory());

    CKorvoDoc doc;
    QtPrompter prompter;
    ScopedPrompter prompterScope(prompter);
    CMainFrame frame(doc, options.screen);
    prompter.setFrame(&frame);
    frame.setScreenFactory(CreateScreen);

    frame.showFirstScreen(kStartScreen);
    frame.show();
    // Alone on a display, nothing else would give the window the keyboard.
    frame.activateWindow();
    frame.FillActionMenu(kStartScreen);

    if (!options.screenshot.isEmpty()) {
        int status = 0;
        QTimer::singleShot(0, &frame, [&] {
            if (!frame.grab().save(options.screenshot, "PNG")) {
                std::fprintf(stderr, "korvo: cannot write %s\n", qPrintable(options.screenshot));
                status = 1;
            }
            app.exit(status);
        });
        app.exec();
        return status;
    }
    return app.exec();
}
