#include "input/touch.h"

#include <fcntl.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/log.h"

namespace skimbo {
namespace {

static_assert(sizeof(input_event) == 24, "the kernel's 64-bit event record");

constexpr std::uint64_t bit(int n) { return std::uint64_t{1} << n; }
constexpr std::uint64_t multitouch_bits = bit(ABS_MT_SLOT) | bit(ABS_MT_POSITION_X) | bit(ABS_MT_POSITION_Y);

int clamp_to(int value, int size) {
    if (value >= size) value = size - 1;
    return value < 0 ? 0 : value;
}

// Closes a descriptor that failed a mandatory step, keeping the errno that step left.
void close_keeping_errno(int& fd) {
    const int saved = errno;
    ::close(fd);
    fd = -1;
    errno = saved;
}

template <typename... Args>
void log_keeping_errno(const char* format, Args... args) {
    const int saved = errno;
    log_line(format, args...);
    errno = saved;
}

}  // namespace

TouchDevice::~TouchDevice() { close(); }

void TouchDevice::reset_contacts() {
    st_down = st_x = st_y = 0;
    syn_dropped = 0;
    contact_count = contact_x = contact_y = 0;
}

int TouchDevice::open(const char* path, int out_width, int out_height) {
    close();
    evdev = multitouch = 0;
    events_seen = reports_seen = 0;
    std::memset(name, 0, sizeof name);
    reset_contacts();
    width = out_width;
    height = out_height;
    raw_x_min = raw_y_min = 0;
    raw_x_max = width - 1;
    raw_y_max = height - 1;

    fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        log_keeping_errno("touch: open %s: %s", path, std::strerror(errno));
        return -1;
    }
    const int flags = fcntl(fd, F_GETFL);
    if (flags >= 0) fcntl(fd, F_SETFL, flags | O_NONBLOCK);

    std::uint64_t abs_bits = 0;
    if (ioctl(fd, EVIOCGBIT(EV_ABS, sizeof abs_bits), &abs_bits) < 0) {
        log_keeping_errno("touch: evdev capability probe required for exclusive input: %s", std::strerror(errno));
        close_keeping_errno(fd);
        return -1;
    }
    evdev = 1;
    read_name();
    read_ranges(abs_bits);
    read_position();

    if (ioctl(fd, EVIOCGRAB, 1) < 0) {
        log_keeping_errno("touch: EVIOCGRAB required: %s", std::strerror(errno));
        close_keeping_errno(fd);
        return -1;
    }
    grabbed = 1;
    return 0;
}

// Device data: the logger makes it printable where it shows it.
void TouchDevice::read_name() {
    if (ioctl(fd, EVIOCGNAME(sizeof name - 1), name) < 0) {
        std::memset(name, 0, sizeof name);
        return;
    }
    name[sizeof name - 1] = '\0';
}

void TouchDevice::read_ranges(std::uint64_t abs_bits) {
    multitouch = (abs_bits & multitouch_bits) == multitouch_bits ? 1 : 0;
    const int x_axis = multitouch ? ABS_MT_POSITION_X : ABS_X;
    const int y_axis = multitouch ? ABS_MT_POSITION_Y : ABS_Y;
    input_absinfo info{};
    if (ioctl(fd, EVIOCGABS(x_axis), &info) == 0) {
        raw_x_min = info.minimum;
        raw_x_max = info.maximum;
    }
    if (ioctl(fd, EVIOCGABS(y_axis), &info) == 0) {
        raw_y_min = info.minimum;
        raw_y_max = info.maximum;
    }
}

// The kernel sends an axis only when its value changes, so the position starts from the values
// the device holds now: from zero, a finger where the last one lifted (the exit hold at the
// panel's edge) would land elsewhere. The finger's down state is not taken over: a contact
// begins with a touch-down seen here, so a finger still down from before acts only once lifted.
void TouchDevice::read_position() {
    input_absinfo info{};
    if (ioctl(fd, EVIOCGABS(ABS_X), &info) == 0) st_x = info.value;
    if (ioctl(fd, EVIOCGABS(ABS_Y), &info) == 0) st_y = info.value;
}

// One event per read: the kernel delivers whole 24-byte records, so any other count means the
// node is not behaving as an evdev device and is treated as failed.
int TouchDevice::read_report() {
    for (;;) {
        input_event event{};
        const ssize_t got = ::read(fd, &event, sizeof event);
        if (got < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN ? 0 : -1;
        }
        if (got == 0) return 0;
        if (got != static_cast<ssize_t>(sizeof event)) {
            errno = EIO;
            return -1;
        }
        if (decode_event(event.type, event.code, event.value)) return 1;
    }
}

int TouchDevice::decode_event(std::uint16_t type, std::uint16_t code, std::int32_t value) {
    ++events_seen;
    if (type == EV_SYN) {
        if (code == SYN_DROPPED) syn_dropped = 1;
        return code == SYN_REPORT ? complete_report() : 0;
    }
    if (syn_dropped) return 0;
    if (type == EV_KEY && code == BTN_TOUCH) st_down = value != 0;
    if (type == EV_ABS && code == ABS_X) st_x = value;
    if (type == EV_ABS && code == ABS_Y) st_y = value;
    return 0;
}

// After dropped events the state cannot be trusted: the gap closes with an empty report, which
// the pump turns into a release, and tracking starts afresh from the device's position.
int TouchDevice::complete_report() {
    if (syn_dropped) {
        reset_contacts();
        read_position();
        return 1;
    }
    contact_count = st_down ? 1 : 0;
    contact_x = st_down ? clamp_to(st_x, width) : 0;
    contact_y = st_down ? clamp_to(st_y, height) : 0;
    ++reports_seen;
    return 1;
}

int TouchDevice::describe(char* buffer, std::size_t size) const {
    return std::snprintf(buffer, size,
                         "touch name='%s' evdev=%d mt=%d grabbed=%d raw_x=%d..%d raw_y=%d..%d mode=%s swap=%d inv=%d,%d",
                         name, evdev, multitouch, grabbed, raw_x_min, raw_x_max, raw_y_min, raw_y_max, "raw-clamp", 0,
                         0, 0);
}

void TouchDevice::close() {
    if (fd >= 0) {
        if (grabbed) ioctl(fd, EVIOCGRAB, 0);
        ::close(fd);
    }
    fd = -1;
    grabbed = 0;
}

}  // namespace skimbo
