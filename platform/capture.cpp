#include <array>
#include <cstdio>
#include <stdexcept>

#include "platform/platform.h"
#include "render/rgb_bytes.h"

namespace skimbo {
namespace {

constexpr char ppm_header[] = "P6\n640 172\n255\n";

// Streams the canvas as RGB triplets, a row at a time; returns false if any row was short.
bool write_pixels(std::FILE* file, const Canvas& canvas) {
    bool complete = true;
    std::array<std::uint8_t, canvas_width * 3> row;
    for (int y = 0; y < canvas_height; ++y) {
        rgb_bytes(canvas.data() + static_cast<std::size_t>(y) * canvas_width, canvas_width, row.data());
        if (std::fwrite(row.data(), 1, row.size(), file) != row.size()) complete = false;
    }
    return complete;
}

}  // namespace

void Platform::capture(const Canvas& canvas, const std::string& base_name) {
    if (options.capture_dir.empty()) return;
    std::string path = options.capture_dir + "/" + base_name + ".ppm";
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) throw std::runtime_error("capture-open");
    bool header_written = std::fprintf(file, "%s", ppm_header) > 0;
    bool pixels_written = write_pixels(file, canvas);
    bool closed = std::fclose(file) == 0;
    if (!header_written || !pixels_written || !closed) throw std::runtime_error("capture-write");
}

}  // namespace skimbo
