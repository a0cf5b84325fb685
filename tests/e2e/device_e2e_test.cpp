// Device play as the supervisor runs it: the real program, started by this test as its
// parent, on the emulated panel and touch screen, confining itself for real.
#include <gtest/gtest.h>
#include <linux/input.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "tests/e2e/program_run.h"
#include "tests/emu/emu_session.h"
#include "tests/test_env.h"

namespace skimbo::e2e {
namespace {

using emu::EmuDevices;
using emu::EmuSession;
using Lines = std::vector<std::string>;

const std::string touch_line =
    "touch name='skimbo panel touch' evdev=1 mt=0 grabbed=1 raw_x=0..171 raw_y=0..639 mode=raw-clamp swap=0 inv=0,0";
const Lines devices_closed = {"touch ungrab", "touch close", "panel munmap 220160", "panel close"};

// The log between the HELLO line and the line that starts with `until`, both left out.
Lines lines_after_hello(const ProgramRun& run, const std::string& until) {
    const Lines m = run.messages();
    auto from = std::find_if(m.begin(), m.end(), [](const std::string& l) { return l.rfind("HELLO ", 0) == 0; });
    if (from == m.end()) return {"<no HELLO>"};
    auto to = std::find_if(from, m.end(), [&](const std::string& l) { return l.rfind(until, 0) == 0; });
    return {std::next(from), to};
}

// The last `count` lines before the bench line, log lines and emulation trace alike.
Lines device_lines_before_bench(const ProgramRun& run, std::size_t count) {
    const Lines m = run.messages();
    auto bench = std::find_if(m.begin(), m.end(), [](const std::string& l) { return l.rfind("bench ", 0) == 0; });
    if (static_cast<std::size_t>(bench - m.begin()) < count) return {"<too few lines>"};
    return {bench - static_cast<std::ptrdiff_t>(count), bench};
}

EmuDevices touching(std::vector<emu::ScriptStep> script, std::string trace = {}) {
    return EmuDevices{{}, {}, std::move(script), std::move(trace)};
}

class DeviceE2E : public ::testing::Test {
protected:
    std::string scratch;  // root's, 0755: the parent of every working directory
    int sessions = 0;

    void SetUp() override {
        if (test_env::emulated) GTEST_SKIP() << "needs the real kernel: namespaces, identity changes and seccomp";
        if (geteuid() != 0) GTEST_SKIP() << "device play must start as root to hand itself to user 65534";
        char pattern[] = "/tmp/skimbo-device-e2e-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        scratch = pattern;
        ASSERT_EQ(chmod(scratch.c_str(), 0755), 0);
        // Leak checking needs a tracer process, which the sandboxed program may no longer start.
        if (test_env::sanitized) setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
    }
    void TearDown() override {
        std::error_code ignored;
        if (!scratch.empty()) std::filesystem::remove_all(scratch, ignored);
    }

    std::string next_workdir() { return scratch + "/wd" + std::to_string(++sessions); }

