#pragma once

#include <QString>

// The device's own configuration, kept in ten key=value lines next to the
// program. The work state carries these fields directly.
struct DeviceSettings {
    QString storageLocation;    // "" = main memory, else a storage-card folder name
    QString language;           // "English" for ZIRPA_English.txt
    QString showScreenKeyboard; // "Y" or "N"
    QString plantCode;
    QString pdaCode;
    QString hostIp;
    QString portNumber;
    QString webServicePath;
    QString viewBy;        // "PRODUCTION" or "DELIVERY"
    QString operatingMode; // "ROUTEMODE" or "PACKINGNOTEMODE"
};

inline const QString kDefaultWebServicePath = QStringLiteral("qvrgenericwebservice");

// The program path with every "exe" replaced by "properties".
QString SettingsFilePath();

// The value after the first "key=" anywhere in the text, up to the next line feed.
QString ReadSettingValue(const QString& fileText, const QString& key);

// Fills `settings` from the file (creating it with defaults when it is missing)
// and creates the data folders. Does nothing while `languageChanged` is set;
// clears it otherwise.
void ReadDeviceSettings(DeviceSettings& settings, bool& languageChanged);

// Replaces the file with the ten lines; an empty storage location is written as a
// single backslash. Failures are silent.
void WriteDeviceSettings(const DeviceSettings& values);

// True for the name of a mounted storage card.
bool IsStorageCard(const QString& name);

// The data folder ("\Korvo_XML") of a storage root, and its Log folder.
QString DataDirectory(const QString& storageRoot);
QString LogDirectory(const QString& storageRoot);

// Moves the data folder's entries from the old storage root to the new one.
void MoveDataDirectory(const QString& oldRoot, const QString& newRoot);
