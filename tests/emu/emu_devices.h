#pragma once
// The emulated panel and touch screen. An EmuSession lays out the devices a test describes in a
// fresh directory (the description, the panel's memory, a FIFO of touch events, a trace of what
// the program did with them) and has every program the test starts load the emulation
// (device_emu.cpp), which answers for "/dev/fb0" and "/dev/input/event1" from there.
#include <linux/input.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/test_env.h"

namespace skimbo::emu {

inline constexpr const char* directory_variable = "SKIMBO_DEVICE_EMU";

struct Bitfield {
    std::uint32_t offset, length;
};

// Plain bytes, written by the test and read by the emulation. By default, the qualified panel
// (172 x 640 RGB565) and single-touch screen.
struct EmuDevices {
    bool panel_present = true, panel_info_fails = false, panel_mmap_fails = false;  // ENOENT, EINVAL, ENOMEM
    std::uint32_t xres = 172, yres = 640, bpp = 16, line_length = 344, xoffset = 0, yoffset = 0, smem_len = 640 * 344;
    char id[16] = "fb_axs15231b";
    Bitfield red{11, 5}, green{5, 6}, blue{0, 5};
    bool touch_present = true, touch_evdev = true, touch_grab_refused = false;  // ENOENT, ENOTTY, EBUSY
    char touch_name[128] = "skimbo panel touch";  // empty: the name cannot be read
    std::uint64_t abs_bits = 1u << ABS_X | 1u << ABS_Y;
    int axis_count = 2;
    struct {
        std::uint32_t code;
        std::int32_t minimum, maximum, value;  // value: where the axis stands, as an earlier finger left it
    } axes[2] = {{ABS_X, 0, 171, 0}, {ABS_Y, 0, 639, 0}};
};

struct EmuSession {
    test_env::ScratchDir dir;
    int touch_writer = -1;

    explicit EmuSession(const EmuDevices& devices = {});
    ~EmuSession();
    void describe(const EmuDevices& devices);  // the devices that the next opens find
    void touch(int x, int y);  // queues a report: a finger at panel pixel (x, y)
    void send(const std::vector<input_event>& events);  // queues events as the kernel passes them on
    void unplug();             // from now on the touch screen's reads fail with ENODEV
    std::vector<std::uint8_t> panel_memory() const;  // filled with 0xA5 at the start
    // The device operations in order: "panel open", "panel mmap 220160", "touch grab", ...
    std::vector<std::string> trace() const;
};

}  // namespace skimbo::emu
