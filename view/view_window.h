#pragma once
// The window: each frame at an integer scale, landscape as the canvas is drawn or turned
// as the panel shows it, and pointer positions mapped back onto the canvas.
#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

namespace skimbo::view {

struct CanvasPoint {
    int x, y;
    bool operator==(const CanvasPoint&) const = default;
};

struct ViewWindow {
    bool portrait = false;
    int scale = 2;
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    std::vector<std::uint8_t> turned;  // the portrait picture, 172 wide and 640 high

    // Opens the window; throws SDL's reason when it cannot.
    void open(bool portrait_view, int window_scale);
    ViewWindow() = default;
    ViewWindow(const ViewWindow&) = delete;
    ViewWindow& operator=(const ViewWindow&) = delete;
    ~ViewWindow();

    // Shows a canvas of RGB triplets, top row first.
    void show(const std::uint8_t* canvas_rgb);
    // Draws the last frame again, after the window was uncovered.
    void redraw();
    void set_title(const std::string& title);
    // The canvas pixel under a window position, clamped onto the canvas.
    CanvasPoint to_canvas(int window_x, int window_y) const;
};

}  // namespace skimbo::view
