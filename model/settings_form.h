#pragma once

#include <QString>

class CKorvoDoc;

// The settings screen's form without widgets: what it shows of the saved
// settings, when it may be saved or tested, and what saving it changes.
struct SettingsForm {
    QString language;
    bool keyboard = false;   // raise the on-screen keyboard
    bool production = false; // view by production date, else by delivery date
    bool routeMode = true;
    QString plantCode;
    QString pdaCode;
    QString host;
    int port = 0;
    QString path;    // the service path; empty: the standard path
    QString storage; // the storage chosen: a storage card's name, else main memory
};

// The form as the saved settings fill it. A port outside 0 to 65535 shows as
// the nearest of them; the standard service path shows as none.
SettingsForm SettingsFormOf(const CKorvoDoc& saved);

// OK and Test are offered once the form names a plant, a handheld, a host and
// a port.
bool SettingsFormComplete(const SettingsForm& form);

// Whether the worker may type a port text: digits up to the highest port.
bool PortTextAccepted(const QString& text);

// The storage location the form chooses: a storage card's name, anything else
// (main memory, nothing chosen, a name that is no card) the main memory ("").
QString StorageLocationOf(const SettingsForm& form);

// What saving changes besides the settings themselves.
struct SettingsSaved {
    bool moveData = false; // the data directory moves from `oldStorage` to the new one
    QString oldStorage;
    bool languageChanged = false;
};
// Puts the form into the work state's settings (the caller moves the data
// directory, then writes the file).
SettingsSaved ApplySettingsForm(const SettingsForm& form, CKorvoDoc& doc);

// The values a test download uses instead of the saved ones.
void SetPendingSettings(const SettingsForm& form, CKorvoDoc& doc);
