#include "platform/platform.h"

#include <stdexcept>
#include <utility>

#include "display/present.h"

namespace skimbo {
namespace {

// A screen flooding the kernel with events cannot hold the frame loop: what a frame leaves
// waits in the kernel's queue for the next one.
constexpr int max_touch_reports_per_frame = 256;

// Each report becomes one sample at the frame's time (not the kernel's time stamp): a
// contact mapped from the panel onto the canvas, or a release.
template <typename OnContact>
void drain_touch(TouchDevice& touch, const RotationMap& rotation, std::uint32_t now_ms, OnContact& on_contact) {
    for (int taken = 0; taken < max_touch_reports_per_frame; ++taken) {
        const int result = touch.read_report();
        if (result < 0) throw std::runtime_error("touch-lost");
        if (result == 0) return;
        if (touch.contact_count == 0) {
            on_contact(false, 0, 0, now_ms);
            continue;
        }
        const LogicalPoint at = rotation.to_logical(touch.contact_x, touch.contact_y);
        on_contact(true, at.x, at.y, now_ms);
    }
}

// Delivers every replay event due by now_ms, in file order, each at its own time. The
// cursor moves before delivery so that no event can ever be delivered twice.
template <typename OnContact>
void play_replay(const ReplayScript& replay, std::uint64_t& cursor, std::uint32_t now_ms, OnContact& on_contact) {
    while (cursor < replay.events.size() && replay.events[cursor].t_ms <= now_ms) {
        const ReplayEvent& event = replay.events[cursor];
        cursor += 1;
        on_contact(event.down, event.x, event.y, event.t_ms);
    }
}

}  // namespace

Platform::Platform(Options opts) : options(std::move(opts)) {
    // The command line refuses these combinations already; the platform does not rely on it.
    if (options.host_stream && (!options.headless || options.virtual_clock || !options.replay_path.empty()))
        throw std::runtime_error("host-stream requires headless real-time without replay");
    host = std::make_unique<HostStream>(options.host_stream);
    if (options.host_stream) host->setup();
    if (!options.headless) {
        bring_up_devices();
        return;
    }
    // A headless session opens no device; its only preparation is the replay script.
    if (!options.replay_path.empty()) replay.load(options.replay_path);
}

void Platform::input(unsigned now_ms, const ActionHandler& on_action) {
    auto on_contact = [this, &on_action](bool down, int x, int y, unsigned t_ms) {
        gestures.contact(down, x, y, t_ms, on_action);
    };
    if (!host->poll_input(now_ms, on_contact)) {
        // The host hung up: the session ends as if the player had held the exit corner.
        on_action(Action::ExitGesture);
        return;
    }
    if (touch_opened) drain_touch(touch, rotation_map, now_ms, on_contact);
    play_replay(replay, replay_cursor, now_ms, on_contact);
    // Completes an exit hold even in a frame that brought no sample.
    gestures.tick(now_ms, on_action);
}

bool Platform::present(const Canvas& canvas, ColumnSpan changed) {
    if (host->enabled && !host->ended)
        return !changed.empty() ? host->write_frame(canvas) : host->write_record();
    if (options.headless) return true;
    if (!changed.empty()) fb_present(framebuffer, canvas, rotation_map, changed);
    else fb_present_unchanged(framebuffer, canvas, rotation_map);
    return true;
}

// The grab goes first, so the touch screen is back with the system as early as possible.
void Platform::close() {
    if (touch_opened) {
        touch.close();
        touch_opened = false;
    }
    fb_close(framebuffer);
    host->restore_descriptors();
}

}  // namespace skimbo
