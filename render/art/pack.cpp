#include "render/art/pack.h"

#include <algorithm>
#include <map>

#include "render/art_pack.h"

namespace skimbo::art {
namespace {

struct Run {
    std::uint32_t colour;
    std::size_t length;
    bool above;  // repeats the row above instead of one colour
};

// At each pixel the longer of the stretch of one colour and the stretch that repeats the
// row above becomes the next run.
std::vector<Run> split_runs(const Pixels& px, std::size_t width) {
    std::vector<Run> runs;
    for (std::size_t i = 0; i < px.size();) {
        std::size_t same = i, above = i;
        while (same < px.size() && px[same] == px[i]) ++same;
        if (i >= width)
            while (above < px.size() && px[above] == px[above - width]) ++above;
        const bool repeat = above > same;
        const std::size_t end = repeat ? above : same;
        runs.push_back({px[i], end - i, repeat});
        i = end;
    }
    return runs;
}

// The colours by the number of runs that use them, most used first, so that the common
// ones take one byte.
std::vector<std::uint32_t> palette_of(const std::vector<std::vector<Run>>& images) {
    std::map<std::uint32_t, std::size_t> uses;
    for (const std::vector<Run>& runs : images)
        for (const Run& run : runs)
            if (!run.above) ++uses[run.colour];
    std::vector<std::pair<std::size_t, std::uint32_t>> order;
    for (const auto& [colour, count] : uses) order.push_back({count, colour});
    std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::uint32_t> palette;
    for (const auto& entry : order) palette.push_back(entry.second);
    return palette;
}

void put_number(std::vector<std::uint8_t>& out, std::size_t value) {
    for (; value >= 128; value >>= 7) out.push_back(static_cast<std::uint8_t>((value & 127) | 128));
    out.push_back(static_cast<std::uint8_t>(value));
}

std::vector<std::uint8_t> encode(const std::vector<Run>& runs, const std::map<std::uint32_t, std::size_t>& codes) {
    std::vector<std::uint8_t> out;
    for (const Run& run : runs) {
        put_number(out, run.above ? art_pack::repeat_above : codes.at(run.colour));
        put_number(out, run.length - 1);
    }
    return out;
}

bool unpacks_to(const std::vector<std::uint8_t>& bytes, const std::vector<std::uint32_t>& palette, const PackedImage& image) {
    Pixels got(image.pixels.size());
    const std::uint8_t* in = bytes.data();
    art_pack::unpack(in, palette.data(), got.data(), got.size(), image.width);
    return image.pixels.size() == image.width * image.height && got == image.pixels && in == bytes.data() + bytes.size();
}

}  // namespace

bool write_packed(std::FILE* file, const std::vector<PackedImage>& images) {
    std::vector<std::vector<Run>> runs;
    for (const PackedImage& image : images) runs.push_back(split_runs(image.pixels, image.width));
    const std::vector<std::uint32_t> palette = palette_of(runs);
    std::map<std::uint32_t, std::size_t> codes;
    for (std::size_t k = 0; k < palette.size(); ++k) codes[palette[k]] = k + 1;

    std::fprintf(file, "const std::uint32_t palette[%zu] = {\n", palette.size());
    for (std::size_t k = 0; k < palette.size(); ++k)
        std::fprintf(file, "0x%08X,%s", static_cast<unsigned>(palette[k]), k % 8 == 7 ? "\n" : "");
    std::fputs("};\n", file);
    for (std::size_t k = 0; k < images.size(); ++k) {
        const std::vector<std::uint8_t> bytes = encode(runs[k], codes);
        if (!unpacks_to(bytes, palette, images[k])) return false;
        std::fprintf(file, "const std::uint8_t %s_packed[%zu] = {\n", images[k].name.c_str(), bytes.size());
        for (std::size_t i = 0; i < bytes.size(); ++i) std::fprintf(file, "%u,%s", bytes[i], i % 24 == 23 ? "\n" : "");
        std::fputs("};\n", file);
    }
    return true;
}

}  // namespace skimbo::art
