#pragma once
// The owner of everything through which a session touches the outside world.
#include <cstdint>
#include <memory>
#include <string>

#include "display/framebuffer.h"
#include "display/rotation.h"
#include "hoststream/host_stream.h"
#include "input/action.h"
#include "input/gesture.h"
#include "input/replay.h"
#include "input/touch.h"
#include "platform/options.h"
#include "render/canvas.h"

namespace skimbo {

struct Platform {
    Framebuffer framebuffer;
    TouchDevice touch;
    RotationMap rotation_map;
    bool touch_opened = false;  // opened and accepted in bring-up; read every frame, closed by close()
    ReplayScript replay;
    std::uint64_t replay_cursor = 0;  // index of the next replay event not yet delivered
    std::unique_ptr<HostStream> host;
    Options options;
    GestureTracker gestures;

    // Brings the session's devices and input sources up; throws the refusal's message.
    explicit Platform(Options opts);

    // Drains every input source in a fixed order and delivers this frame's actions
    // synchronously through on_action; may throw.
    void input(unsigned now_ms, const ActionHandler& on_action);
    // Shows the frame on the display target or hands it to the host; may throw. `changed` is
    // the canvas columns that may have changed since the last call: a canvas that did not
    // change is shown again without being converted again, and on the panel only the rows of
    // the changed columns are converted again. False when a stop arrived while the host kept
    // the frame waiting.
    bool present(const Canvas& canvas, ColumnSpan changed);
    // Writes <capture_dir>/<base_name>.ppm when a capture directory is configured; may throw.
    // A stop that arrives while the file keeps it waiting (a FIFO) leaves the capture unfinished.
    void capture(const Canvas& canvas, const std::string& base_name);
    // Releases the touch screen, with its grab, and then the panel, and gives standard input
    // and output back as they were found; reports no failure.
    void close();

private:
    // Device play: owner check, panel, touch screen, description line and sandbox, in order.
    void bring_up_devices();
};

}  // namespace skimbo
