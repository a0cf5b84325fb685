// Preloaded into test processes (LD_PRELOAD): makes the panel and touch nodes named in the
// SKIMBO_DEVICE_EMU file answer like real devices. The panel is a file the test can read back,
// mapped for real; the touch node is a real descriptor (on /dev/null) whose evdev requests and
// reads are answered from the script. Everything else passes straight to the C library, so the
// program under test makes its ordinary calls and carries no hooks of its own.
//
// All configuration is read, and every descriptor the emulation needs is opened, when a device
// node is opened: the program confines itself (seccomp, limits, another user) only after that.
#include <dlfcn.h>
#include <fcntl.h>
#include <linux/fb.h>
#include <linux/input.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/emu/emu_devices.h"

namespace {

using skimbo::emu::EmuDevices;
using skimbo::emu::ScriptStep;
using skimbo::emu::StepKind;

// The C library's own entry points, found behind this library in the search order.
struct Libc {
    int (*open)(const char*, int, ...);
    int (*openat)(int, const char*, int, ...);
    int (*close)(int);
    int (*ioctl)(int, unsigned long, ...);
    ssize_t (*read)(int, void*, size_t);
    void* (*mmap)(void*, size_t, int, int, int, off_t);
    int (*munmap)(void*, size_t);
};

template <typename Fn>
Fn next_symbol(const char* name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

const Libc& libc() {
    static const Libc functions{
        next_symbol<decltype(Libc::open)>("open"),     next_symbol<decltype(Libc::openat)>("openat"),
        next_symbol<decltype(Libc::close)>("close"),   next_symbol<decltype(Libc::ioctl)>("ioctl"),
        next_symbol<decltype(Libc::read)>("read"),     next_symbol<decltype(Libc::mmap)>("mmap"),
        next_symbol<decltype(Libc::munmap)>("munmap"),
    };
    return functions;
}

struct PanelState {
    int fd = -1;
    void* map = nullptr;
    size_t map_len = 0;
};

struct TouchState {
    int fd = -1;
    bool grabbed = false;
    bool unplugged = false;
    size_t next_step = 0;
    long long opened_ms = 0;
};

struct Emulation {
    bool configured = false;
    EmuDevices devices;
    int trace_fd = -1;
    PanelState panel;
    TouchState touch;
};

// Never destroyed: the program may still close or unmap a device while exiting.
Emulation& emulation() {
    static Emulation* state = new Emulation;
    return *state;
}

long long monotonic_ms() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now.tv_sec * 1000LL + now.tv_nsec / 1000000;
}

int fail(int error) {
    errno = error;
    return -1;
}

void complain(const char* what, const char* detail) {
    char line[512];
    const int n = std::snprintf(line, sizeof line, "device-emu: %s %s\n", what, detail);
    if (n <= 0) return;
    const size_t length = static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1;
    [[maybe_unused]] const ssize_t ignored = write(2, line, length);
}

void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void trace(const char* format, ...) {
    const int fd = emulation().trace_fd;
    if (fd < 0) return;
    char line[128];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n <= 0) return;
    const size_t length = static_cast<size_t>(n) < sizeof line - 1 ? static_cast<size_t>(n) : sizeof line - 2;
    line[length] = '\n';
    [[maybe_unused]] const ssize_t ignored = write(fd, line, length + 1);
}

