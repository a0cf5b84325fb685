#include <cstdio>
#include <stdexcept>

#include "platform/platform.h"

namespace skimbo {
namespace {

constexpr char ppm_header[] = "P6\n640 172\n255\n";

// Streams the canvas as RGB triplets; returns false if any triplet was short.
bool write_pixels(std::FILE* file, const Canvas& canvas) {
    bool complete = true;
    for (std::uint32_t word : canvas) {
        const unsigned char rgb[3] = {static_cast<unsigned char>(word >> 16), static_cast<unsigned char>(word >> 8),
                                      static_cast<unsigned char>(word)};
        if (std::fwrite(rgb, 1, 3, file) != 3) complete = false;
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