    // The command line of a session started by this process as its supervisor.
    static Lines device_play_in(const std::string& workdir, const Lines& more = {}) {
        Lines args = {"--parent-pid", std::to_string(getpid()), "--workdir", workdir, "--seed", "5"};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    // The same in a fresh working directory.
    Lines device_play(const Lines& more = {}) { return device_play_in(next_workdir(), more); }
};

TEST_F(DeviceE2E, BringUpLogsTheTouchDescriptionAndTheSandboxLineThenPlays) {
    EmuSession devices(touching({}));
    const std::string workdir = next_workdir();
    ProgramRun run = run_program(device_play_in(workdir, {"--exit-after", "300"}));
    EXPECT_EQ(run.status, 12) << run.err;
    EXPECT_EQ(lines_after_hello(run, "first frame presented"),
              (Lines{touch_line, "sandbox: nice=10 oom=1000 wd=" + workdir +
                                     " netns=private uid=65534 nnp=on seccomp=on"}));
    EXPECT_EQ(devices.trace(), (Lines{"panel open", "panel mmap 220160", "touch open", "touch grab", "touch ungrab",
                                      "touch close", "panel munmap 220160", "panel close"}));
    struct stat wd {};
    ASSERT_EQ(stat(workdir.c_str(), &wd), 0);
    EXPECT_EQ(wd.st_uid, 65534u);
    EXPECT_EQ(wd.st_mode & 07777, 0700u);
}

TEST_F(DeviceE2E, AFingerOnThePanelIsATap) {
    std::vector<emu::ScriptStep> script;
    emu::press(script, 200, 86, 320);
    emu::release(script, 250);
    EmuSession devices(touching(script));
    ProgramRun run = run_program(device_play({"--exit-after", "600"}));
    EXPECT_EQ(run.status, 12) << run.err;
    EXPECT_EQ(run.messages_starting("input tap"), Lines{"input tap phase=running score=0"});
}

// Panel (171, 0) is the canvas's top-left corner: held there, the finger ends the session.
TEST_F(DeviceE2E, AFingerHeldInTheExitCornerEndsTheSession) {
    std::vector<emu::ScriptStep> script;
    emu::press(script, 100, 171, 0);
    EmuSession devices(touching(script));
    ProgramRun run = run_program(device_play({"--exit-after", "5000"}));
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string exit_line = run.last_message();
    EXPECT_EQ(exit_line.rfind("exit code=0 reason=exit-gesture frames=", 0), 0u) << exit_line;
    // 1.2 s of hold at 60 frames a second, after 0.1 s of waiting.
    EXPECT_GE(field(exit_line, "frames"), 70);
    EXPECT_TRUE(run.messages_starting("input tap").empty());
}

// The game's pixels as the panel holds them: each canvas pixel (x, y) in RGB565 at panel
// column 171 - y of panel row x, 344 bytes a row, low byte first.
std::vector<std::uint8_t> panel_image_of(const std::string& ppm) {
    const std::string header = "P6\n640 172\n255\n";
    std::vector<std::uint8_t> panel(640 * 344);
    if (ppm.size() != header.size() + 640 * 172 * 3 || ppm.compare(0, header.size(), header) != 0) return {};
    for (int x = 0; x < 640; ++x) {
        for (int y = 0; y < 172; ++y) {
            const auto* rgb = reinterpret_cast<const std::uint8_t*>(ppm.data() + header.size() + 3 * (y * 640 + x));
            const unsigned d = (rgb[0] >> 3) << 11 | (rgb[1] >> 2) << 5 | rgb[2] >> 3;
            const std::size_t at = static_cast<std::size_t>(x) * 344 + static_cast<std::size_t>(171 - y) * 2;
            panel[at] = static_cast<std::uint8_t>(d);
            panel[at + 1] = static_cast<std::uint8_t>(d >> 8);
        }
    }
    return panel;
}

// The offset of the first byte that differs, or -1.
long first_difference(const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b) {
    if (a.size() != b.size()) return 0;
    auto [at, ignored] = std::mismatch(a.begin(), a.end(), b.begin());
    return at == a.end() ? -1 : at - a.begin();
}

// A finger on the pause corner (panel (171, 639), the canvas's top-right) in the first frame
// freezes the opening screen: the panel must then hold exactly what a headless session of the
// same seed captures when paused at once.
TEST_F(DeviceE2E, PausedAtOnceThePanelHoldsThePausedScreen) {
    std::vector<emu::ScriptStep> script;
    emu::press(script, 0, 171, 639);
    EmuSession devices(touching(script));
    ProgramRun run = run_program(device_play({"--exit-after", "400"}));
    EXPECT_EQ(run.status, 12) << run.err;
    EXPECT_EQ(run.messages_starting("state="), Lines{"state=paused score=0 best=0 y=79.00"});

    const std::string captures = scratch + "/captures";
    ASSERT_TRUE(std::filesystem::create_directory(captures));
    std::ofstream(scratch + "/pause.replay") << "0 1 639 0\n";
    ProgramRun headless = run_program({"--headless", "--virtual-clock", "--seed", "5", "--exit-after", "20",
                                       "--replay", scratch + "/pause.replay", "--capture-dir", captures});
    ASSERT_EQ(headless.status, 12) << headless.err;
    const std::vector<std::uint8_t> want = panel_image_of(read_file(captures + "/0-paused.ppm"));
    ASSERT_FALSE(want.empty());
    EXPECT_GT(std::set<std::uint8_t>(want.begin(), want.end()).size(), 8u) << "the paused screen shows a picture";
    EXPECT_EQ(first_difference(devices.panel_memory(), want), -1);
}

// Every way bring-up can refuse the devices: the lines it logs, and status 21.
TEST_F(DeviceE2E, RefusedDevicesEndTheSessionWithTheirLinesAndStatus21) {
    struct Case {
        const char* name;
        EmuDevices devices;
        Lines want;  // between HELLO and the bench line
    };
    auto devices_with = [](auto change) {
        EmuDevices d;
        change(d);
        return d;
    };
    const Lines unqualified = {"failure: unqualified framebuffer geometry/format"};
    const Case cases[] = {
        {"no panel", devices_with([](EmuDevices& d) { d.panel.present = false; }),
         {"fb: open /dev/fb0: No such file or directory", "failure: framebuffer ownership/open"}},
        {"24-bit panel", devices_with([](EmuDevices& d) { d.panel.bpp = 24; }),
         {"fb: unsupported bpp 24", "failure: framebuffer ownership/open"}},
        {"landscape panel",
         devices_with([](EmuDevices& d) { d.panel.xres = 640, d.panel.yres = 172, d.panel.line_length = 1280; }),
         unqualified},
        {"32-bit panel", devices_with([](EmuDevices& d) { d.panel.bpp = 32, d.panel.line_length = 688; }),
         unqualified},
        {"padded rows", devices_with([](EmuDevices& d) { d.panel.line_length = 352; }), unqualified},
        {"panned across", devices_with([](EmuDevices& d) { d.panel.xoffset = 2; }), unqualified},
        {"panned down", devices_with([](EmuDevices& d) { d.panel.yoffset = 2; }), unqualified},
        {"other driver", devices_with([](EmuDevices& d) { d.panel.id = "fb_other"; }), unqualified},
        {"BGR565", devices_with([](EmuDevices& d) { d.panel.red = {0, 5}, d.panel.blue = {11, 5}; }), unqualified},
        {"no touch screen", devices_with([](EmuDevices& d) { d.touch.present = false; }),
         {"touch: open /dev/input/event1: No such file or directory", "failure: touch-open"}},
        {"not an input device", devices_with([](EmuDevices& d) { d.touch.evdev = false; }),
         {"touch: evdev capability probe required for exclusive input: Inappropriate ioctl for device",
          "failure: touch-open"}},
        {"grabbed elsewhere", devices_with([](EmuDevices& d) { d.touch.grab_refused = true; }),
         {"touch: EVIOCGRAB required: Device or resource busy", "failure: touch-open"}},
        {"multitouch", devices_with([](EmuDevices& d) { emu::make_multitouch(d.touch); }),
         {"failure: single-touch grab required"}},
    };
    for (const Case& c : cases) {
        EmuSession devices(c.devices);
        ProgramRun run = run_program(device_play());
        EXPECT_EQ(run.status, 21) << c.name;
        EXPECT_EQ(lines_after_hello(run, "bench "), c.want) << c.name;
        EXPECT_EQ(run.last_message(), "exit code=21 reason=startup-or-runtime-error frames=0") << c.name;
    }
}

// A working directory that another user could swap out from under the session is refused
// by the sandbox, which still reports how far it got.
TEST_F(DeviceE2E, AFailedSandboxIsLoggedThenEndsTheSession) {
    EmuSession devices(touching({}));
    const std::string open_parent = scratch + "/open";
    ASSERT_EQ(mkdir(open_parent.c_str(), 0777), 0);
    ASSERT_EQ(chmod(open_parent.c_str(), 0777), 0);
    ProgramRun run = run_program(device_play_in(open_parent + "/wd"));
    EXPECT_EQ(run.status, 21);
    EXPECT_EQ(lines_after_hello(run, "bench "),
              (Lines{touch_line, "sandbox: nice=10 oom=1000 wd=FAIL(1) ", "failure: sandbox-failed"}));
}

// Named as the supervisor: this test's own parent, alive but not the program's parent.
TEST_F(DeviceE2E, AStrangerAsParentIsRefusedBeforeThePanelIsOpened) {
    EmuSession devices(touching({}));
    ASSERT_GE(getppid(), 2);
    Lines args = device_play();
    args[1] = std::to_string(getppid());
    ProgramRun run = run_program(args);
    EXPECT_EQ(run.status, 21);
    EXPECT_EQ(lines_after_hello(run, "bench "), Lines{"failure: framebuffer ownership/open"});
    EXPECT_EQ(devices.trace(), Lines{});
}

// The device operations go to the program's standard error here, between its log lines.
TEST_F(DeviceE2E, AnUnpluggedTouchScreenIsTouchLostWithTheDevicesClosedFirst) {
    EmuSession devices(touching({emu::unplug_at(300)}, emu::trace_on_stderr));
    ProgramRun run = run_program(device_play({"--exit-after", "5000"}));
    EXPECT_EQ(run.status, 21);
    Lines want = {"touch unplug", "failure: touch-lost"};
    want.insert(want.end(), devices_closed.begin(), devices_closed.end());
    EXPECT_EQ(device_lines_before_bench(run, want.size()), want) << run.err;
    EXPECT_EQ(run.last_message().rfind("exit code=21 reason=startup-or-runtime-error frames=", 0), 0u);
}

TEST_F(DeviceE2E, SigtermEndsTheSessionWithStatus11AndTheDevicesClosed) {
    EmuSession devices(touching({}, emu::trace_on_stderr));
    ProgramRun run = ProgramRun::start(device_play());
    ASSERT_TRUE(run.wait_for_line("first frame presented")) << run.err;
    run.send_signal(SIGTERM);
    EXPECT_EQ(run.finish(), 11);
    EXPECT_EQ(device_lines_before_bench(run, devices_closed.size()), devices_closed) << run.err;
    EXPECT_EQ(run.last_message().rfind("exit code=11 reason=sigterm frames=", 0), 0u);
}

}  // namespace
}  // namespace skimbo::e2e
