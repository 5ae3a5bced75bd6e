#include "model/settings_form.h"

#include "config/device_settings.h"
#include "config/text_helpers.h"
#include "model/korvo_doc.h"

#include <algorithm>

namespace {

constexpr int kHighestPort = 65535;

} // namespace

SettingsForm SettingsFormOf(const CKorvoDoc& saved) {
    SettingsForm form;
    form.language = saved.language;
    form.keyboard = saved.showScreenKeyboard == QLatin1String("Y");
    form.production = saved.viewBy == QLatin1String("PRODUCTION");
    form.routeMode = saved.IsRouteMode();
    form.plantCode = saved.plantCode;
    form.pdaCode = saved.pdaCode;
    form.host = saved.hostIp;
    form.port = std::clamp(TextToInt(saved.portNumber), 0, kHighestPort);
    form.path = saved.webServicePath == kDefaultWebServicePath ? QString() : saved.webServicePath;
    form.storage = saved.storageLocation;
    return form;
}

bool SettingsFormComplete(const SettingsForm& form) {
    return !form.plantCode.isEmpty() && !form.pdaCode.isEmpty() && !form.host.isEmpty() &&
           form.port != 0;
}

bool PortTextAccepted(const QString& text) {
    if (text.size() > 5 || !std::all_of(text.begin(), text.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        })) {
        return false;
    }
    return text.isEmpty() || text.toInt() <= kHighestPort;
}

QString StorageLocationOf(const SettingsForm& form) {
    return IsStorageCard(form.storage) ? form.storage : QString();
}

SettingsSaved ApplySettingsForm(const SettingsForm& form, CKorvoDoc& doc) {
    SettingsSaved saved;
    const QString storage = StorageLocationOf(form);
    saved.moveData = storage != doc.storageLocation;
    saved.oldStorage = doc.storageLocation;
    saved.languageChanged = form.language != doc.language;
    doc.storageLocation = storage;
    doc.showScreenKeyboard = form.keyboard ? QStringLiteral("Y") : QStringLiteral("N");
    doc.languageChanged = saved.languageChanged;
    doc.webServicePath = form.path.isEmpty() ? kDefaultWebServicePath : form.path;
    doc.language = form.language;
    doc.plantCode = form.plantCode;
    doc.pdaCode = form.pdaCode;
    doc.hostIp = form.host;
    doc.portNumber = QString::number(form.port);
    doc.viewBy = form.production ? QStringLiteral("PRODUCTION") : QStringLiteral("DELIVERY");
    doc.setMode(form.routeMode ? OperatingMode::Route : OperatingMode::PackingNote);
    return saved;
}

void SetPendingSettings(const SettingsForm& form, CKorvoDoc& doc) {
    doc.pendingPlantCode = form.plantCode;
    doc.pendingPdaCode = form.pdaCode;
    doc.pendingHostIp = form.host;
    doc.pendingPortNumber = QString::number(form.port);
    doc.pendingWebServicePath = form.path;
}
