#pragma once
// The panel as the kernel's framebuffer device shows it: its reported geometry and pixel
// layout, the shared mapping of its memory, and the shadow copy presentation compares against.
#include <cstdint>
#include <memory>

#include "render/canvas.h"

namespace skimbo {

// Where one colour channel sits inside a device pixel.
struct ChannelField {
    int offset = 0;  // bit position of the channel's least significant bit
    int length = 0;  // number of bits
};

struct Framebuffer {
    int fd = -1;
    std::uint8_t* map = nullptr;  // shared mapping of device memory, map_len bytes
    std::uint64_t map_len = 0;
    int xres = 0;  // visible width and height in device pixels
    int yres = 0;
    int bpp = 0;  // 16 or 32 after a successful open
    int line_length = 0;  // bytes per device row
    int xoffset = 0;  // visible area inside device memory: pixels, rows
    int yoffset = 0;
    ChannelField red;
    ChannelField green;
    ChannelField blue;
    std::unique_ptr<std::uint8_t[]> shadow_rows;  // yres rows as last written to the device
    std::unique_ptr<std::uint8_t[]> row_buf;      // the row being converted
    // The canvas the qualified panel shows, kept after frames in which few of its strips of
    // rows changed: canvas columns equal to it need no conversion, since their panel rows
    // would convert to what the shadow already holds.
    std::unique_ptr<Canvas> last_canvas;
    bool last_canvas_shown = false;  // last_canvas is kept and is what the panel shows
    std::uint32_t quiet_frames = 0;  // frames in a row in which few strips changed
    bool shadow_current = false;  // every shadow row is the qualified panel's canvas presented last
    std::uint32_t force_full = 0;  // 1: the next presentation writes every row
    std::uint64_t frames_presented = 0;
    std::uint64_t rows_written = 0;
    char id[17] = {};  // the driver's 16-byte identification, always terminated

    Framebuffer() = default;
    Framebuffer(const Framebuffer&) = delete;
    Framebuffer& operator=(const Framebuffer&) = delete;
    // Releases the device if it is still held; the platform normally closes it first.
    ~Framebuffer();

    // Bytes of one device row as presentation converts it: xres pixels of bpp / 8 bytes.
    int row_bytes() const { return xres * (bpp / 8); }
};

// Opens, queries, checks and maps the device; 0, or -1 with errno as the failing call left
// it after one "fb:" line (none for an allocation failure). A partly filled record is left
// for fb_close.
int fb_open(Framebuffer& fb, const char* path);

// Some drivers leave the bitfields empty: where any channel's length is 0, all three take the
// usual layout of the depth, RGB565 at 16 bits, XRGB8888 at 32. Part of fb_open.
void fb_default_layout(Framebuffer& fb);

// Allocates, zero-filled, the buffers presentation keeps for the open geometry, and sets
// force_full: 0, or -1 when memory is short. Part of fb_open.
int fb_allocate_buffers(Framebuffer& fb);

// Selects the output pixel format; "rgb565" needs a 16-bit device. 0, or -1 when refused.
int fb_set_format(Framebuffer& fb, const char* name);

// Unmaps, closes and frees everything; harmless on a record that never opened or is closed.
void fb_close(Framebuffer& fb);

}  // namespace skimbo
