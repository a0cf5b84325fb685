#pragma once
// Packs the generated images into the program's stored form (render/art_pack.h): one palette
// shared by every image, then each image's runs.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "render/art/art.h"

namespace skimbo::art {

struct PackedImage {
    std::string name;
    Pixels pixels;
    std::size_t width, height;
};

// Writes the palette and one byte array per image as C++ definitions; false if an image is
// not width x height pixels or its stream does not unpack to it again.
bool write_packed(std::FILE* file, const std::vector<PackedImage>& images);

}  // namespace skimbo::art
