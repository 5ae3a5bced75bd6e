#pragma once

#include <functional>
#include <initializer_list>

// The keys a screen gives a meaning, as groups a row of its key table names.
enum ScreenKey : unsigned {
    kEnterKey = 1u << 0,  // Return and the keypad's Enter
    kRightKey = 1u << 1,  // forward
    kLeftKey = 1u << 2,   // back, or nothing
    kEscapeKey = 1u << 3, // back
    kUpKey = 1u << 4,
    kDownKey = 1u << 5,
    kTabKey = 1u << 6,  // Tab and Backtab: on to the next control
    kSoftKey = 1u << 7, // F1 to F3: the menu bar
    kBackKeys = kEscapeKey | kLeftKey,
    kSidewaysKeys = kLeftKey | kRightKey,
};

// The group of a Qt key; 0 for a key no screen names.
unsigned ScreenKeyOf(int qtKey);

// One row of a screen's key table: the keys it takes, and what they do. The
// action gets the Qt key and answers whether the key is used up (false: the
// focused control gets it).
struct KeyRow {
    unsigned keys;
    std::function<bool(int qtKey)> action;
};

// Runs the first row that takes the key; a key no row takes is used up when
// `othersUsedUp` says so (a screen where nothing else has a meaning).
bool DispatchKey(int qtKey, std::initializer_list<KeyRow> rows, bool othersUsedUp = false);

// Row actions for the common cases.
inline bool UseUp(int) {
    return true;
}
inline bool PassOn(int) {
    return false;
}

// The keys of a scan screen: Enter runs `enter`; Left and Right do nothing, so
// the focus stays in its field; any other key goes to the control.
bool DispatchScanScreenKey(int qtKey, const std::function<void()>& enter);
