#include "view/view_window.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>
#include <string_view>

#include "view/frame_stream.h"

namespace skimbo::view {
namespace {

// The panel is 172 pixels wide and 640 high and shows canvas pixel (x, y) in row x,
// column 171 - y: the canvas's left edge along its top, the canvas's top row down its
// right-hand side.
constexpr int panel_width = canvas_height;
constexpr int panel_height = canvas_width;

[[noreturn]] void fail(const char* what) { throw std::runtime_error(std::string(what) + ": " + SDL_GetError()); }

// Whether SDL_VIDEODRIVER, a comma-separated list, names the driver SDL chose.
bool driver_asked_for(const char* driver) {
    const char* asked = SDL_getenv("SDL_VIDEODRIVER");
    std::string_view list = asked ? asked : "";
    while (!list.empty()) {
        const std::size_t end = std::min(list.find(','), list.size());
        if (end == std::strlen(driver) && SDL_strncasecmp(list.data(), driver, end) == 0) return true;
        list.remove_prefix(std::min(end + 1, list.size()));
    }
    return false;
}

// With no display to reach, SDL falls back to a driver that draws into memory, and the game
// would play in a window nobody sees until its session limit. Only a user who names such a
// driver gets it.
void refuse_off_screen_fallback() {
    const char* driver = SDL_GetCurrentVideoDriver();
    for (const char* off_screen : {"offscreen", "dummy"})
        if (driver && SDL_strcasecmp(driver, off_screen) == 0 && !driver_asked_for(driver))
            throw std::runtime_error(std::string("no window: no display can be reached (SDL_VIDEODRIVER=") + driver +
                                     " plays without one)");
}

void turn_onto_panel(const std::uint8_t* canvas_rgb, std::uint8_t* panel_rgb) {
    for (int y = 0; y < canvas_height; ++y)
        for (int x = 0; x < canvas_width; ++x)
            std::copy_n(canvas_rgb + 3 * (y * canvas_width + x), 3,
                        panel_rgb + 3 * (x * panel_width + panel_width - 1 - y));
}

}  // namespace

void ViewWindow::open(bool portrait_view, int window_scale) {
    portrait = portrait_view;
    scale = window_scale;
    const int width = portrait ? panel_width : canvas_width, height = portrait ? panel_height : canvas_height;
    if (SDL_Init(SDL_INIT_VIDEO) != 0) fail("no window");
    refuse_off_screen_fallback();
    // Scaled pixels stay sharp squares of exactly the frame's colours.
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "nearest");
    window = SDL_CreateWindow("korvel-skimbo", SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, width * scale,
                              height * scale, 0);
    if (!window) fail("no window");
    renderer = SDL_CreateRenderer(window, -1, 0);
    if (!renderer) fail("no renderer");
    texture = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_RGB24, SDL_TEXTUREACCESS_STREAMING, width, height);
    if (!texture) fail("no texture");
    if (portrait) turned.resize(3 * panel_width * panel_height);
    SDL_RenderClear(renderer);
    SDL_RenderPresent(renderer);
}

ViewWindow::~ViewWindow() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SDL_Quit();
}

void ViewWindow::show(const std::uint8_t* canvas_rgb) {
    if (portrait) turn_onto_panel(canvas_rgb, turned.data());
    const std::uint8_t* pixels = portrait ? turned.data() : canvas_rgb;
    SDL_UpdateTexture(texture, nullptr, pixels, 3 * (portrait ? panel_width : canvas_width));
    redraw();
}

void ViewWindow::redraw() {
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
}

void ViewWindow::set_title(const std::string& title) { SDL_SetWindowTitle(window, title.c_str()); }

CanvasPoint ViewWindow::to_canvas(int window_x, int window_y) const {
    const int column = std::max(window_x, 0) / scale, row = std::max(window_y, 0) / scale;
    if (!portrait) return {std::min(column, canvas_width - 1), std::min(row, canvas_height - 1)};
    return {std::min(row, panel_height - 1), panel_width - 1 - std::min(column, panel_width - 1)};
}

}  // namespace skimbo::view
