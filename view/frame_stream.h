#pragma once
// The frame records of the host stream, read as they come: each is the payload length,
// 4 bytes big-endian and always 330,240, then the 640x172 canvas as RGB triplets, top row
// first. Records follow each other with nothing between them.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace skimbo::view {

constexpr int canvas_width = 640;
constexpr int canvas_height = 172;
constexpr std::size_t header_bytes = 4;
constexpr std::size_t record_bytes = header_bytes + canvas_width * canvas_height * 3;

enum class StreamState { open, ended, broken };

struct FrameStream {
    std::vector<std::uint8_t> filling = std::vector<std::uint8_t>(record_bytes);
    std::vector<std::uint8_t> latest = std::vector<std::uint8_t>(record_bytes);  // the last whole record
    std::size_t filled = 0;
    bool fresh = false;     // a record completed since the last frame was shown
    bool started = false;   // at least one record completed

    // Reads everything fd holds now. Ended at end of file or a read error; broken when a
    // record does not start with the expected length.
    StreamState read_from(int fd);
    const std::uint8_t* pixels() const { return latest.data() + header_bytes; }
};

}  // namespace skimbo::view
