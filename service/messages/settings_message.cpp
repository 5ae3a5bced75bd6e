#include "service/messages/settings_message.h"

#include "service/xml_cursor.h"

#include <optional>

const MessageInfo SettingsMessage::kInfo = {
    "KORVANESETTINGS", "ID011", "Retrieve", true, "Settings", "SettingsWebService"};

SettingsMessage::SettingsMessage(CKorvoDoc& doc, bool interactive)
    : CatalogueMessage(doc, interactive, kInfo) {}

QString SettingsMessage::BuildRequest() {
    using namespace RequestPiece;
    const CKorvoDoc& d = doc();
    const QString element = QStringLiteral("KorvaneSettingsRequest");
    return DumpRequest(Declaration() + RootStart(element, element, true) +
                       TextElement(QStringLiteral("PlantCode"),
                                   d.settingsTestActive ? d.pendingPlantCode : d.plantCode) +
                       TextElement(QStringLiteral("PDACode"),
                                   d.settingsTestActive ? d.pendingPdaCode : d.pdaCode) +
                       QLatin1Char('\n') + RootEnd(element));
}

void SettingsMessage::ParseResponse(const QString& document) {
    CKorvoDoc& d = doc();
    const XmlCursor root = XmlCursor::LoadDocument(document).Descend("KorvaneSettingsResponse");
    std::optional<Settings> fresh;
    Settings& settings = d.currentSettings ? *d.currentSettings : fresh.emplace();

    const XmlCursor values = root.FindChild("Settings");
    settings.ACS = values.AttributeBool("ACS", false);
    settings.AORD = static_cast<std::int16_t>(values.AttributeIntFormatted("AORD", 0));
    settings.ASB = values.AttributeBool("ASB", false);
    settings.DNC = static_cast<std::int16_t>(values.AttributeIntFormatted("DNC", 0));
    settings.DNENR = values.AttributeBool("DNENR", false);
    settings.DNPP = static_cast<std::int16_t>(values.AttributeIntFormatted("DNPP", 0));
    settings.MDID = values.AttributeInt("MDID");
    settings.OPI = values.AttributeBool("OPI", false);
    settings.PCS = values.AttributeBool("PCS", false);
    settings.PDID = values.AttributeInt("PDID");
    settings.POF = static_cast<std::int16_t>(values.AttributeIntFormatted("POF", 0));
    settings.SPN = static_cast<std::int16_t>(values.AttributeIntFormatted("SPN", 0));
    d.mobileDeviceId = settings.MDID;

    Plant& plant = settings.plant ? *settings.plant : settings.plant.emplace();
    const XmlCursor plantValues = root.FindChild("Plant");
    plant.PID = plantValues.AttributeInt("PID");
    plant.PN = plantValues.AttributeText("PN");
    plant.C = plantValues.AttributeText("C");
    plant.ST = plantValues.AttributeText("ST");
    plant.S = plantValues.AttributeText("S");
    plant.ZIP = plantValues.AttributeText("ZIP");

    settings.containerRanges.clear();
    for (const XmlCursor& range : root.FindChild("ContainerIDCodeRange").Children()) {
        settings.containerRanges.push_back(
            {range.AttributeInt31("L"), range.AttributeText("MINR"), range.AttributeText("MAXR")});
    }
    settings.departments.clear();
    for (const XmlCursor& department : root.FindChild("PlantDepartments").Children()) {
        settings.departments.push_back({department.AttributeInt("PDIDS"),
                                        department.AttributeText("PDC"),
                                        department.AttributeText("PDD")});
    }
    if (fresh) {
        d.currentSettings = std::move(*fresh);
    }
}
