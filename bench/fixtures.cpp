#include "bench/fixtures.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <random>
#include <stdexcept>

namespace skimbo::bench {

SceneView phase_view(ViewPhase phase, int exit_progress) {
    SceneView v;
    v.phase = phase;
    v.scroll = 311.4f;
    v.bird_y = phase == ViewPhase::GameOver ? 148.0f : 71.6f;
    v.bird_angle = phase == ViewPhase::GameOver ? 90.0f : -14.0f;
    v.anim_clock = 5.37f;
    v.score = 27;
    v.best = 31;
    v.pipes = {{108.6f, 70}, {288.6f, 95}, {468.6f, 58}, {648.6f, 80}};
    v.exit_progress = exit_progress;
    return v;
}

std::unique_ptr<Canvas> random_canvas(unsigned seed) {
    std::mt19937 random(seed);
    auto canvas = std::make_unique<Canvas>();
    for (std::uint32_t& pixel : *canvas) pixel = random() & 0x00FFFFFF;
    return canvas;
}

void attach_memory_panel(Framebuffer& fb, ChannelField red, ChannelField blue) {
    fb.xres = 172;
    fb.yres = 640;
    fb.bpp = 16;
    fb.line_length = 344;
    fb.red = red;
    fb.green = {5, 6};
    fb.blue = blue;
    fb.map_len = 640 * 344;
    void* memory = mmap(nullptr, fb.map_len, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED) throw std::runtime_error("mmap");
    fb.map = static_cast<std::uint8_t*>(memory);
    if (fb_allocate_buffers(fb) != 0) throw std::runtime_error("panel buffers");
}

OutputToNull::OutputToNull() : saved(dup(1)) {
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
}

OutputToNull::~OutputToNull() {
    dup2(saved, 1);
    close(saved);
}

}  // namespace skimbo::bench
