// korvel-skimbo-kiosk: plays korvel-skimbo device sessions back to back under the service
// manager (korvel-skimbo-kiosk(8)).
#include <fcntl.h>
#include <signal.h>
#include <sys/signalfd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "kiosk/supervisor.h"

using namespace skimbo::kiosk;

namespace {

// Descriptors 0 to 2 are open from here on, so that no pipe of a session's can take the place
// of standard error.
void keep_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd)
        if (fcntl(fd, F_GETFD) < 0) open("/dev/null", O_RDWR);
}

// The stop signals and the end of a session arrive as records on a descriptor, read by the one
// loop that also reads the session's log: nothing runs asynchronously. SIGPIPE is ignored, so
// that a journal that went away shows up as a failed write.
skimbo::UniqueFd signal_descriptor() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&set, signal);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return skimbo::UniqueFd(signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
}

}  // namespace

int main(int argc, char** argv) {
    const CommandLine line = parse_command_line({argv + 1, argv + argc});
    if (!line.error.empty()) {
        std::fprintf(stderr, "<3>kiosk: %s\n<3>%s\n", line.error.c_str(), usage_line);
        return 2;
    }
    if (line.options.help) {
        std::fputs(help_text().c_str(), stdout);
        return 0;
    }
    keep_standard_descriptors();
    Supervisor supervisor{.options = line.options, .notifier = Notifier::from_environment(), .signals = signal_descriptor()};
    if (!supervisor.signals.valid()) {
        std::perror("<3>kiosk: signalfd");
        return 1;
    }
    return supervisor.run();
}
