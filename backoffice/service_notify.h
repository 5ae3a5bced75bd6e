#pragma once

namespace backoffice {

// Tells the service manager how the server is doing, when one started it
// (Type=notify units). Outside a service manager, or in a build without
// libsystemd, every call does nothing.

// The server listens: connections made from now on are answered.
void NotifyReady();
// A stop signal came; the exchanges in flight are being finished.
void NotifyStopping();
// Proof of life for the unit's watchdog. Cheap enough to call several times a
// second: it sends at most four pings per watchdog interval.
void NotifyWatchdog();

} // namespace backoffice
