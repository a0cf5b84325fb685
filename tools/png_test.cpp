#include "tools/png.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <algorithm>
#include <vector>

namespace skimbo {
namespace {

std::span<const std::uint8_t> bytes(std::string_view s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

std::uint32_t be32(const std::vector<std::uint8_t>& v, std::size_t at) {
    return std::uint32_t{v[at]} << 24 | std::uint32_t{v[at + 1]} << 16 | std::uint32_t{v[at + 2]} << 8 | v[at + 3];
}

TEST(Png, ChecksumsMatchTheirPublishedCheckValues) {
    EXPECT_EQ(crc32(bytes("123456789")), 0xCBF43926u);
    EXPECT_EQ(adler32(bytes("Wikipedia")), 0x11E60398u);
    EXPECT_EQ(adler32({}), 1u);
}

// Walks the chunks, checks every CRC, and unpacks the stored deflate blocks back into
// the scanlines: a canvas-sized image needs several blocks.
TEST(Png, CanvasSizedImageRoundTripsThroughStoredBlocks) {
    constexpr int w = 640, h = 172;
    std::vector<std::uint8_t> rgb(w * h * 3);
    for (std::size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<std::uint8_t>(i * 7 + i / 1920);
    std::vector<std::uint8_t> png = encode_png(w, h, rgb);
    ASSERT_EQ(std::vector<std::uint8_t>(png.begin(), png.begin() + 8),
              (std::vector<std::uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    std::vector<std::uint8_t> zlib;
    std::vector<std::string> types;
    for (std::size_t pos = 8; pos < png.size();) {
        std::uint32_t len = be32(png, pos);
        std::string type(png.begin() + pos + 4, png.begin() + pos + 8);
        types.push_back(type);
        std::span<const std::uint8_t> typed(png.data() + pos + 4, len + 4);
        EXPECT_EQ(be32(png, pos + 8 + len), crc32(typed)) << type;
        if (type == "IHDR") {
            EXPECT_EQ(be32(png, pos + 8), 640u);
            EXPECT_EQ(be32(png, pos + 12), 172u);
            EXPECT_EQ(png[pos + 16], 8);  // bit depth
            EXPECT_EQ(png[pos + 17], 2);  // RGB
        }
        if (type == "IDAT") zlib.insert(zlib.end(), png.begin() + pos + 8, png.begin() + pos + 8 + len);
        pos += 12 + len;
    }
    EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
    ASSERT_GE(zlib.size(), 6u);
    EXPECT_EQ((zlib[0] << 8 | zlib[1]) % 31, 0);
    std::vector<std::uint8_t> raw;
    std::size_t pos = 2;
    int blocks = 0;
    for (bool last = false; !last; ++blocks) {
        last = zlib[pos] & 1;
        std::size_t n = zlib[pos + 1] | zlib[pos + 2] << 8;
        ASSERT_EQ(n ^ 0xFFFF, static_cast<std::size_t>(zlib[pos + 3] | zlib[pos + 4] << 8));
        raw.insert(raw.end(), zlib.begin() + pos + 5, zlib.begin() + pos + 5 + n);
        pos += 5 + n;
    }
    EXPECT_EQ(blocks, 6);
    EXPECT_EQ(be32(zlib, pos), adler32(raw));
    ASSERT_EQ(raw.size(), static_cast<std::size_t>(h * (w * 3 + 1)));
    for (int y = 0; y < h; ++y) {
        ASSERT_EQ(raw[y * (w * 3 + 1)], 0) << y;
        ASSERT_TRUE(std::equal(rgb.begin() + y * w * 3, rgb.begin() + (y + 1) * w * 3, raw.begin() + y * (w * 3 + 1) + 1)) << y;
    }
}

}  // namespace
}  // namespace skimbo
