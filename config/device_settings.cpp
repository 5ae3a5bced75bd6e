#include "config/device_settings.h"

#include "config/text_helpers.h"
#include "platform/device_file_system.h"
#include "platform/prompter.h"

#include <array>

namespace {

const QString kBackslash = QStringLiteral("\\");

struct Line {
    const char* key;
    QString DeviceSettings::*field;
};

// File order.
const std::array<Line, 10> kLines = {{
    {"Storagelocation", &DeviceSettings::storageLocation},
    {"Language", &DeviceSettings::language},
    {"ShowScreenKeyboard", &DeviceSettings::showScreenKeyboard},
    {"PlantCode", &DeviceSettings::plantCode},
    {"PDA", &DeviceSettings::pdaCode},
    {"HostIP", &DeviceSettings::hostIp},
    {"PortNumber", &DeviceSettings::portNumber},
    {"WarPath", &DeviceSettings::webServicePath},
    {"ViewBy", &DeviceSettings::viewBy},
    {"OperatingMode", &DeviceSettings::operatingMode},
}};

const QString kDataFolder = QStringLiteral("\\Korvo_XML");

bool hasXmlFiles(const QString& storageRoot) {
    return !DeviceFileSystem::current().findFiles(DataDirectory(storageRoot) + "\\*.xml").isEmpty();
}

// First start: the data may already be on a card from an earlier installation.
QString findDataOnCard() {
    if (hasXmlFiles(QString())) {
        return QString();
    }
    const DeviceFileSystem& fs = DeviceFileSystem::current();
    for (const DeviceFileSystem::Entry& entry : fs.rootEntries()) {
        if (fs.isStorageCard(entry.name) && hasXmlFiles(entry.name)) {
            return entry.name;
        }
    }
    return QString();
}

} // namespace

QString SettingsFilePath() {
    QString path = ProgramPath();
    path.replace(QLatin1String("exe"), QLatin1String("properties"), Qt::CaseSensitive);
    return path;
}

QString ReadSettingValue(const QString& fileText, const QString& key) {
    const QString needle = key + QLatin1Char('=');
    const qsizetype at = fileText.indexOf(needle);
    if (at < 0) {
        return QString();
    }
    const qsizetype start = at + needle.size();
    const qsizetype end = fileText.indexOf(QLatin1Char('\n'), start);
    return end < 0 ? fileText.mid(start) : fileText.mid(start, end - start);
}

void ReadDeviceSettings(DeviceSettings& settings, bool& languageChanged) {
    if (languageChanged) {
        return;
    }
    const QString path = SettingsFilePath();
    if (DeviceFileSystem::current().exists(path)) {
        const QString text = ReadTextFile(path);
        for (const Line& line : kLines) {
            settings.*line.field = ReadSettingValue(text, QLatin1String(line.key));
        }
        if (settings.storageLocation == kBackslash) {
            settings.storageLocation.clear();
        }
        if (settings.language.isEmpty()) {
            settings.language = QStringLiteral("English");
        }
        if (settings.showScreenKeyboard.isEmpty()) {
            settings.showScreenKeyboard = QStringLiteral("Y");
        }
    } else {
        DeviceSettings fresh;
        fresh.storageLocation = findDataOnCard();
        fresh.language = QStringLiteral("English");
        fresh.showScreenKeyboard = QStringLiteral("N");
        WriteDeviceSettings(fresh);
        // The file says "N", but this first run raises the keyboard.
        fresh.showScreenKeyboard = QStringLiteral("Y");
        settings = fresh;
    }
    const DeviceFileSystem& fs = DeviceFileSystem::current();
    fs.createDirectory(DataDirectory(settings.storageLocation));
    fs.createDirectory(LogDirectory(settings.storageLocation));
    languageChanged = false;
}

void WriteDeviceSettings(const DeviceSettings& values) {
    QString text;
    for (const Line& line : kLines) {
        QString value = values.*line.field;
        if (line.field == &DeviceSettings::storageLocation && value.isEmpty()) {
            value = kBackslash;
        }
        text += QLatin1String(line.key) + QLatin1Char('=') + value + QLatin1Char('\n');
    }
    const QByteArray bytes = LowBytes(text);
    const DeviceFileSystem& fs = DeviceFileSystem::current();
    const QString path = SettingsFilePath();
    // Every exchange rewrites the file; an unchanged one is left alone, which
    // spares the storage a write per message.
    if (fs.readFile(path, bytes.size() + 1) == bytes) {
        return;
    }
    fs.writeFile(path, bytes);
}

bool IsStorageCard(const QString& name) {
    return DeviceFileSystem::current().isStorageCard(name);
}

QString DataDirectory(const QString& storageRoot) {
    if (storageRoot.isEmpty()) {
        return kDataFolder;
    }
    return storageRoot + kDataFolder;
}

QString LogDirectory(const QString& storageRoot) {
    return DataDirectory(storageRoot) + QStringLiteral("\\Log");
}

void MoveDataDirectory(const QString& oldRoot, const QString& newRoot) {
    WaitCursor wait;
    const DeviceFileSystem& fs = DeviceFileSystem::current();
    const QString from = DataDirectory(oldRoot);
    const QString to = DataDirectory(newRoot);
    for (const QString& name : fs.findFiles(to + "\\*.*")) {
        fs.removeFile(to + '\\' + name);
    }
    fs.createDirectory(to);
    for (const QString& name : fs.findFiles(from + "\\*.*")) {
        fs.move(from + '\\' + name, to + '\\' + name);
    }
}
