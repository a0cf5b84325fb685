// Renders a few typical frames and a sheet of every sprite as binary PPM files, for looking
// at the art while changing it. Usage: skimbo-art-preview OUTPUT_DIRECTORY
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "render/assets.h"
#include "render/blend.h"
#include "render/canvas.h"
#include "render/scene.h"

namespace {

using namespace skimbo;

struct Rgb {
    int width, height;
    std::vector<std::uint32_t> pixels;  // 0x00RRGGBB
};

// Writes the image enlarged zoom times, each pixel a square.
bool write_ppm(const std::string& path, const Rgb& image, int zoom) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "P6\n" << image.width * zoom << ' ' << image.height * zoom << "\n255\n";
    for (int y = 0; y < image.height * zoom; ++y)
        for (int x = 0; x < image.width * zoom; ++x) {
            std::uint32_t p = image.pixels[(y / zoom) * image.width + x / zoom];
            const char rgb[3] = {static_cast<char>(p >> 16), static_cast<char>(p >> 8), static_cast<char>(p)};
            out.write(rgb, 3);
        }
    return static_cast<bool>(out);
}

SceneView view(ViewPhase phase, float scroll, float bird_y, float angle, float clock) {
    SceneView v;
    v.phase = phase;
    v.scroll = scroll;
    v.bird_y = bird_y;
    v.bird_angle = angle;
    v.anim_clock = clock;
    v.pipes = {{200.4f, 70}, {380.4f, 95}, {560.4f, 58}, {740.4f, 80}};
    return v;
}

Rgb frame(const SceneView& v) {
    Rgb image{canvas_width, canvas_height, std::vector<std::uint32_t>(canvas_pixel_count)};
    render_scene(v, image.pixels.data(), image.pixels.size());
    return image;
}

// Every sprite of the table on a checkerboard, so that the translucent edges show.
Rgb sprite_sheet() {
    Rgb sheet{560, 200, std::vector<std::uint32_t>(560 * 200)};
    for (int y = 0; y < sheet.height; ++y)
        for (int x = 0; x < sheet.width; ++x) sheet.pixels[y * sheet.width + x] = (x / 8 + y / 8) % 2 ? 0x8899AA : 0x667788;
    int x = 2, y = 2, row_height = 0;
    for (const Sprite& s : sprite_table) {
        if (x + static_cast<int>(s.width) > sheet.width) x = 2, y += row_height + 2, row_height = 0;
        for (std::uint32_t r = 0; r < s.height; ++r)
            for (std::uint32_t c = 0; c < s.width; ++c) blend_pixel(sheet.pixels[(y + r) * sheet.width + x + c], s.pixels[r * s.width + c]);
        x += s.width + 2;
        row_height = std::max<int>(row_height, s.height);
    }
    return sheet;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: skimbo-art-preview OUTPUT_DIRECTORY\n");
        return 2;
    }
    std::string dir = argv[1];
    SceneView playing = view(ViewPhase::Playing, 230, 72, -12, 0.1f);
    playing.score = 17;
    SceneView over = view(ViewPhase::GameOver, 300, 148, 90, 0.1f);
    over.score = 17;
    over.best = 42;
    SceneView exit = view(ViewPhase::Ready, 0, 79, 0, 0);
    exit.exit_progress = 500;
    exit.pipes.clear();
    SceneView ready = exit;
    ready.exit_progress = 0;
    bool ok = write_ppm(dir + "/ready.ppm", frame(ready), 2) && write_ppm(dir + "/playing.ppm", frame(playing), 2) &&
              write_ppm(dir + "/paused.ppm", frame(view(ViewPhase::Paused, 230, 72, -12, 0.1f)), 2) &&
              write_ppm(dir + "/game-over.ppm", frame(over), 2) && write_ppm(dir + "/exit-hold.ppm", frame(exit), 2) &&
              write_ppm(dir + "/sprites.ppm", sprite_sheet(), 3);
    if (!ok) std::fprintf(stderr, "skimbo-art-preview: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
