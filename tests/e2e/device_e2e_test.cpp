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
#include <tuple>

#include "tests/e2e/program_run.h"
#include "tests/emu/emu_devices.h"
#include "tests/test_env.h"

namespace skimbo::e2e {
namespace {

using emu::EmuDevices;
using emu::EmuSession;
using Lines = std::vector<std::string>;

std::string touch_line(const std::string& name = "skimbo panel touch", const std::string& ranges = "0..171 raw_y=0..639") {
    return "touch name='" + name + "' evdev=1 mt=0 grabbed=1 raw_x=" + ranges + " mode=raw-clamp swap=0 inv=0,0";
}

// The log after the HELLO line, up to the first line that starts with one of `until`.
Lines after_hello(const ProgramRun& run, const Lines& until = {"bench "}) {
    const Lines m = run.messages();
    return {m.begin() + 1, std::find_if(m.begin() + 1, m.end(), [&](const std::string& line) {
                return std::any_of(until.begin(), until.end(), [&](const std::string& u) { return line.starts_with(u); });
            })};
}

struct Case {
    const char* name;
    void (*change)(EmuDevices&);
    Lines args, lines;
};

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
    // A session on the devices described, with more arguments: its log from HELLO to the bench
    // line (status 21), or to a successful sandbox line (it then plays: status 12). Every device
    // it opened it releases.
    void expect_session(const Case& c) {
        EmuDevices described;
        if (c.change) c.change(described);
        EmuSession devices(described);
        Lines args = device_play({"--exit-after", "100"});
        args.insert(args.end(), c.args.begin(), c.args.end());
        ProgramRun run = run_program(args);
        EXPECT_EQ(after_hello(run, {"bench ", "sandbox: nice=10 oom=1000 wd=/"}), c.lines) << c.name;
        EXPECT_EQ(run.status, c.lines.back().starts_with("failure: ") ? 21 : 12) << c.name;
        const Lines trace = devices.trace();
        for (const std::string device : {"panel", "touch"})
            EXPECT_EQ(std::count(trace.begin(), trace.end(), device + " open"), std::count(trace.begin(), trace.end(), device + " close"))
                << c.name << ": " << device << " left open";
        std::filesystem::remove_all(workdir());
    }

