#include "backoffice/service_notify.h"

#ifdef KORVANE_HAVE_SYSTEMD
#include <atomic>
#include <chrono>
#include <cstdint>
#include <systemd/sd-daemon.h>
#endif

namespace backoffice {

#ifdef KORVANE_HAVE_SYSTEMD

void NotifyReady() {
    sd_notify(0, "READY=1\nSTATUS=Answering handhelds");
}

void NotifyStopping() {
    sd_notify(0, "STOPPING=1\nSTATUS=Finishing the exchanges in flight");
}

void NotifyWatchdog() {
    // The interval is fixed for the life of the process; 0 means no watchdog.
    static const std::uint64_t intervalUs = [] {
        std::uint64_t us = 0;
        return sd_watchdog_enabled(0, &us) > 0 ? us : std::uint64_t{0};
    }();
    if (intervalUs == 0) {
        return;
    }
    static std::atomic<std::int64_t> lastPingUs{0};
    const std::int64_t nowUs = std::chrono::duration_cast<std::chrono::microseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count();
    std::int64_t last = lastPingUs.load();
    if (last != 0 && nowUs - last < static_cast<std::int64_t>(intervalUs / 4)) {
        return;
    }
    if (lastPingUs.compare_exchange_strong(last, nowUs)) {
        sd_notify(0, "WATCHDOG=1");
    }
}

#else

void NotifyReady() {}
void NotifyStopping() {}
void NotifyWatchdog() {}

#endif

} // namespace backoffice
