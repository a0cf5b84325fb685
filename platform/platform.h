#pragma once
// The owner of everything through which a session touches the outside world.
#include <string>

#include "input/action.h"
#include "input/gesture.h"
#include "platform/options.h"
#include "render/canvas.h"

namespace skimbo {

struct Platform {
    Options options;
    GestureTracker gestures;

    explicit Platform(Options opts);

    // Delivers this frame's actions synchronously through on_action; may throw.
    void input(unsigned now_ms, const ActionHandler& on_action);
    // Shows the frame on the display target or hands it to the host; may throw.
    void present(const Canvas& canvas);
    // Writes <capture_dir>/<base_name>.ppm when a capture directory is configured; may throw.
    void capture(const Canvas& canvas, const std::string& base_name);
    // Releases the devices; reports no failure.
    void close();
};

}  // namespace skimbo
