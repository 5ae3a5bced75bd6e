#pragma once

#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

class QApplication;

// Command-line options of korvo.
struct KorvoOptions {
    QString root;      // device root folder
    QStringList cards; // storage-card folder names
    QSize screen{240, 320};
    QString screenshot; // save a picture of the first screen and exit
    bool showVersion = false;
    bool showHelp = false;
    QString error; // set when the command line is wrong
    QString helpText;
};

// Reads the arguments (without the program name) and the environment values
// KORVO_ROOT and KORVO_CARDS; options win over the environment.
KorvoOptions ParseKorvoOptions(const QStringList& arguments, const QString& envRoot,
                               const QString& envCards);

// The default device root: $XDG_DATA_HOME/korvo (~/.local/share/korvo).
QString DefaultDeviceRoot();

// The handheld's look: Arial (or its metric twin) at the device's text size.
void ApplyDeviceLook(QApplication& app);

// Starts the program on the given options and runs it; returns the exit code.
int RunKorvo(QApplication& app, const KorvoOptions& options);
