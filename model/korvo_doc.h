#pragma once

#include "config/device_settings.h"
#include "config/translation_table.h"
#include "model/navigation_ids.h"
#include "model/records.h"
#include "model/work_kinds.h"

#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// One entry of the Actions submenu of a screen.
struct ActionMenuEntry {
    std::uint16_t command = 0;
    QString captionKey; // a translation key
    bool enabled = true;
};

// For each screen, the entries of its Actions submenu in menu order.
class ActionMenuTable {
public:
    ActionMenuTable();
    std::vector<ActionMenuEntry>& row(int screenId) {
        return rows_.at(static_cast<size_t>(screenId));
    }
    const std::vector<ActionMenuEntry>& row(int screenId) const {
        return rows_.at(static_cast<size_t>(screenId));
    }

private:
    std::array<std::vector<ActionMenuEntry>, kScreenCount> rows_;
};

// A colour as red, green and blue.
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The words of the device settings' OperatingMode.
inline const QString kRouteMode = QStringLiteral("ROUTEMODE");
inline const QString kPackingNoteMode = QStringLiteral("PACKINGNOTEMODE");

// The two workflows of the device. The settings file keeps the word.
enum class OperatingMode : std::uint8_t { Route, PackingNote };
// Route only for the route word; any other word runs the packing-note workflow.
inline OperatingMode OperatingModeOf(const QString& word) {
    return word == kRouteMode ? OperatingMode::Route : OperatingMode::PackingNote;
}
inline const QString& OperatingModeWord(OperatingMode mode) {
    return mode == OperatingMode::Route ? kRouteMode : kPackingNoteMode;
}

// The work state: everything that one screen decides and a later screen or
// request needs. One instance lives for the whole run; the device settings are
// its fields.
class CKorvoDoc : public DeviceSettings {
public:
    // Values typed on the settings screen for its test download.
    QString pendingPlantCode;
    QString pendingPdaCode;
    QString pendingHostIp;
    QString pendingPortNumber;
    QString pendingWebServicePath;
    bool settingsTestActive = false;
    bool settingsTestOk = false;
    // The last settings save changed the language; the start screen then keeps
    // the values in memory instead of re-reading the file.
    bool languageChanged = false;

    TranslationTable translations;

    // The last answer of each message; replaced or refilled in place.
    std::optional<Settings> currentSettings;
    std::vector<RouteControl> routes;
    std::optional<RouteControl> currentRoute;
    std::optional<PackingNote> currentPackingNote;
    std::vector<PackingNote> packingNoteList;
    std::vector<ContainerScanRecord> containerScanResult;
    std::optional<PackingNoteLineList> packingNoteLines;
    std::optional<packingnoteline> currentLine;
    std::optional<PackingNoteLineList> countResult;
    std::optional<PoolScanResult> poolScanResult;

    // The worker's choices.
    std::int32_t employee = 0;
    std::int32_t mobileDeviceId = 0;
    std::int32_t departmentId = -1;
    std::int32_t selectedWeekday = 0; // 1 Monday ... 7 Sunday
    QString selectedDay;              // "yyyyMMdd"
    std::int32_t packingNoteIndex = -1;
    std::int32_t packingNoteId = 0;
    std::int16_t colliCount = 0;
    NoteOrigin listOrigin = NoteOrigin::Scanned;
    NoteListKind shownList = NoteListKind::New; // fetched last; the list screen shows it
    bool employeeConfirmed = false;
    bool routeCountsCurrent = true;
    bool quantitiesChanged = false;
    bool rangeWarningShown = true;

    static constexpr Rgb colorRed{255, 51, 51};
    static constexpr Rgb colorBlue{51, 51, 255};
    static constexpr Rgb colorGreen{51, 153, 51};
    static constexpr Rgb colorBlack{0, 0, 0};
    static constexpr Rgb colorYellow{255, 255, 0};
    static constexpr Rgb colorWhite{255, 255, 255};
    static constexpr Rgb colorLime{0, 255, 0};

    ActionMenuTable actionMenus;

    QString T(const QString& key) const { return translations.T(key); }

    // Route mode only when the device's settings say so; any other word, an
    // unknown one included, runs the packing-note workflow, from Start to the
    // last screen.
    bool IsRouteMode() const;
    OperatingMode mode() const { return OperatingModeOf(operatingMode); }
    void setMode(OperatingMode mode) { operatingMode = OperatingModeWord(mode); }
};

// The program version, shown to the user and sent with every exchange.
inline const QString ApplicationVersion = QStringLiteral("1.35");

