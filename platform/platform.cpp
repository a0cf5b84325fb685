#include "platform/platform.h"

#include <stdexcept>
#include <utility>

namespace skimbo {
namespace {

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
    // A headless session opens no device; its only preparation is the replay script.
    if (options.headless && !options.replay_path.empty()) replay.load(options.replay_path);
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
    // The touch screen is drained here, between the host and the replay, in device play.
    play_replay(replay, replay_cursor, now_ms, on_contact);
    // Completes an exit hold even in a frame that brought no sample.
    gestures.tick(now_ms, on_action);
}

void Platform::present(const Canvas& canvas) {
    if (host->enabled && !host->ended) host->write_frame(canvas);
}

void Platform::close() {}

}  // namespace skimbo
