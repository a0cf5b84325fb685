#pragma once
// The emulated panel and touch screen as data: what each device reports, which request it
// refuses, and the script of events the touch screen delivers. Tests fill this record; the
// preloaded emulation reads it back from a text file named by SKIMBO_DEVICE_EMU.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace skimbo::emu {

inline constexpr const char* config_variable = "SKIMBO_DEVICE_EMU";

struct Bitfield {
    std::uint32_t offset = 0;
    std::uint32_t length = 0;
};

// Defaults describe the qualified panel: 172 x 640 RGB565, 344-byte rows, no pan offsets.
struct EmuPanel {
    std::string path = "/dev/fb0";
    bool present = true;  // false: the node does not exist (ENOENT)
    bool fscreeninfo_fails = false;
    bool vscreeninfo_fails = false;
    bool mmap_fails = false;
    std::string memory;  // file standing in for device memory, shared with the test
    std::uint32_t xres = 172;
    std::uint32_t yres = 640;
    std::uint32_t bpp = 16;
    std::uint32_t line_length = 344;
    std::uint32_t xoffset = 0;
    std::uint32_t yoffset = 0;
    std::uint32_t smem_len = 640 * 344;
    std::string id = "fb_axs15231b";  // at most 16 bytes reach the program
    Bitfield red{11, 5};
    Bitfield green{5, 6};
    Bitfield blue{0, 5};

    // Bytes the memory file needs so that every mapping the program may make stays inside it.
    std::uint64_t memory_size() const;
};

struct AxisRange {
    std::uint32_t code = 0;
    std::int32_t minimum = 0;
    std::int32_t maximum = 0;
};

// Defaults describe the qualified single-touch screen with panel-pixel axes.
struct EmuTouch {
    std::string path = "/dev/input/event1";
    bool present = true;        // false: the node does not exist (ENOENT)
    bool evdev = true;          // false: every evdev request fails (ENOTTY), as on a plain file
    bool grab_refused = false;  // true: another reader holds the grab (EBUSY)
    std::optional<std::string> name = "skimbo panel touch";  // nullopt: the name cannot be read
    std::uint64_t abs_bits = 0x3;  // ABS_X and ABS_Y
    std::vector<AxisRange> axes = {{0, 0, 171}, {1, 0, 639}};
};

// Adds the multitouch slot and position capabilities, with position ranges.
void make_multitouch(EmuTouch& touch);

enum class StepKind : std::uint8_t { Event, Partial, Unplug, EndOfFile };

// One scripted read result, due t_ms after the touch node was opened.
struct ScriptStep {
    std::uint32_t t_ms = 0;
    StepKind kind = StepKind::Event;
    std::uint16_t type = 0;
    std::uint16_t code = 0;
    std::int32_t value = 0;
};

ScriptStep event_at(std::uint32_t t_ms, std::uint16_t type, std::uint16_t code, std::int32_t value);
ScriptStep partial_read_at(std::uint32_t t_ms);  // a read returning half an event
ScriptStep unplug_at(std::uint32_t t_ms);        // ENODEV from then on
ScriptStep end_of_file_at(std::uint32_t t_ms);   // one read returning 0

// A finger landing at panel (x, y), and the finger lifting: complete single-touch reports.
void press(std::vector<ScriptStep>& script, std::uint32_t t_ms, int x, int y);
void release(std::vector<ScriptStep>& script, std::uint32_t t_ms);

// A trace file that puts the device operations on the program's own standard error, between
// its log lines, so that a test sees in which order the two happened.
inline constexpr const char* trace_on_stderr = "/proc/self/fd/2";

struct EmuDevices {
    EmuPanel panel;
    EmuTouch touch;
    std::vector<ScriptStep> script;
    std::string trace;  // file the emulation appends its device operations to; empty: none
};

std::string format_devices(const EmuDevices& devices);
// false on any line it does not understand.
bool parse_devices(std::string_view text, EmuDevices& devices);

}  // namespace skimbo::emu
