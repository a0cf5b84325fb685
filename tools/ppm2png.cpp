// Converts a binary PPM (P6, maximum value 255), such as a frame capture, to PNG.
// Usage: ppm2png INPUT.ppm OUTPUT.png
#include <cctype>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tools/png.h"

namespace {

struct Image {
    int width, height;
    std::vector<std::uint8_t> rgb;
};

// Reads one header number after whitespace and comments.
std::optional<long> header_number(const std::string& data, std::size_t& pos) {
    while (pos < data.size() && (std::isspace(static_cast<unsigned char>(data[pos])) || data[pos] == '#')) {
        if (data[pos] == '#')
            while (pos < data.size() && data[pos] != '\n') ++pos;
        else
            ++pos;
    }
    long value = 0;
    std::size_t start = pos;
    while (pos < data.size() && std::isdigit(static_cast<unsigned char>(data[pos])) && value < 100000)
        value = value * 10 + (data[pos++] - '0');
    if (pos == start) return std::nullopt;
    return value;
}

std::optional<Image> parse_ppm(const std::string& data) {
    if (data.compare(0, 2, "P6") != 0) return std::nullopt;
    std::size_t pos = 2;
    auto w = header_number(data, pos), h = header_number(data, pos), max = header_number(data, pos);
    if (!w || !h || !max || *w < 1 || *h < 1 || *w > 16384 || *h > 16384 || *max != 255) return std::nullopt;
    if (pos >= data.size() || !std::isspace(static_cast<unsigned char>(data[pos]))) return std::nullopt;
    ++pos;
    std::size_t bytes = static_cast<std::size_t>(*w) * *h * 3;
    if (data.size() - pos < bytes) return std::nullopt;
    return Image{static_cast<int>(*w), static_cast<int>(*h),
                 std::vector<std::uint8_t>(data.begin() + pos, data.begin() + pos + bytes)};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ppm2png INPUT.ppm OUTPUT.png\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::optional<Image> image = parse_ppm(data);
    if (!image) {
        std::fprintf(stderr, "ppm2png: %s is not a readable P6 image with maximum value 255\n", argv[1]);
        return 1;
    }
    std::vector<std::uint8_t> png = skimbo::encode_png(image->width, image->height, image->rgb);
    std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(png.data()), static_cast<std::streamsize>(png.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "ppm2png: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
