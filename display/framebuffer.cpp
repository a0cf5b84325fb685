#include "display/framebuffer.h"

#include <fcntl.h>
#include <linux/fb.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <limits>
#include <new>

#include "base/log.h"

namespace skimbo {
namespace {

constexpr int max_dimension = 1024;

constexpr ChannelField rgb565_red{11, 5};
constexpr ChannelField rgb565_green{5, 6};
constexpr ChannelField rgb565_blue{0, 5};

// Logs one "fb:" line without disturbing the errno the caller reports.
template <typename... Args>
void log_keeping_errno(const char* format, Args... args) {
    const int saved = errno;
    log_line(format, args...);
    errno = saved;
}

void copy_screen_info(Framebuffer& fb, const fb_fix_screeninfo& fix, const fb_var_screeninfo& var) {
    fb.xres = static_cast<int>(var.xres);
    fb.yres = static_cast<int>(var.yres);
    fb.bpp = static_cast<int>(var.bits_per_pixel);
    fb.xoffset = static_cast<int>(var.xoffset);
    fb.yoffset = static_cast<int>(var.yoffset);
    fb.red = {static_cast<int>(var.red.offset), static_cast<int>(var.red.length)};
    fb.green = {static_cast<int>(var.green.offset), static_cast<int>(var.green.length)};
    fb.blue = {static_cast<int>(var.blue.offset), static_cast<int>(var.blue.length)};
    fb.line_length = static_cast<int>(fix.line_length);
    std::memcpy(fb.id, fix.id, sizeof fix.id);
    fb.id[sizeof fix.id] = '\0';
}

// (yres + yoffset) rows of line_length bytes, or the whole device memory when that is larger.
// Computed from the kernel's unsigned values; a product too large to map saturates, so the
// mapping then fails with the kernel's own error instead of wrapping to a small length.
std::uint64_t mapping_length(const fb_fix_screeninfo& fix, const fb_var_screeninfo& var) {
    const std::uint64_t rows = std::uint64_t{var.yres} + var.yoffset;
    std::uint64_t visible = 0;
    if (__builtin_mul_overflow(rows, std::uint64_t{fix.line_length}, &visible))
        visible = std::numeric_limits<std::uint64_t>::max();
    return visible > fix.smem_len ? visible : fix.smem_len;
}

std::unique_ptr<std::uint8_t[]> zeroed_bytes(std::size_t count) {
    return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[count]());
}

}  // namespace

Framebuffer::~Framebuffer() { fb_close(*this); }

int fb_open(Framebuffer& fb, const char* path) {
    fb_close(fb);
    fb.fd = ::open(path, O_RDWR | O_CLOEXEC);
    if (fb.fd < 0) {
        log_keeping_errno("fb: open %s: %s", path, std::strerror(errno));
        return -1;
    }
    fb_fix_screeninfo fix{};
    fb_var_screeninfo var{};
    if (ioctl(fb.fd, FBIOGET_FSCREENINFO, &fix) != 0 || ioctl(fb.fd, FBIOGET_VSCREENINFO, &var) != 0) {
        log_keeping_errno("fb: FBIOGET_*SCREENINFO: %s", std::strerror(errno));
        return -1;
    }
    copy_screen_info(fb, fix, var);
    if (fb.bpp != 16 && fb.bpp != 32) {
        log_keeping_errno("fb: unsupported bpp %d", fb.bpp);
        return -1;
    }
    if (fb.xres < 1 || fb.xres > max_dimension || fb.yres < 1 || fb.yres > max_dimension) {
        log_keeping_errno("fb: unsupported geometry %dx%d", fb.xres, fb.yres);
        return -1;
    }
    fb_default_layout(fb);

    const std::uint64_t length = mapping_length(fix, var);
    void* mapped = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fb.fd, 0);
    if (mapped == MAP_FAILED) {
        log_keeping_errno("fb: mmap: %s", std::strerror(errno));
        return -1;
    }
    fb.map = static_cast<std::uint8_t*>(mapped);
    fb.map_len = length;

    return fb_allocate_buffers(fb);
}

void fb_default_layout(Framebuffer& fb) {
    if (fb.red.length != 0 && fb.green.length != 0 && fb.blue.length != 0) return;
    if (fb.bpp == 16) {
        fb.red = rgb565_red;
        fb.green = rgb565_green;
        fb.blue = rgb565_blue;
    } else {
        fb.red = {16, 8};
        fb.green = {8, 8};
        fb.blue = {0, 8};
    }
}

int fb_allocate_buffers(Framebuffer& fb) {
    const auto row = static_cast<std::size_t>(fb.row_bytes());
    fb.shadow_rows = zeroed_bytes(row * static_cast<std::size_t>(fb.yres));
    fb.row_buf = zeroed_bytes(row);
    fb.last_canvas.reset(new (std::nothrow) Canvas{});
    fb.last_canvas_shown = fb.shadow_current = false;
    fb.quiet_frames = 0;
    if (!fb.shadow_rows || !fb.row_buf || !fb.last_canvas) {
        errno = ENOMEM;
        return -1;
    }
    fb.force_full = 1;
    return 0;
}

int fb_set_format(Framebuffer& fb, const char* name) {
    if (std::strcmp(name, "rgb565") != 0 || fb.bpp != 16) return -1;
    fb.red = rgb565_red;
    fb.green = rgb565_green;
    fb.blue = rgb565_blue;
    return 0;
}

void fb_close(Framebuffer& fb) {
    if (fb.map != nullptr) munmap(fb.map, fb.map_len);
    if (fb.fd >= 0) ::close(fb.fd);
    fb.fd = -1;
    fb.map = nullptr;
    fb.map_len = 0;
    fb.xres = fb.yres = fb.bpp = fb.line_length = fb.xoffset = fb.yoffset = 0;
    fb.red = fb.green = fb.blue = ChannelField{};
    fb.shadow_rows.reset();
    fb.row_buf.reset();
    fb.last_canvas.reset();
    fb.last_canvas_shown = fb.shadow_current = false;
    fb.quiet_frames = 0;
    fb.force_full = 0;
    fb.frames_presented = fb.rows_written = 0;
    std::memset(fb.id, 0, sizeof fb.id);
}

}  // namespace skimbo
