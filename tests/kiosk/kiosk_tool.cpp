// The virtual kiosk's hands and eyes, run inside the guest beside the program under test:
//   kiosk-tool touch        makes the touch screen through /dev/uinput and plays the finger
//                           commands read from standard input, acknowledging each on stdout
//   kiosk-tool watch MS     an idle second reader of the touch screen: opens it, reads nothing
//                           for MS milliseconds, then counts what the kernel kept for it
//   kiosk-tool panel PPM    compares /dev/fb0 with a capture turned onto the portrait panel
//   kiosk-tool filter       installs the program's system-call filter and calls through it
#include <fcntl.h>
#include <linux/input.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "sandbox/denied_calls_test.h"
#include "sandbox/seccomp_filter.h"

namespace {

constexpr int panel_width = 172, panel_height = 640;
constexpr const char* touch_name = "kiosk touch panel";

void emit(int fd, int type, int code, int value) {
    input_event event{};
    event.type = static_cast<std::uint16_t>(type), event.code = static_cast<std::uint16_t>(code), event.value = value;
    if (write(fd, &event, sizeof event) != sizeof event) std::perror("uinput write");
}

void report(int fd, int down, int x, int y) {
    emit(fd, EV_ABS, ABS_X, x), emit(fd, EV_ABS, ABS_Y, y), emit(fd, EV_KEY, BTN_TOUCH, down);
    emit(fd, EV_SYN, SYN_REPORT, 0);
}

int create_touch_screen() {
    int fd = open("/dev/uinput", O_WRONLY | O_CLOEXEC);
    if (fd < 0) return std::perror("/dev/uinput"), -1;
    ioctl(fd, UI_SET_EVBIT, EV_KEY), ioctl(fd, UI_SET_KEYBIT, BTN_TOUCH), ioctl(fd, UI_SET_EVBIT, EV_ABS);
    uinput_abs_setup axes[] = {{ABS_X, {0, 0, panel_width - 1, 0, 0, 0}}, {ABS_Y, {0, 0, panel_height - 1, 0, 0, 0}}};
    for (uinput_abs_setup& axis : axes) ioctl(fd, UI_SET_ABSBIT, axis.code), ioctl(fd, UI_ABS_SETUP, &axis);
    uinput_setup setup{};
    setup.id.bustype = BUS_VIRTUAL;
    std::strncpy(setup.name, touch_name, sizeof setup.name - 1);
    if (ioctl(fd, UI_DEV_SETUP, &setup) != 0 || ioctl(fd, UI_DEV_CREATE) != 0) return std::perror("uinput"), -1;
    return fd;
}

// Commands, one a line: "d X Y" the finger is down at panel (X, Y) (or moves there), "u" it
// lifts where it is, "w MS" waits, "f N X Y" N reports of a finger down at (X, Y) wobbling by
// one pixel, "h N" N reports of a lifted finger's position changing (a controller that
// reports hover), "q" ends. The position and the key are sent only as they change, as the
// kernel would pass them on anyway.
int play_touch() {
    int fd = create_touch_screen();
    if (fd < 0) return 1;
    int down = 0, x = 0, y = 0;
    std::string line;
    for (int done = 1; std::getline(std::cin, line); ++done) {
        std::istringstream words(line);
        char command = 0;
        int a = 0, b = 0, c = 0;
        words >> command >> a >> b >> c;
        if (command == 'q') break;
        if (command == 'd') down = 1, x = a, y = b, report(fd, down, x, y);
        if (command == 'u') down = 0, report(fd, down, x, y);
        if (command == 'w') usleep(static_cast<useconds_t>(a) * 1000);
        for (int i = 0; command == 'f' && i < a; ++i) down = 1, x = b, y = c + i % 2, report(fd, down, x, y);
        for (int i = 0; command == 'h' && i < a; ++i) y = (y + 1) % panel_height, report(fd, down, x, y);
        std::cout << "ok " << done << std::endl;
    }
    ioctl(fd, UI_DEV_DESTROY);
    return 0;
}

int watch_touch(int wait_ms) {
    int fd = open("/dev/input/event1", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return std::perror("/dev/input/event1"), 1;
    std::cout << "watching" << std::endl;
    usleep(static_cast<useconds_t>(wait_ms) * 1000);
    int events = 0, dropped = 0;
    for (input_event event{}; read(fd, &event, sizeof event) == sizeof event; ++events)
        dropped += event.type == EV_SYN && event.code == SYN_DROPPED;
    std::cout << "events=" << events << " syn_dropped=" << dropped << std::endl;
    return 0;
}

// Canvas pixel (x, y) lies at panel column 171 - y of panel row x, as RGB565 with each
// channel's low bits dropped.
int compare_panel(const char* ppm_path) {
    std::ifstream ppm(ppm_path, std::ios::binary);
    std::string magic;
    int width = 0, height = 0, max_value = 0;
    ppm >> magic >> width >> height >> max_value;
    ppm.get();
    std::vector<unsigned char> rgb(std::istreambuf_iterator<char>(ppm), {});
    std::ifstream fb("/dev/fb0", std::ios::binary);
    std::vector<unsigned char> panel(std::istreambuf_iterator<char>(fb), {});
    if (magic != "P6" || width != panel_height || height != panel_width || rgb.size() != 3u * width * height)
        return std::cout << "panel: " << ppm_path << " is no 640x172 capture" << std::endl, 1;
    if (panel.size() < 2u * panel_width * panel_height) return std::cout << "panel: /dev/fb0 short" << std::endl, 1;
    int differing = 0;
    for (int x = 0; x < width; ++x) {
        for (int y = 0; y < height; ++y) {
            const unsigned char* p = &rgb[3u * (y * width + x)];
            unsigned want = (p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3;
            std::size_t at = 2u * (x * panel_width + panel_width - 1 - y);
            unsigned got = panel[at] | panel[at + 1] << 8;
            if (got != want && differing++ == 0)
                std::cout << "panel: canvas (" << x << ", " << y << ") is " << std::hex << got << " not " << want
                          << std::dec << std::endl;
        }
    }
    std::cout << "panel: " << differing << " pixels differ" << std::endl;
    return differing != 0;
}

// Every listed call with zero arguments; as root and without the filter, none of them fails
// with EPERM (they fail for their arguments, or do nothing harmful), so EPERM is the filter's.
int call_denied(const char* stage) {
    int refused = 0, listed = 0;
    for (long number : {SKIMBO_DENIED_CALLS}) {
        ++listed;
        errno = 0;
        long result = syscall(number, 0, 0, 0, 0, 0, 0);
        if (result == -1 && errno == EPERM) ++refused;
        else std::cout << stage << ": call " << number << " gave " << result << " errno " << errno << std::endl;
    }
    std::cout << stage << ": " << refused << " of " << listed << " refused with EPERM" << std::endl;
    return refused;
}

int check_filter() {
    pid_t control = fork();
    if (control == 0) _exit(call_denied("unfiltered") == 0 ? 0 : 1);
    int status = 0;
    waitpid(control, &status, 0);
    if (skimbo::install_seccomp_filter() != 0) return std::perror("install_seccomp_filter"), 1;
    int refused = call_denied("filtered");
    // What the program does all session must still work: its own descriptors, memory, time.
    int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
    std::string text(4096, '\0');
    text.resize(fd < 0 ? 0 : static_cast<std::size_t>(std::max<ssize_t>(read(fd, text.data(), text.size()), 0)));
    rlimit limit{};
    bool allowed = fd >= 0 && text.find("Seccomp:\t2") != std::string::npos && getppid() > 0 &&
                   getrlimit(RLIMIT_NOFILE, &limit) == 0 && setresuid(-1, -1, -1) == 0 && close(fd) == 0 &&
                   std::vector<char>(1 << 20).size() == 1 << 20;
    std::cout << "allowed calls " << (allowed ? "work" : "FAIL") << ", control " << WEXITSTATUS(status) << std::endl;
    return refused == static_cast<int>(skimbo::denied_syscall_count) && allowed && status == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    std::string command = argc > 1 ? argv[1] : "";
    if (command == "touch") return play_touch();
    if (command == "watch" && argc > 2) return watch_touch(std::atoi(argv[2]));
    if (command == "panel" && argc > 2) return compare_panel(argv[2]);
    if (command == "filter") return check_filter();
    std::cerr << "usage: kiosk-tool touch | watch MS | panel PPM | filter\n";
    return 2;
}
