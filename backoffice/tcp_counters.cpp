// The C library's tcp_info stops short of the byte counters, so this file
// takes the kernel's own declaration; it must not meet <netinet/tcp.h>,
// which declares the same names.
#include "backoffice/tcp_counters.h"

#include <cstddef>
#include <linux/tcp.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace backoffice {

std::optional<TcpCounters> ReadTcpCounters(int fd) {
    tcp_info info{};
    socklen_t length = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0 ||
        length < offsetof(tcp_info, tcpi_bytes_received) + sizeof info.tcpi_bytes_received) {
        return std::nullopt;
    }
    return TcpCounters{info.tcpi_bytes_received, info.tcpi_bytes_acked, info.tcpi_last_data_sent};
}

} // namespace backoffice
