// Device play as the supervisor runs it: the real program, started by this test as its parent,
// on the emulated panel and touch screen, confining itself for real.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/e2e/program_run.h"
#include "tests/emu/emu_devices.h"
#include "tests/support/scratch_dir.h"
#include "tests/test_env.h"

namespace skimbo::e2e {
namespace {

using emu::EmuDevices;
using emu::EmuSession;
using Lines = std::vector<std::string>;

std::string touch_line(const std::string& name = "skimbo panel touch", const std::string& ranges = "0..171 raw_y=0..639") {
    return "touch name='" + name + "' evdev=1 mt=0 grabbed=1 raw_x=" + ranges + " mode=raw-clamp swap=0 inv=0,0";
}
const Lines opened = {"panel open", "panel mmap 220160", "touch open", "touch grab"};
const Lines released = {"touch ungrab", "touch close", "panel munmap 220160", "panel close"};

// The log after the HELLO line, up to the first line that starts with one of `until`.
Lines after_hello(const ProgramRun& run, const Lines& until = {"bench "}) {
    const Lines m = run.messages();
    return {m.begin() + 1, std::find_if(m.begin() + 1, m.end(), [&](const std::string& line) {
                return std::any_of(until.begin(), until.end(), [&](const std::string& u) { return line.starts_with(u); });
            })};
}

class DeviceE2E : public ::testing::Test {
protected:
    void SetUp() override {
        if (test_env::emulated) GTEST_SKIP() << "needs the real kernel: namespaces, identity changes and seccomp";
        if (geteuid() != 0) GTEST_SKIP() << "device play must start as root to hand itself to user 65534";
        chmod(scratch.path.c_str(), 0755);  // root's and 0755, under sticky /tmp: a trusted parent
    }
    // A session started by this process as its supervisor, in a fresh working directory.
    Lines device_play(const Lines& more = {}) {
        Lines args = {"--parent-pid", std::to_string(getpid()), "--workdir", workdir(), "--seed", "5"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    std::string workdir() const { return scratch.path + "/wd"; }

    test_support::ScratchDir scratch;
};

// The row of /proc/<pid>/status or /proc/<pid>/limits that starts with label, blanks collapsed.
std::string proc_row(pid_t pid, const std::string& label) {
    std::istringstream text(read_file("/proc/" + std::to_string(pid) + (label.starts_with("Max") ? "/limits" : "/status")));
    std::string line, value, word;
    while (std::getline(text, line) && !line.starts_with(label)) {}
    for (std::istringstream words(line.substr(label.size())); words >> word;) value += (value.empty() ? "" : " ") + word;
    return value;
}

// Bring-up opens and grabs the devices, describes the touch screen and confines the process
// (seen from outside, in /proc); a stop signal then releases the devices, touch screen first.
TEST_F(DeviceE2E, BringUpConfinesTheProcessAndPlays) {
    EmuSession devices;
    ProgramRun run = ProgramRun::start(device_play());
    ASSERT_TRUE(run.wait_for("first frame presented")) << run.err;
    const std::string mib96 = std::to_string(96 << 20) + " " + std::to_string(96 << 20) + " bytes";
    for (auto [label, value] : {std::pair{"Uid:", "65534 65534 65534 65534"}, {"Gid:", "65534 65534 65534 65534"}, {"Groups:", ""},
                                {"NoNewPrivs:", "1"}, {"Seccomp:", "2"}, {"Max file size", "4194304 4194304 bytes"},
                                {"Max core file size", "0 0 bytes"}, {"Max open files", "64 64 files"}, {"Max processes", "0 0 processes"},
                                {"Max address space", test_env::sanitized ? "unlimited unlimited bytes" : mib96.c_str()}})
        EXPECT_EQ(proc_row(run.pid, label), value) << label;
    kill(run.pid, SIGTERM);
    EXPECT_EQ(run.finish(), 11);
    EXPECT_EQ(after_hello(run, {"first frame"}),
              (Lines{touch_line(), "sandbox: nice=10 oom=1000 wd=" + workdir() + " netns=private uid=65534 nnp=on seccomp=on"}));
    Lines trace = opened;
    trace.insert(trace.end(), released.begin(), released.end());
    EXPECT_EQ(devices.trace(), trace);
    struct stat wd {};
    EXPECT_EQ(stat(workdir().c_str(), &wd), 0);
    EXPECT_EQ(wd.st_uid, 65534u);
    EXPECT_EQ(wd.st_mode & 07777, 0700u);
}

// Panel (86, 320) is mid-canvas: a tap. Panel (171, 0) is the canvas's top-left corner: held
// there, the finger ends the session 1.2 s later.
TEST_F(DeviceE2E, TouchesOnThePanelPlayTheGame) {
    EmuSession devices;
    devices.touch(86, 320);
    devices.lift();
    devices.touch(171, 0);
    ProgramRun run = run_program(device_play({"--exit-after", "5000"}));
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.messages("input tap"), Lines{"input tap phase=running score=0"});
    EXPECT_TRUE(run.last_message().starts_with("exit code=0 reason=exit-gesture frames=")) << run.last_message();
    EXPECT_GE(field(run.last_message(), "frames"), 70);
}

// A finger on the pause corner (panel (171, 639), the canvas's top right) freezes the opening
// screen: the panel then holds, in RGB565 turned by 270 degrees, what a headless session of the
// same seed captures paused at once.
TEST_F(DeviceE2E, ThePanelShowsThePausedScreen) {
    EmuSession devices;
    devices.touch(171, 639);
    ProgramRun run = run_program(device_play({"--exit-after", "400"}));
    EXPECT_EQ(run.messages("state="), Lines{"state=paused score=0 best=0 y=79.00"}) << run.err;
    std::ofstream(scratch.path + "/pause.replay") << "0 1 639 0\n";
    run_program({"--headless", "--virtual-clock", "--seed", "5", "--exit-after", "20", "--replay", scratch.path + "/pause.replay",
                 "--capture-dir", scratch.path});
    const std::string ppm = read_file(scratch.path + "/0-paused.ppm");
    std::vector<std::uint8_t> panel(640 * 344);
    for (std::size_t i = 0; i < 640 * 172 && ppm.size() == 15 + 640 * 172 * 3; ++i) {
        const auto* rgb = reinterpret_cast<const std::uint8_t*>(ppm.data() + 15 + 3 * i);
        const unsigned pixel = (rgb[0] >> 3) << 11 | (rgb[1] >> 2) << 5 | rgb[2] >> 3;
        const std::size_t at = i % 640 * 344 + (171 - i / 640) * 2;  // canvas (x, y): panel row x, column 171 - y
        panel[at] = static_cast<std::uint8_t>(pixel), panel[at + 1] = static_cast<std::uint8_t>(pixel >> 8);
    }
    EXPECT_TRUE(devices.panel_memory() == panel);
}

// Every way bring-up refuses, with the lines between HELLO and the bench line, and status 21;
// what it accepts besides the qualified devices plays (status 12). Every device it opened it
// releases.
TEST_F(DeviceE2E, BringUpRefusesAllButTheQualifiedDevices) {
    const std::string d = scratch.path;
    const auto directory = [](const std::string& path, mode_t mode, uid_t owner = 0) {
        std::filesystem::create_directory(path);
        chmod(path.c_str(), mode);
        chown(path.c_str(), owner, owner);
        return path;
    };
    std::ofstream(d + "/file").close();
    std::filesystem::create_directory_symlink(directory(d + "/real", 0755), d + "/link");
    const auto refused_wd = [](int error) {
        return Lines{touch_line(), "sandbox: nice=10 oom=1000 wd=FAIL(" + std::to_string(error) + ") ", "failure: sandbox-failed"};
    };
    const Lines unqualified = {"failure: unqualified framebuffer geometry/format"}, plays = {touch_line()};
    const std::string fb_refused = "failure: framebuffer ownership/open";
    const struct {
        const char* name;
        void (*change)(EmuDevices&);
        Lines args, lines;
    } cases[] = {
        {"no panel", [](EmuDevices& e) { e.panel_present = false; }, {}, {"fb: open /dev/fb0: No such file or directory", fb_refused}},
        {"no screen info", [](EmuDevices& e) { e.panel_info_fails = true; }, {}, {"fb: FBIOGET_*SCREENINFO: Invalid argument", fb_refused}},
        {"24 bits", [](EmuDevices& e) { e.bpp = 24, e.xres = 1280; }, {}, {"fb: unsupported bpp 24", fb_refused}},
        {"too wide", [](EmuDevices& e) { e.xres = 1025; }, {}, {"fb: unsupported geometry 1025x640", fb_refused}},
        {"no width", [](EmuDevices& e) { e.xres = 0; }, {}, {"fb: unsupported geometry 0x640", fb_refused}},
        {"no mapping", [](EmuDevices& e) { e.panel_mmap_fails = true; }, {}, {"fb: mmap: Cannot allocate memory", fb_refused}},
        {"landscape", [](EmuDevices& e) { e.xres = 640, e.yres = 172, e.line_length = 1280; }, {}, unqualified},
        {"32 bits", [](EmuDevices& e) { e.bpp = 32, e.line_length = 688, e.red = {16, 8}, e.green = {8, 8}, e.blue = {0, 8}; }, {}, unqualified},
        {"padded rows", [](EmuDevices& e) { e.line_length = 352; }, {}, unqualified},
        {"panned across", [](EmuDevices& e) { e.xoffset = 2; }, {}, unqualified},
        {"panned down", [](EmuDevices& e) { e.yoffset = 2; }, {}, unqualified},
        {"other driver", [](EmuDevices& e) { std::strcpy(e.id, "fb_other"); }, {}, unqualified},
        {"BGR565", [](EmuDevices& e) { e.red = {0, 5}, e.blue = {11, 5}; }, {}, unqualified},
        {"no touch screen", [](EmuDevices& e) { e.touch_present = false; }, {},
         {"touch: open /dev/input/event1: No such file or directory", "failure: touch-open"}},
        {"not an input device", [](EmuDevices& e) { e.touch_evdev = false; }, {},
         {"touch: evdev capability probe required for exclusive input: Inappropriate ioctl for device", "failure: touch-open"}},
        {"grabbed elsewhere", [](EmuDevices& e) { e.touch_grab_refused = true; }, {},
         {"touch: EVIOCGRAB required: Device or resource busy", "failure: touch-open"}},
        {"multitouch", [](EmuDevices& e) { e.abs_bits |= 1ull << ABS_MT_SLOT | 1ull << ABS_MT_POSITION_X | 1ull << ABS_MT_POSITION_Y; },
         {}, {"failure: single-touch grab required"}},
        // The name is device data shown in a log line: cut to 63 bytes and kept on one line.
        {"odd name, no ranges", [](EmuDevices& e) { std::strcpy(e.touch_name, "evil\npanel\x1b"), e.axis_count = 0; }, {},
         {touch_line("evil?panel?")}},
        {"long name, ranges", [](EmuDevices& e) { std::memset(e.touch_name, 'n', 100), e.axes[0].minimum = 5, e.axes[1].maximum = 700; },
         {}, {touch_line(std::string(63, 'n'), "5..171 raw_y=0..700")}},
        {"empty bit fields", [](EmuDevices& e) { e.red = e.green = e.blue = {0, 0}; }, {}, plays},
        {"more device memory", [](EmuDevices& e) { e.smem_len = 300000; }, {}, plays},
        // A parent alive but not the program's: nothing is opened.
        {"stranger as parent", nullptr, {"--parent-pid", std::to_string(getppid())}, {fb_refused}},
        // Working directories that are malformed, or that someone else could swap out.
        {"relative", nullptr, {"--workdir", "wd"}, refused_wd(EINVAL)},
        {"root", nullptr, {"--workdir", "/"}, refused_wd(EINVAL)},
        {"doubled slash", nullptr, {"--workdir", d + "//wd"}, refused_wd(EINVAL)},
        {"dot", nullptr, {"--workdir", d + "/./wd"}, refused_wd(EINVAL)},
        {"dot-dot", nullptr, {"--workdir", d + "/real/../wd"}, refused_wd(EINVAL)},
        {"256-byte name", nullptr, {"--workdir", d + "/" + std::string(256, 'n')}, refused_wd(EINVAL)},
        {"missing parent", nullptr, {"--workdir", d + "/missing/wd"}, refused_wd(ENOENT)},
        {"a file", nullptr, {"--workdir", d + "/file"}, refused_wd(ENOTDIR)},
        {"a link on the way", nullptr, {"--workdir", d + "/link/wd"}, refused_wd(ENOTDIR)},
        {"a link at the end", nullptr, {"--workdir", d + "/link"}, refused_wd(ENOTDIR)},
        {"world-writable parent", nullptr, {"--workdir", directory(d + "/open", 0777) + "/wd"}, refused_wd(EPERM)},
        {"group-writable parent", nullptr, {"--workdir", directory(d + "/group", 0775) + "/wd"}, refused_wd(EPERM)},
        {"another user's parent", nullptr, {"--workdir", directory(d + "/theirs", 0755, 1000) + "/wd"}, refused_wd(EPERM)},
        {"open to others", nullptr, {"--workdir", directory(d + "/shared", 0710)}, refused_wd(EPERM)},
        {"handed over before", nullptr, {"--workdir", directory(d + "/given", 0700, 65534)}, refused_wd(EPERM)},
        {"private already", nullptr, {"--workdir", directory(d + "/mine", 0700)}, plays},
        {"sticky shared parent", nullptr, {"--workdir", directory(d + "/sticky", 01777) + "/wd"}, plays},
        {"255-byte name", nullptr, {"--workdir", d + "/" + std::string(255, 'n')}, plays},
    };
    for (const auto& c : cases) {
        EmuDevices described;
        if (c.change) c.change(described);
        EmuSession devices(described);
        Lines args = device_play({"--exit-after", "100"});
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProgramRun run = run_program(args);
        // Up to the sandbox line where it succeeds: then the session plays to its limit.
        EXPECT_EQ(after_hello(run, {"bench ", "sandbox: nice=10 oom=1000 wd=/"}), c.lines) << c.name;
        EXPECT_EQ(run.status, c.lines.back().starts_with("failure: ") ? 21 : 12) << c.name;
        const Lines trace = devices.trace();
        for (const std::string device : {"panel", "touch"})
            EXPECT_EQ(std::count(trace.begin(), trace.end(), device + " open"), std::count(trace.begin(), trace.end(), device + " close"))
                << c.name << ": " << device << " left open";
        std::filesystem::remove_all(workdir());
    }
}

TEST_F(DeviceE2E, AnUnpluggedTouchScreenIsTouchLostWithTheDevicesReleased) {
    EmuSession devices;
    ProgramRun run = ProgramRun::start(device_play());
    ASSERT_TRUE(run.wait_for("first frame presented")) << run.err;
    devices.unplug();
    EXPECT_EQ(run.finish(), 21);
    EXPECT_EQ(run.messages("failure: "), Lines{"failure: touch-lost"});
    Lines trace = opened;
    trace.push_back("touch unplug");
    trace.insert(trace.end(), released.begin(), released.end());
    EXPECT_EQ(devices.trace(), trace);
}

}  // namespace
}  // namespace skimbo::e2e
