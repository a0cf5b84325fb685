#pragma once
// The turn between the portrait panel and the landscape canvas. Presentation uses it to pick
// the canvas pixel behind each panel pixel, and the touch pump to put a finger on the canvas.

namespace skimbo {

// A position on the canvas, in canvas pixels.
struct LogicalPoint {
    int x = 0;
    int y = 0;
};

struct RotationMap {
    int degrees = 0;
    int physical_width = 0;  // the panel as the device reports it
    int physical_height = 0;
    int logical_width = 0;  // the canvas it shows
    int logical_height = 0;

    // Sets up a panel of physical_width x physical_height pixels turned by degrees. The panel
    // is only ever mounted turned by 270 degrees: 0, or -1 (record untouched) for any other
    // turn or an empty panel.
    int init(int physical_width, int physical_height, int degrees);

    // Panel pixel (px, py) shows canvas pixel (py, physical_width - 1 - px): the canvas's left
    // edge runs along the panel's top row, its top row down the panel's right-hand column.
    LogicalPoint to_logical(int px, int py) const { return {py, physical_width - 1 - px}; }
};

}  // namespace skimbo
