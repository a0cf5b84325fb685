// Preloaded into the programs device tests start: "/dev/fb0" and "/dev/input/event1" answer like
// the devices described in $SKIMBO_DEVICE_EMU/devices, a file mapped for real and a FIFO of
// events; everything else goes to the C library, so the program makes its ordinary calls. It
// opens its devices before it confines itself, and everything the emulation needs with them.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/emu/emu_devices.h"

namespace {

template <typename Fn>
Fn* next(Fn*, const char* name) {
    return reinterpret_cast<Fn*>(dlsym(RTLD_NEXT, name));
}

// The C library's entry points behind this library, looked up at first use: other libraries
// may call in before this one's initialisers have run.
struct Libc {
    decltype(&::open) open = next(&::open, "open");
    decltype(&::close) close = next(&::close, "close");
    decltype(&::ioctl) ioctl = next(&::ioctl, "ioctl");
    decltype(&::read) read = next(&::read, "read");
    decltype(&::mmap) mmap = next(&::mmap, "mmap");
    decltype(&::munmap) munmap = next(&::munmap, "munmap");
};

const Libc& libc() {
    static const Libc functions;
    return functions;
}

struct Emulation {
    skimbo::emu::EmuDevices d;
    int panel_fd = -1, touch_fd = -1, trace_fd = -1;
    void* map = nullptr;
    bool grabbed = false;
} emu;

int fail(int error) {
    errno = error;
    return -1;
}

// Reads the description afresh at every open of a device node; -2 for any other path.
int emulated_open(const char* path, int flags) {
    const bool panel = std::strcmp(path, "/dev/fb0") == 0, touch = std::strcmp(path, "/dev/input/event1") == 0;
    const char* dir = std::getenv(skimbo::emu::directory_variable);
    if (dir == nullptr || (!panel && !touch)) return -2;
    const std::string base = dir;
    const int description = libc().open((base + "/devices").c_str(), O_RDONLY | O_CLOEXEC);
    if (libc().read(description, &emu.d, sizeof emu.d) != sizeof emu.d) std::abort();
    libc().close(description);
    if (emu.trace_fd < 0) emu.trace_fd = libc().open((base + "/trace").c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (!(panel ? emu.d.panel_present : emu.d.touch_present)) return fail(ENOENT);
    if (touch) emu.grabbed = false;
    dprintf(emu.trace_fd, panel ? "panel open\n" : "touch open\n");
    return (panel ? emu.panel_fd : emu.touch_fd) = libc().open((base + (panel ? "/panel" : "/touch")).c_str(), flags);
}

int panel_ioctl(unsigned long request, void* argument) {
    const skimbo::emu::EmuDevices& d = emu.d;
    if (request != FBIOGET_FSCREENINFO && request != FBIOGET_VSCREENINFO) return fail(ENOTTY);
    if (d.panel_info_fails) return fail(EINVAL);
    if (request == FBIOGET_FSCREENINFO) {
        fb_fix_screeninfo fix{};
        fix.smem_len = d.smem_len, fix.line_length = d.line_length;
        std::memcpy(fix.id, d.id, sizeof fix.id);
        std::memcpy(argument, &fix, sizeof fix);
        return 0;
    }
    fb_var_screeninfo var{};
    var.xres = d.xres, var.yres = d.yres, var.xoffset = d.xoffset, var.yoffset = d.yoffset, var.bits_per_pixel = d.bpp;
    var.red = {d.red.offset, d.red.length, 0}, var.green = {d.green.offset, d.green.length, 0};
    var.blue = {d.blue.offset, d.blue.length, 0};
    std::memcpy(argument, &var, sizeof var);
    return 0;
}

// Like the kernel: at most the caller's length is copied, and the length copied returned.
int copy_out(void* argument, unsigned long request, const void* data, size_t size) {
    const size_t n = std::min<size_t>(_IOC_SIZE(request), size);
    std::memcpy(argument, data, n);
    return static_cast<int>(n);
}

int touch_ioctl(unsigned long request, void* argument) {
    const skimbo::emu::EmuDevices& d = emu.d;
    if (!d.touch_evdev) return fail(ENOTTY);
    if (request == EVIOCGRAB) {
        const bool grab = argument != nullptr;
        if (grab == emu.grabbed || (grab && d.touch_grab_refused)) return fail(grab ? EBUSY : EINVAL);
        emu.grabbed = grab;
        dprintf(emu.trace_fd, grab ? "touch grab\n" : "touch ungrab\n");
        return 0;
    }
    if (_IOC_NR(request) == _IOC_NR(EVIOCGNAME(0)))
        return d.touch_name[0] ? copy_out(argument, request, d.touch_name, std::strlen(d.touch_name) + 1) : fail(ENOENT);
    if (_IOC_NR(request) == _IOC_NR(EVIOCGBIT(EV_ABS, 0))) return copy_out(argument, request, &d.abs_bits, sizeof d.abs_bits);
    for (int i = 0; i < d.axis_count; ++i) {
        if (request != static_cast<unsigned long>(EVIOCGABS(d.axes[i].code))) continue;
        input_absinfo info{};
        info.value = d.axes[i].value, info.minimum = d.axes[i].minimum, info.maximum = d.axes[i].maximum;
        std::memcpy(argument, &info, sizeof info);
        return 0;
    }
    return fail(EINVAL);
}

}  // namespace

// Only the calls answered here leave the library.
#pragma GCC visibility push(default)
extern "C" {

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, int) : 0;
    va_end(args);
    const int fd = emulated_open(path, flags);
    return fd != -2 ? fd : libc().open(path, flags, mode);
}

int close(int fd) {
    if (fd >= 0 && fd == emu.panel_fd) emu.panel_fd = -1, dprintf(emu.trace_fd, "panel close\n");
    if (fd >= 0 && fd == emu.touch_fd) emu.touch_fd = -1, emu.grabbed = false, dprintf(emu.trace_fd, "touch close\n");
    return libc().close(fd);
}

int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    if (fd >= 0 && fd == emu.panel_fd) return panel_ioctl(request, argument);
    if (fd >= 0 && fd == emu.touch_fd) return touch_ioctl(request, argument);
    return libc().ioctl(fd, request, argument);
}

// The touch screen's axes stand where the events read so far left them, which is what the
// kernel answers after the events before. Its FIFO ends when the test unplugs it: from then on,
// like a removed device.
ssize_t read(int fd, void* buffer, size_t count) {
    const ssize_t got = libc().read(fd, buffer, count);
    if (fd < 0 || fd != emu.touch_fd) return got;
    input_event event{};
    if (got == sizeof event) std::memcpy(&event, buffer, sizeof event);
    for (int i = 0; i < emu.d.axis_count && event.type == EV_ABS; ++i)
        if (emu.d.axes[i].code == event.code) emu.d.axes[i].value = event.value;
    if (got != 0) return got;
    dprintf(emu.trace_fd, "touch unplug\n");
    return fail(ENODEV);
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) noexcept {
    if (fd < 0 || fd != emu.panel_fd) return libc().mmap(address, length, protection, flags, fd, offset);
    if (emu.d.panel_mmap_fails) return errno = ENOMEM, MAP_FAILED;
    emu.map = libc().mmap(address, length, protection, flags, fd, offset);
    dprintf(emu.trace_fd, "panel mmap %zu\n", length);
    return emu.map;
}

int munmap(void* address, size_t length) noexcept {
    if (address != nullptr && address == emu.map) emu.map = nullptr, dprintf(emu.trace_fd, "panel munmap %zu\n", length);
    return libc().munmap(address, length);
}

}  // extern "C"
#pragma GCC visibility pop
