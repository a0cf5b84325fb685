#include "kiosk/notify.h"

#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace skimbo::kiosk {

Notifier Notifier::from_environment() {
    Notifier notifier;
    const char* path = std::getenv("NOTIFY_SOCKET");
    const char* watchdog_pid = std::getenv("WATCHDOG_PID");
    const char* watchdog_usec = std::getenv("WATCHDOG_USEC");
    if (watchdog_usec && watchdog_pid && std::strtol(watchdog_pid, nullptr, 10) == getpid())
        notifier.watchdog = std::chrono::milliseconds(std::strtoull(watchdog_usec, nullptr, 10) / 1000);
    // A name beginning with '@' is in the abstract namespace, where it begins with a zero byte.
    const std::string_view name = path ? path : "";
    if ((name.starts_with('/') || name.starts_with('@')) && name.size() < sizeof notifier.address.sun_path) {
        notifier.address.sun_family = AF_UNIX;
        std::memcpy(notifier.address.sun_path, name.data(), name.size());
        if (name.front() == '@') notifier.address.sun_path[0] = '\0';
        notifier.address_length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
        notifier.socket = UniqueFd(::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0));
        const timeval longest{.tv_sec = 1, .tv_usec = 0};
        setsockopt(notifier.socket.fd, SOL_SOCKET, SO_SNDTIMEO, &longest, sizeof longest);
    }
    for (const char* variable : {"NOTIFY_SOCKET", "WATCHDOG_PID", "WATCHDOG_USEC"}) unsetenv(variable);
    return notifier;
}

void Notifier::send(const std::string& message) const {
    if (!socket.valid()) return;
    sendto(socket.fd, message.data(), message.size(), MSG_NOSIGNAL,
           reinterpret_cast<const sockaddr*>(&address), address_length);
}

}  // namespace skimbo::kiosk
