#include "platform/clock.h"

#include <QElapsedTimer>

namespace {

DeviceClock::NowFunction g_now;
DeviceClock::TickFunction g_ticks;

} // namespace

QDateTime DeviceClock::now() {
    return g_now ? g_now() : QDateTime::currentDateTime();
}

std::uint32_t DeviceClock::tickCount() {
    if (g_ticks) {
        return g_ticks();
    }
    static QElapsedTimer since = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return static_cast<std::uint32_t>(since.elapsed());
}

void DeviceClock::override(NowFunction now, TickFunction ticks) {
    g_now = std::move(now);
    g_ticks = std::move(ticks);
}

ScopedClock::ScopedClock(QDateTime fixed, std::uint32_t ticks)
    : fixed_(std::move(fixed)), ticks_(ticks) {
    DeviceClock::override([this] { return fixed_; }, [this] { return ticks_; });
}

ScopedClock::~ScopedClock() {
    DeviceClock::override({}, {});
}