bool read_whole_file(const char* path, std::string& text) {
    const int fd = libc().open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char chunk[4096];
    ssize_t got = 0;
    while ((got = libc().read(fd, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(got));
    libc().close(fd);
    return got == 0;
}

// Re-read on every open of a device node, so each test can describe its own devices.
void load_configuration() {
    Emulation& emu = emulation();
    const char* path = std::getenv(skimbo::emu::config_variable);
    emu.configured = false;
    if (path == nullptr) return;
    std::string text;
    EmuDevices devices;
    if (!read_whole_file(path, text) || !skimbo::emu::parse_devices(text, devices)) {
        complain("cannot use the device description", path);
        return;
    }
    emu.devices = std::move(devices);
    if (emu.trace_fd >= 0) libc().close(emu.trace_fd);
    emu.trace_fd = emu.devices.trace.empty()
                       ? -1
                       : libc().open(emu.devices.trace.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    emu.configured = true;
}

int open_panel(int flags) {
    Emulation& emu = emulation();
    if (!emu.devices.panel.present) return fail(ENOENT);
    const int fd = libc().open(emu.devices.panel.memory.c_str(), flags & ~(O_CREAT | O_TRUNC));
    if (fd < 0) {
        complain("cannot open the panel memory", emu.devices.panel.memory.c_str());
        return fail(EIO);
    }
    emu.panel = PanelState{fd, nullptr, 0};
    trace("panel open");
    return fd;
}

int open_touch(int flags) {
    Emulation& emu = emulation();
    if (!emu.devices.touch.present) return fail(ENOENT);
    const int fd = libc().open("/dev/null", flags & ~(O_CREAT | O_TRUNC));
    if (fd < 0) return -1;
    emu.touch = TouchState{fd, false, false, 0, monotonic_ms()};
    trace("touch open");
    return fd;
}

// Returns -2 when path names no emulated node and the real call should run.
int emulated_open(const char* path, int flags) {
    if (path == nullptr || std::strncmp(path, "/dev/", 5) != 0) return -2;
    load_configuration();
    Emulation& emu = emulation();
    if (!emu.configured) return -2;
    if (emu.devices.panel.path == path) return open_panel(flags);
    if (emu.devices.touch.path == path) return open_touch(flags);
    return -2;
}

int mode_argument(int flags, va_list args) {
    return (flags & (O_CREAT | O_TMPFILE)) != 0 ? va_arg(args, int) : 0;
}

void fill_fixed_info(fb_fix_screeninfo& fix) {
    const skimbo::emu::EmuPanel& p = emulation().devices.panel;
    fix = fb_fix_screeninfo{};
    std::memcpy(fix.id, p.id.data(), p.id.size() < sizeof fix.id ? p.id.size() : sizeof fix.id);
    fix.smem_len = p.smem_len;
    fix.type = FB_TYPE_PACKED_PIXELS;
    fix.visual = FB_VISUAL_TRUECOLOR;
    fix.line_length = p.line_length;
}

void fill_variable_info(fb_var_screeninfo& var) {
    const skimbo::emu::EmuPanel& p = emulation().devices.panel;
    var = fb_var_screeninfo{};
    var.xres = p.xres;
    var.yres = p.yres;
    var.xres_virtual = p.xres + p.xoffset;
    var.yres_virtual = p.yres + p.yoffset;
    var.xoffset = p.xoffset;
    var.yoffset = p.yoffset;
    var.bits_per_pixel = p.bpp;
    var.red = {p.red.offset, p.red.length, 0};
    var.green = {p.green.offset, p.green.length, 0};
    var.blue = {p.blue.offset, p.blue.length, 0};
}

int panel_ioctl(unsigned long request, void* argument) {
    const skimbo::emu::EmuPanel& p = emulation().devices.panel;
    if (request == FBIOGET_FSCREENINFO) {
        if (p.fscreeninfo_fails) return fail(EINVAL);
        fill_fixed_info(*static_cast<fb_fix_screeninfo*>(argument));
        return 0;
    }
    if (request == FBIOGET_VSCREENINFO) {
        if (p.vscreeninfo_fails) return fail(EINVAL);
        fill_variable_info(*static_cast<fb_var_screeninfo*>(argument));
        return 0;
    }
    return fail(ENOTTY);
}

// The kernel copies at most the caller's length and reports how much it copied.
int copy_out(void* argument, unsigned size, const void* data, size_t data_size) {
    const size_t n = size < data_size ? size : data_size;
    std::memcpy(argument, data, n);
    return static_cast<int>(n);
}

int grab_touch(int grab) {
    TouchState& touch = emulation().touch;
    if (grab != 0) {
        if (emulation().devices.touch.grab_refused || touch.grabbed) return fail(EBUSY);
        touch.grabbed = true;
        trace("touch grab");
        return 0;
    }
    if (!touch.grabbed) return fail(EINVAL);
    touch.grabbed = false;
    trace("touch ungrab");
    return 0;
}

int axis_info(unsigned code, void* argument) {
    for (const skimbo::emu::AxisRange& axis : emulation().devices.touch.axes) {
        if (axis.code != code) continue;
        input_absinfo info{};
        info.minimum = axis.minimum;
        info.maximum = axis.maximum;
        std::memcpy(argument, &info, sizeof info);
        return 0;
    }
    return fail(EINVAL);
}

int touch_ioctl(unsigned long request, void* argument) {
    const skimbo::emu::EmuTouch& t = emulation().devices.touch;
    if (!t.evdev || _IOC_TYPE(request) != 'E') return fail(ENOTTY);
    if (request == EVIOCGRAB) return grab_touch(static_cast<int>(reinterpret_cast<uintptr_t>(argument)));
    const unsigned nr = _IOC_NR(request);
    const unsigned size = _IOC_SIZE(request);
    if (_IOC_DIR(request) != _IOC_READ) return fail(EINVAL);
    if (nr == _IOC_NR(EVIOCGNAME(0))) {
        if (!t.name) return fail(ENOENT);
        return copy_out(argument, size, t.name->c_str(), t.name->size() + 1);
    }
    if (nr == _IOC_NR(EVIOCGBIT(EV_ABS, 0))) return copy_out(argument, size, &t.abs_bits, sizeof t.abs_bits);
    if (nr >= _IOC_NR(EVIOCGABS(0)) && nr < _IOC_NR(EVIOCGABS(ABS_CNT)) && size == sizeof(input_absinfo))
        return axis_info(nr - _IOC_NR(EVIOCGABS(0)), argument);
    return fail(EINVAL);
}

void write_event(unsigned char* out, const ScriptStep& step) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    input_event event{};
    event.time.tv_sec = now.tv_sec;
    event.time.tv_usec = now.tv_nsec / 1000;
    event.type = step.type;
    event.code = step.code;
    event.value = step.value;
    std::memcpy(out, &event, sizeof event);
}

// Like the kernel: as many whole due events as fit, EAGAIN when none is due. The scripted
// faults (half an event, the end of the node, an unplug) come on a read of their own.
ssize_t touch_read(void* buffer, size_t count) {
    TouchState& touch = emulation().touch;
    const auto& script = emulation().devices.script;
    if (touch.unplugged) return fail(ENODEV);
    if (count < sizeof(input_event)) return fail(EINVAL);
    const long long elapsed_ms = monotonic_ms() - touch.opened_ms;
    auto* out = static_cast<unsigned char*>(buffer);
    size_t filled = 0;
    while (touch.next_step < script.size() && script[touch.next_step].t_ms <= elapsed_ms) {
        const ScriptStep& step = script[touch.next_step];
        if (step.kind == StepKind::Event) {
            if (filled + sizeof(input_event) > count) break;
            write_event(out + filled, step);
            filled += sizeof(input_event);
            ++touch.next_step;
            continue;
        }
        if (filled > 0) break;
        ++touch.next_step;
        if (step.kind == StepKind::Partial) {
            write_event(out, step);
            return sizeof(input_event) / 2;
        }
        if (step.kind == StepKind::EndOfFile) return 0;
        touch.unplugged = true;
        trace("touch unplug");
        return fail(ENODEV);
    }
    return filled > 0 ? static_cast<ssize_t>(filled) : fail(EAGAIN);
}

void forget_descriptor(int fd) {
    Emulation& emu = emulation();
    if (fd < 0) return;
    if (fd == emu.panel.fd) {
        emu.panel.fd = -1;
        trace("panel close");
    }
    if (fd == emu.touch.fd) {
        emu.touch.fd = -1;
        emu.touch.grabbed = false;
        trace("touch close");
    }
}

}  // namespace

// Only the calls it answers for leave the library; its own helpers stay inside.
#pragma GCC visibility push(default)
extern "C" {

// Lets a test binary tell that it runs under the emulation.
int skimbo_device_emu_loaded = 1;

int open(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int mode = mode_argument(flags, args);
    va_end(args);
    const int fd = emulated_open(path, flags);
    return fd != -2 ? fd : libc().open(path, flags, mode);
}

int open64(const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int mode = mode_argument(flags, args);
    va_end(args);
    return open(path, flags, mode);
}

int __open_2(const char* path, int flags) { return open(path, flags); }
int __open64_2(const char* path, int flags) { return open(path, flags); }

int openat(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int mode = mode_argument(flags, args);
    va_end(args);
    const int fd = emulated_open(path, flags);
    return fd != -2 ? fd : libc().openat(dirfd, path, flags, mode);
}

int openat64(int dirfd, const char* path, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const int mode = mode_argument(flags, args);
    va_end(args);
    return openat(dirfd, path, flags, mode);
}

int __openat_2(int dirfd, const char* path, int flags) { return openat(dirfd, path, flags); }
int __openat64_2(int dirfd, const char* path, int flags) { return openat(dirfd, path, flags); }

int close(int fd) {
    forget_descriptor(fd);
    return libc().close(fd);
}

int ioctl(int fd, unsigned long request, ...) noexcept {
    va_list args;
    va_start(args, request);
    void* argument = va_arg(args, void*);
    va_end(args);
    const Emulation& emu = emulation();
    if (fd >= 0 && fd == emu.panel.fd) return panel_ioctl(request, argument);
    if (fd >= 0 && fd == emu.touch.fd) return touch_ioctl(request, argument);
    return libc().ioctl(fd, request, argument);
}

ssize_t read(int fd, void* buffer, size_t count) {
    if (fd >= 0 && fd == emulation().touch.fd) return touch_read(buffer, count);
    return libc().read(fd, buffer, count);
}

ssize_t __read_chk(int fd, void* buffer, size_t count, size_t buffer_size) {
    if (count > buffer_size) std::abort();
    return read(fd, buffer, count);
}

void* mmap(void* address, size_t length, int protection, int flags, int fd, off_t offset) noexcept {
    Emulation& emu = emulation();
    if (fd < 0 || fd != emu.panel.fd) return libc().mmap(address, length, protection, flags, fd, offset);
    if (emu.devices.panel.mmap_fails) {
        errno = ENOMEM;
        return MAP_FAILED;
    }
    void* mapped = libc().mmap(address, length, protection, flags, fd, offset);
    if (mapped != MAP_FAILED) {
        emu.panel.map = mapped;
        emu.panel.map_len = length;
        trace("panel mmap %zu", length);
    }
    return mapped;
}

void* mmap64(void* address, size_t length, int protection, int flags, int fd, off_t offset) noexcept {
    return mmap(address, length, protection, flags, fd, offset);
}

int munmap(void* address, size_t length) noexcept {
    Emulation& emu = emulation();
    if (address != nullptr && address == emu.panel.map) {
        trace("panel munmap %zu", length);
        emu.panel.map = nullptr;
    }
    return libc().munmap(address, length);
}

}  // extern "C"
#pragma GCC visibility pop
