#pragma once
// The service manager's notification socket: each message one datagram to $NOTIFY_SOCKET
// ("READY=1", "WATCHDOG=1", "STATUS=...", "STOPPING=1").
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <string>

#include "base/unique_fd.h"

namespace skimbo::kiosk {

struct Notifier {
    UniqueFd socket;
    sockaddr_un address{};
    socklen_t address_length = 0;
    std::chrono::milliseconds watchdog{0};  // the service manager's watchdog interval; 0: none

    // Takes $NOTIFY_SOCKET and, when $WATCHDOG_PID names this process, $WATCHDOG_USEC, and
    // removes all three from the environment, so that no session inherits them.
    static Notifier from_environment();
    // Nothing without a socket. Waits at most a second for room in the manager's queue, so
    // that a busy manager cannot hold the session's log up for long; a message that finds none is lost.
    void send(const std::string& message) const;
};

}  // namespace skimbo::kiosk
