#pragma once

#include <cstdint>
#include <optional>

namespace backoffice {

// What the kernel counts for one TCP connection, as far as the server's
// connection watchdog needs it.
struct TcpCounters {
    std::uint64_t bytesReceived = 0;   // over the connection's life
    std::uint64_t bytesAnswered = 0;   // sent and acknowledged by the peer
    std::uint32_t msSinceLastSend = 0; // since the server last sent data
};

// Empty when `fd` is no TCP socket or the kernel is too old to count the
// bytes received.
std::optional<TcpCounters> ReadTcpCounters(int fd);

} // namespace backoffice
