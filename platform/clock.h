#pragma once

#include <QDateTime>
#include <cstdint>
#include <functional>

// The device clock: local date and time, and a millisecond tick counter. Tests
// replace it to pin dates (monthly log files, scan time stamps).
class DeviceClock {
public:
    static QDateTime now();
    // Milliseconds since some fixed moment; only its value modulo 1000 is used.
    static std::uint32_t tickCount();

    using NowFunction = std::function<QDateTime()>;
    using TickFunction = std::function<std::uint32_t()>;
    // Empty functions restore the real clock.
    static void override(NowFunction now, TickFunction ticks = {});
};

// Pins the clock for the lifetime of the guard.
class ScopedClock {
public:
    explicit ScopedClock(QDateTime fixed, std::uint32_t ticks = 0);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;
    void set(QDateTime fixed) { fixed_ = fixed; }

private:
    QDateTime fixed_;
    std::uint32_t ticks_;
};
