#pragma once

// Back (the App menu's Back, Escape, Left) and forward (Enter, Right) become the
// current screen's own commands. Returns 0 when the key does nothing there; any
// other command passes unchanged.
int MapNavigationCommand(int screenId, int command);
