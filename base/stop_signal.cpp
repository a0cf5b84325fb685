#include "base/stop_signal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace skimbo {
namespace {

volatile std::sig_atomic_t stop_flag = 0;

constexpr int stop_signals[] = {SIGTERM, SIGINT, SIGHUP};

// A stop that lands between a wait's test of the flag and the wait itself would not interrupt
// it: the alarm a second later does.
void request_stop(int) {
    const int saved = errno;
    stop_flag = 1;
    alarm(1);
    errno = saved;
}

void interrupt(int) {}

void catch_signal(int number, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0;  // no SA_RESTART
    sigaction(number, &action, nullptr);
}

}  // namespace

void install_stop_handlers() {
    sigset_t unblocked;
    sigemptyset(&unblocked);
    for (int number : stop_signals) {
        catch_signal(number, request_stop);
        sigaddset(&unblocked, number);
    }
    catch_signal(SIGALRM, interrupt);
    sigaddset(&unblocked, SIGALRM);
    sigprocmask(SIG_UNBLOCK, &unblocked, nullptr);
}

bool stop_requested() { return stop_flag != 0; }

int open_unless_stopped(const char* path, int flags, mode_t mode) {
    while (!stop_requested()) {
        const int fd = open(path, flags, mode);
        if (fd >= 0 || errno != EINTR) return fd;
    }
    errno = EINTR;
    return -1;
}

}  // namespace skimbo