    test_env::ScratchDir scratch;
};

// Bring-up opens the devices, describes the touch screen and confines the process (seen from
// outside, in /proc); a stop signal then ends the session.
TEST_F(DeviceE2E, BringUpConfinesTheProcessAndPlays) {
    EmuSession devices;
    ProgramRun run = ProgramRun::start(device_play());
    ASSERT_TRUE(run.wait_for("first frame presented")) << run.err;
    const std::string mib96 = std::to_string(std::int64_t{address_space_limit(96)} << 20);  // raised when sanitized
    const std::string as = mib96 + " " + mib96 + " bytes";
    for (auto [label, value] : {std::pair{"Uid:", "65534 65534 65534 65534"}, {"Gid:", "65534 65534 65534 65534"}, {"Groups:", ""},
                                {"NoNewPrivs:", "1"}, {"Seccomp:", "2"}, {"Max file size", "4194304 4194304 bytes"},
                                {"Max core file size", "0 0 bytes"}, {"Max open files", "64 64 files"}, {"Max processes", "0 0 processes"},
                                {"Max address space", as.c_str()}})
        EXPECT_EQ(proc_line(run.pid, label[0] == 'M' ? "limits" : "status", label), value) << label;
    kill(run.pid, SIGTERM);
    EXPECT_EQ(run.finish(), 11);
    EXPECT_EQ(after_hello(run, {"first frame"}),
              (Lines{touch_line(), "sandbox: nice=10 oom=1000 wd=" + workdir() + " netns=private uid=65534 nnp=on seccomp=on"}));
    struct stat wd {};
    EXPECT_EQ(stat(workdir().c_str(), &wd), 0);
    EXPECT_EQ(std::pair(wd.st_uid, wd.st_mode & 07777), std::pair(65534u, 0700u));
}

// A finger on the pause corner (panel (171, 639), the canvas's top right) freezes the opening
// screen: the panel then holds, in RGB565 turned by 270 degrees, what a headless session of the
// same seed captures paused at once. Then the touch screen goes away: the session ends with
// "touch-lost", the devices released, touch screen first.
TEST_F(DeviceE2E, ThePanelShowsThePausedScreenUntilTheTouchScreenGoesAway) {
    EmuSession devices;
    devices.touch(171, 639);
    ProgramRun run = ProgramRun::start(device_play());
    ASSERT_TRUE(run.wait_for("state=paused score=0 best=0 y=79.00")) << run.err;
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
    devices.unplug();
    EXPECT_EQ(run.finish(), 21);
    EXPECT_EQ(run.messages("failure: "), Lines{"failure: touch-lost"});
    EXPECT_EQ(devices.trace(), (Lines{"panel open", "panel mmap 220160", "touch open", "touch grab", "touch unplug", "touch ungrab",
                                      "touch close", "panel munmap 220160", "panel close"}));
}

// The kernel passes on only the axes that changed. The session before ended by the exit hold at
// panel (171, 20); at x 171 the pause corner pauses, from the device's position at the start and
// again after a gap of dropped events. Only the last touch, away from the corners, is a tap.
TEST_F(DeviceE2E, TouchesStartFromWhereTheDeviceStands) {
    EmuDevices described;
    described.axes[0].value = 171, described.axes[1].value = 20;
    EmuSession devices(described);
    const input_event report{{}, EV_SYN, SYN_REPORT, 0}, down{{}, EV_KEY, BTN_TOUCH, 1}, up{{}, EV_KEY, BTN_TOUCH, 0};
    const input_event pause_corner{{}, EV_ABS, ABS_Y, 620}, dropped{{}, EV_SYN, SYN_DROPPED, 0}, lost{{}, EV_ABS, ABS_Y, 300};
    devices.send({pause_corner, down, report, up, report});
    ProgramRun run = ProgramRun::start(device_play());
    ASSERT_TRUE(run.wait_for("state=")) << run.err;
    devices.send({dropped, lost, up, report, pause_corner, down, report, up, report});
    devices.touch(100, 300);
    ASSERT_TRUE(run.wait_for("input tap")) << run.err;
    kill(run.pid, SIGTERM);
    EXPECT_EQ(run.finish(), 11);
    EXPECT_EQ(run.messages("input "), Lines{"input tap phase=running score=0"});
    EXPECT_EQ(run.messages("state=").at(0), "state=paused score=0 best=0 y=79.00");
}

// The supervisor on a panel that breaks and is mended twice: failures wait 1 s, then 2 s; the
// session the player ends by the exit hold is followed at once by the next, and resets the
// wait; SIGTERM ends the session in play, then the supervisor. The program's failures reach the
// journal as errors. Every session has a working directory of its own, removed afterwards.
// All of it as the unit confines the service: a network namespace of its own, no new
// privileges, and only the six capabilities of its bounding set.
TEST_F(DeviceE2E, TheKioskSupervisorPlaysSessionsBackToBack) {
    EmuDevices broken, mended;
    broken.panel_present = false;
    EmuSession devices(broken);
    const std::string base = scratch.path;
    ProgramRun supervisor = ProgramRun::start_command({"/usr/bin/unshare", "--net", "/usr/bin/setpriv", "--no-new-privs", "--bounding-set",
                                                       "-all,+chown,+dac_read_search,+sys_admin,+setuid,+setgid,+kill", SKIMBO_KIOSK,
                                                       "--program", program_path, "--base", base, "--", "--seed", "5"});
    const pid_t pid = supervisor.pid;
    ASSERT_TRUE(supervisor.wait_for("next session in 2 s")) << supervisor.err;
    devices.describe(mended);
    devices.touch(171, 0);
    // The next session starts at once: the panel breaks while the exit hold runs.
    ASSERT_TRUE(supervisor.wait_for("first frame presented")) << supervisor.err;
    devices.describe(broken);
    ASSERT_TRUE(supervisor.wait_for("kiosk: session 4 ended")) << supervisor.err;
    devices.describe(mended);
    ASSERT_TRUE(supervisor.wait_for("first frame presented", std::chrono::seconds(20), 2)) << supervisor.err;
    kill(pid, SIGTERM);
    EXPECT_EQ(supervisor.finish(), 0);
    Lines expected, confined, failures;
    const std::string failed = "<3>kiosk: session %d ended status 21 reason startup-or-runtime-error";
    for (auto [session, end, wait] : {std::tuple{1, failed, 1}, {2, failed, 2}, {3, "<6>kiosk: session %d ended status 0 reason exit-gesture", 0},
                                      {4, failed, 1}, {5, "", 0}}) {
        const std::string n = std::to_string(session), workdir = base + "/session-" + n;
        expected.push_back("<6>kiosk: session " + n + ": " + program_path + " --parent-pid " + std::to_string(pid) + " --workdir " + workdir + " --seed 5");
        if (!end.empty()) expected.push_back(end.replace(end.find("%d"), 2, n));
        if (wait) expected.push_back("<3>kiosk: session " + n + " failed; next session in " + std::to_string(wait) + " s");
        if (wait) failures.push_back("<3>failure: framebuffer ownership/open");
        if (!wait) confined.push_back("<6>sandbox: nice=10 oom=1000 wd=" + workdir + " netns=private uid=65534 nnp=on seccomp=on");
    }
    expected.insert(expected.end(), {"<6>kiosk: stopping", "<6>kiosk: session 5 ended status 11 reason sigterm", "<6>kiosk: stopped"});
    Lines own, program;
    std::istringstream lines(supervisor.err);
    for (std::string line; std::getline(lines, line);) {
        if (line.find(">kiosk: ") == 2) own.push_back(line);
        if (line.find(">[korvel-skimbo ") == 2) program.push_back(line.substr(0, 3) + line.substr(line.find("] ") + 2));
    }
    EXPECT_EQ(own, expected);
    const auto starting = [&](const std::string& prefix) {
        Lines found;
        std::copy_if(program.begin(), program.end(), std::back_inserter(found), [&](const std::string& l) { return l.starts_with(prefix); });
        return found;
    };
    EXPECT_EQ(starting("<6>sandbox: "), confined);
    EXPECT_EQ(starting("<3>"), failures);
    EXPECT_TRUE(std::filesystem::is_empty(base));
}

TEST_F(DeviceE2E, BringUpRefusesAllButTheQualifiedDevices) {
    const Lines unqualified = {"failure: unqualified framebuffer geometry/format"}, plays = {touch_line()};
    const std::string fb_refused = "failure: framebuffer ownership/open";
    const Case cases[] = {
        {"no panel", [](EmuDevices& e) { e.panel_present = false; }, {}, {"fb: open /dev/fb0: No such file or directory", fb_refused}},
        {"no screen info", [](EmuDevices& e) { e.panel_info_fails = true; }, {}, {"fb: FBIOGET_*SCREENINFO: Invalid argument", fb_refused}},
        {"24 bits", [](EmuDevices& e) { e.bpp = 24, e.xres = 1280; }, {}, {"fb: unsupported bpp 24", fb_refused}},
        {"too wide", [](EmuDevices& e) { e.xres = 1025; }, {}, {"fb: unsupported geometry 1025x640", fb_refused}},
        {"one column", [](EmuDevices& e) { e.xres = 1; }, {}, unqualified},
        {"no mapping", [](EmuDevices& e) { e.panel_mmap_fails = true; }, {}, {"fb: mmap: Cannot allocate memory", fb_refused}},
        {"landscape", [](EmuDevices& e) { e.xres = 640, e.yres = 172, e.line_length = 1280; }, {}, unqualified},
        {"32 bits", [](EmuDevices& e) { e.bpp = 32, e.line_length = 688, e.red = {16, 8}, e.green = {8, 8}, e.blue = {0, 8}; }, {}, unqualified},
        {"padded rows", [](EmuDevices& e) { e.line_length = 352; }, {}, unqualified},
        {"panned across", [](EmuDevices& e) { e.xoffset = 2; }, {}, unqualified},
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
        {"long name, ranges", [](EmuDevices& e) { std::memset(e.touch_name, 'n', 100), e.axes[0].minimum = 5, e.axes[0].maximum = 170, e.axes[1].maximum = 700; },
         {}, {touch_line(std::string(63, 'n'), "5..170 raw_y=0..700")}},
        {"empty bit fields", [](EmuDevices& e) { e.red = e.green = e.blue = {0, 0}; }, {}, plays},
        {"more device memory", [](EmuDevices& e) { e.smem_len = 300000; }, {}, plays},
        // A parent alive but not the program's: nothing is opened.
        {"stranger as parent", nullptr, {"--parent-pid", std::to_string(getppid())}, {fb_refused}},
    };
    for (const Case& c : cases) expect_session(c);
}

// A supervisor that keeps a tighter file-size limit, and the privilege to raise it for itself:
// the program cannot set its limits, and fails its confinement rather than play.
TEST_F(DeviceE2E, ALimitThatCannotBeSetFailsTheConfinement) {
    EmuSession devices(EmuDevices{});
    Lines command = {"/usr/bin/prlimit", "--fsize=1048576", "/usr/bin/setpriv", "--bounding-set", "-sys_resource", program_path};
    for (const std::string& arg : device_play({"--exit-after", "100"})) command.push_back(arg);
    ProgramRun run = ProgramRun::start_command(command);
    EXPECT_EQ(run.finish(), 21);
    EXPECT_EQ(after_hello(run), (Lines{touch_line(), "sandbox: nice=10 oom=1000 wd=" + workdir() + " netns=private uid=65534 nnp=on seccomp=on",
                                       "failure: sandbox-failed"}));
}

// Working directories that are malformed, or that someone else could swap out from under the
// session, are refused by the sandbox, which still reports how far it got.
TEST_F(DeviceE2E, TheSandboxRefusesUnsafeWorkingDirectories) {
    const std::string d = scratch.path;
    const auto directory = [](const std::string& path, mode_t mode, uid_t owner = 0) {
        std::filesystem::create_directory(path);
        chmod(path.c_str(), mode);
        chown(path.c_str(), owner, owner);
        return path;
    };
    std::ofstream(d + "/file").close();
    std::filesystem::create_directory_symlink(directory(d + "/real", 0755), d + "/link");
    const auto refused = [](int error) {
        return Lines{touch_line(), "sandbox: nice=10 oom=1000 wd=FAIL(" + std::to_string(error) + ") ", "failure: sandbox-failed"};
    };
    const Lines plays = {touch_line()};
    const Case cases[] = {
        {"relative", nullptr, {"--workdir", "wd"}, refused(EINVAL)},
        {"doubled slash", nullptr, {"--workdir", d + "//wd"}, refused(EINVAL)},
        {"dot-dot", nullptr, {"--workdir", d + "/real/../wd"}, refused(EINVAL)},
        {"256-byte name", nullptr, {"--workdir", d + "/" + std::string(256, 'n')}, refused(EINVAL)},
        {"missing parent", nullptr, {"--workdir", d + "/missing/wd"}, refused(ENOENT)},
        {"a file", nullptr, {"--workdir", d + "/file"}, refused(ENOTDIR)},
        {"a link on the way", nullptr, {"--workdir", d + "/link/wd"}, refused(ENOTDIR)},
        {"world-writable parent", nullptr, {"--workdir", directory(d + "/open", 0777) + "/wd"}, refused(EPERM)},
        {"another user's parent", nullptr, {"--workdir", directory(d + "/theirs", 0755, 1000) + "/wd"}, refused(EPERM)},
        {"open to others", nullptr, {"--workdir", directory(d + "/shared", 0710)}, refused(EPERM)},
        {"handed over before", nullptr, {"--workdir", directory(d + "/given", 0700, 65534)}, refused(EPERM)},
        {"private already", nullptr, {"--workdir", directory(d + "/mine", 0700)}, plays},
        {"sticky shared parent", nullptr, {"--workdir", directory(d + "/sticky", 01777) + "/wd"}, plays},
        {"255-byte name", nullptr, {"--workdir", d + "/" + std::string(255, 'n')}, plays},
    };
    for (const Case& c : cases) expect_session(c);
}

}  // namespace
}  // namespace skimbo::e2e
