// Device play's bring-up: the platform takes only the qualified panel and touch screen and,
// once it holds both, confines the process before the first frame.
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "base/address_space.h"
#include "base/log.h"
#include "platform/platform.h"
#include "sandbox/sandbox.h"

namespace skimbo {
namespace {

// The one panel the program runs on: 172 x 640 portrait RGB565 behind an AXS15231B
// controller, mounted turned by 270 degrees.
constexpr int panel_width = 172;
constexpr int panel_height = 640;
constexpr int panel_line_bytes = 344;
constexpr int panel_rotation = 270;
constexpr const char* panel_driver_id = "fb_axs15231b";
constexpr int device_file_size_limit_mib = 4;

bool field_is(ChannelField field, int offset, int length) { return field.offset == offset && field.length == length; }

bool panel_qualified(const Framebuffer& fb) {
    return fb.xres == panel_width && fb.yres == panel_height && fb.bpp == 16 && fb.line_length == panel_line_bytes &&
           fb.xoffset == 0 && fb.yoffset == 0 && std::strcmp(fb.id, panel_driver_id) == 0 &&
           field_is(fb.red, 11, 5) && field_is(fb.green, 5, 6) && field_is(fb.blue, 0, 5);
}

// fb_open has logged its own line when it fails.
void open_panel(Framebuffer& fb, RotationMap& rotation, const std::string& path) {
    if (fb_open(fb, path.c_str()) != 0) throw std::runtime_error("framebuffer ownership/open");
    if (!panel_qualified(fb) || fb_set_format(fb, "rgb565") != 0 ||
        rotation.init(panel_width, panel_height, panel_rotation) != 0)
        throw std::runtime_error("unqualified framebuffer geometry/format");
}

// The open has logged its own line when it fails. A multitouch screen opens and is grabbed,
// but its slots would go unread: it is refused after the open.
void open_touch(TouchDevice& touch, bool& touch_opened, const std::string& path) {
    if (touch.open(path.c_str(), panel_width, panel_height) != 0) throw std::runtime_error("touch-open");
    touch_opened = true;
    if (touch.multitouch != 0 || touch.grabbed == 0) throw std::runtime_error("single-touch grab required");
    char description[512];
    touch.describe(description, sizeof description);
    log_line("%s", description);
}

// Fixed values (the command line accepts no others), except the working directory. A
// sanitized build cannot live under the address-space limit (base/address_space.h).
SandboxPolicy device_policy(const std::string& workdir) {
    SandboxPolicy policy;
    policy.nice = 10;
    policy.oom_score_adj = 1000;
    policy.as_limit_mib = address_space_limit(96);
    policy.fsize_limit_mib = device_file_size_limit_mib;
    policy.uid = 65534;
    policy.gid = 65534;
    policy.private_netns = true;
    policy.isolation_level = 3;
    policy.workdir = workdir.c_str();
    return policy;
}

// The status line tells the supervisor how far the confinement got, failed or not. Before
// the file-size limit comes down, the log says what it will do to a log file near it.
void confine(const std::string& workdir) {
    log_note_file_size_limit(std::uint64_t{device_file_size_limit_mib} << 20);
    char status[512];
    const int result = sandbox_apply(device_policy(workdir), status, sizeof status);
    log_line("sandbox: %s", status);
    if (result < 0) throw std::runtime_error("sandbox-failed");
}

}  // namespace

void Platform::bring_up_devices() {
    // Only the supervisor that started the session may have it drive the panel; a process
    // whose supervisor died and that was re-parented opens nothing.
    if (getppid() != options.parent_pid) throw std::runtime_error("framebuffer ownership/open");
    open_panel(framebuffer, rotation_map, options.fb_path);
    open_touch(touch, touch_opened, options.touch_path);
    confine(options.workdir);
}

}  // namespace skimbo
