// The notifications of a Type=notify unit, received by the test standing in
// for systemd: the real server reports ready once it listens, keeps the
// watchdog fed without flooding it, and reports its stop.
#include "backoffice_fixture.h"

#include <chrono>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The service manager's end: a datagram socket the server finds in
// NOTIFY_SOCKET.
class NotifySocket {
public:
    explicit NotifySocket(const std::string& path) : fd_(socket(AF_UNIX, SOCK_DGRAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        bound_ = fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~NotifySocket() {
        if (fd_ >= 0) {
            close(fd_);
        }
    }
    bool bound() const { return bound_; }

    // Every message that arrives within `window`.
    std::vector<std::string> receive(std::chrono::milliseconds window) {
        std::vector<std::string> messages;
        const auto end = std::chrono::steady_clock::now() + window;
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                end - std::chrono::steady_clock::now());
            pollfd p{fd_, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return messages;
            }
            char buffer[512];
            const ssize_t n = recv(fd_, buffer, sizeof buffer, 0);
            if (n > 0) {
                messages.emplace_back(buffer, static_cast<size_t>(n));
            }
        }
    }

private:
    int fd_;
    bool bound_ = false;
};

int count(const std::vector<std::string>& messages, const std::string& text) {
    int n = 0;
    for (const std::string& m : messages) {
        n += m.find(text) != std::string::npos ? 1 : 0;
    }
    return n;
}

} // namespace

TEST(ServiceNotify, ReadyWhenListeningWatchdogFedStoppingOnSigterm) {
#ifndef KORVANE_HAVE_SYSTEMD
    GTEST_SKIP() << "built without libsystemd: the notifications are no-ops";
#endif
    TemporaryFolder folder;
    const std::string socketPath = (folder.path() / "notify").string();
    NotifySocket manager(socketPath);
    ASSERT_TRUE(manager.bound());

    const std::string database = (folder.path() / "office.db").string();
    // A 2 s watchdog: at most one ping per half second is due.
    const std::string notifyVariable = "NOTIFY_SOCKET=" + socketPath;
    std::vector<char*> environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        if (entry.rfind("NOTIFY_SOCKET=", 0) != 0 && entry.rfind("WATCHDOG_", 0) != 0) {
            environment.push_back(*e);
        }
    }
    char watchdog[] = "WATCHDOG_USEC=2000000";
    environment.push_back(const_cast<char*>(notifyVariable.c_str()));
    environment.push_back(watchdog);
    environment.push_back(nullptr);
    const char* argv[] = {BACKOFFICE_BINARY, "--db",    database.c_str(), "--listen",
                          "127.0.0.1:0",     "--quiet", nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, BACKOFFICE_BINARY, nullptr, nullptr, const_cast<char**>(argv),
                          environment.data()),
              0);

    const std::vector<std::string> started = manager.receive(std::chrono::milliseconds(2500));
    ASSERT_FALSE(started.empty());
    EXPECT_NE(started.front().find("READY=1"), std::string::npos) << started.front();
    // The connection watchdog passes five times a second; the pings are
    // throttled to the watchdog's interval, yet never missed.
    const int pings = count(started, "WATCHDOG=1");
    EXPECT_GE(pings, 2);
    EXPECT_LE(pings, 6);

    kill(pid, SIGTERM);
    const std::vector<std::string> stopping = manager.receive(std::chrono::milliseconds(1000));
    EXPECT_EQ(count(stopping, "STOPPING=1"), 1);
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 1000 && ended == 0; ++i) {
        ended = waitpid(pid, &status, WNOHANG);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (ended == 0) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        FAIL() << "the server did not stop within 10 s of SIGTERM";
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}
