// What a standing-still frame of device play costs the kernel: the frame loop's system calls
// one by one, each repeated, in CPU nanoseconds of the process (instructions under qemu's
// -icount shift=0): the parent check, a read of the touch screen with nothing to read, the
// monotonic clock, and the sleep to the next frame, whose waking up the process pays for too.
// Built for AArch64 only (tools/device-cost), run with the kiosk's touch screen as event1.
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace {

double cpu_ns() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e9 + static_cast<double>(now.tv_nsec);
}

double each(int times, const std::function<void()>& call) {
    const double before = cpu_ns();
    for (int i = 0; i < times; ++i) call();
    return (cpu_ns() - before) / times;
}

}  // namespace

int main() {
    const int touch = open("/dev/input/event1", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    char events[24 * 64];
    timespec now{};
    const double parent = each(20000, [] { (void)getppid(); });
    const double read_touch = each(20000, [&] { (void)read(touch, events, sizeof events); });
    const double clock = each(20000, [&] { clock_gettime(CLOCK_MONOTONIC, &now); });
    const double sleep = each(300, [] {
        timespec frame{0, 16'000'000};
        nanosleep(&frame, nullptr);
    });
    std::printf("frame-syscalls getppid=%.0f read=%.0f clock_gettime=%.0f nanosleep=%.0f touch_fd=%d\n", parent,
                read_touch, clock, sleep, touch);
    return 0;
}
