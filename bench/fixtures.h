#pragma once
// What the benchmarks and the instruction-count probe share: the views of each phase, a
// random canvas, a panel in anonymous memory and standard output sent to /dev/null.
#include <memory>

#include "display/framebuffer.h"
#include "render/canvas.h"
#include "render/scene.h"

namespace skimbo::bench {

// A mid-run view of the given phase: four pipes, a score, the bird mid-flap.
SceneView phase_view(ViewPhase phase, int exit_progress = 0);

// Every pixel a random 0x00RRGGBB word.
std::unique_ptr<Canvas> random_canvas(unsigned seed);

// The qualified 172x640 panel (or another channel layout) backed by an anonymous shared
// mapping, so that fb_close releases it as it would the device's.
void attach_memory_panel(Framebuffer& fb, ChannelField red, ChannelField blue);

// Standard output goes to /dev/null for the object's life, so that only our side of a
// write is measured.
struct OutputToNull {
    int saved;
    OutputToNull();
    ~OutputToNull();
};

}  // namespace skimbo::bench
