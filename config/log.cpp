#include "config/log.h"

#include "config/device_settings.h"
#include "config/text_helpers.h"
#include "platform/clock.h"
#include "platform/device_file_system.h"

#include <QLocale>
#include <QRegularExpression>

namespace {

// The locale's long time format without its time-zone part: the handheld's
// time format has none.
QString timeFormat() {
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*\\bt+\\b\\s*"));
    format.remove(zone);
    return format.trimmed();
}

} // namespace

QString LogTimestamp() {
    const QDateTime now = DeviceClock::now();
    const QLocale locale = QLocale::system();
    const QString date = locale.toString(now.date(), QLocale::ShortFormat);
    const QString format = timeFormat();
    if (format.isEmpty()) {
        return date;
    }
    return date + QStringLiteral("     ") + locale.toString(now.time(), format);
}

QString LogFilePath(const QString& storageRoot) {
    const QString month =
        QLocale::system().toString(DeviceClock::now().date(), QStringLiteral("yyyyMM"));
    return LogDirectory(storageRoot) + QStringLiteral("\\Korvane_") + month +
           QStringLiteral(".log");
}

void WriteLog(const QString& storageRoot, const QString& message, bool timestamp) {
    QString line = message;
    if (timestamp) {
        line += QStringLiteral(" date/time : ") + LogTimestamp();
    }
    line += QLatin1Char('\n');
    DeviceFileSystem::current().appendFile(LogFilePath(storageRoot), LowBytes(line));
}

void WriteTextFile(const QString& devicePath, const QString& text) {
    DeviceFileSystem::current().writeFile(devicePath, ToAnsi(text));
}
