#include "model/korvo_doc.h"
#include "shell/korvo_app.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments << QString::fromLocal8Bit(argv[i]);
    }
    const KorvoOptions options = ParseKorvoOptions(arguments, qEnvironmentVariable("KORVO_ROOT"),
                                                   qEnvironmentVariable("KORVO_CARDS"));
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "korvo: %s\n\n%s", qPrintable(options.error),
                     qPrintable(options.helpText));
        return 2;
    }
    if (options.showHelp) {
        std::printf("%s", qPrintable(options.helpText));
        return 0;
    }
    if (options.showVersion) {
        std::printf("%s\n", qPrintable(ApplicationVersion));
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvo"));
    QApplication::setApplicationVersion(ApplicationVersion);
    return RunKorvo(app, options);
}
