#pragma once
// Shows the landscape canvas on the portrait panel. Every frame is converted into device
// pixels, but device memory is written only for rows whose bytes changed since last time.
#include "display/framebuffer.h"
#include "display/rotation.h"
#include "render/canvas.h"

namespace skimbo {

// Converts the canvas row by row through the rotation, writes each row that differs from its
// shadow (every row while force_full is set), then clears force_full and counts the frame.
// `changed` is what the renderer knows: the canvas columns that may differ from the canvas
// presented last. On the qualified panel the rows of the other columns are not converted
// again; whether a row is written is decided by its bytes alone. Never fails; does nothing on
// a closed framebuffer.
void fb_present(Framebuffer& fb, const Canvas& canvas, const RotationMap& rotation, ColumnSpan changed = {});

// fb_present of the canvas presented last time, unchanged since: where the panel is known to
// show that canvas already and nothing forces a full frame, only the frame is counted.
void fb_present_unchanged(Framebuffer& fb, const Canvas& canvas, const RotationMap& rotation);

}  // namespace skimbo
