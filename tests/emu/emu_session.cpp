#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "tests/e2e/program_run.h"
#include "tests/emu/emu_devices.h"

namespace skimbo::emu {

EmuSession::EmuSession(const EmuDevices& devices) {
    const std::string& dir = this->dir.path;
    describe(devices);
    const std::uint64_t rows = std::uint64_t{devices.yres} + devices.yoffset;
    std::ofstream(dir + "/panel") << std::string(std::max<std::uint64_t>(rows * devices.line_length, devices.smem_len), '\xA5');
    // Held open for writing, so that an empty queue reads as nothing yet, not as the end.
    mkfifo((dir + "/touch").c_str(), 0600);
    touch_writer = open((dir + "/touch").c_str(), O_RDWR | O_CLOEXEC);
    setenv(directory_variable, dir.c_str(), 1);
    setenv("LD_PRELOAD", SKIMBO_DEVICE_EMU_LIBRARY, 1);
    // A sanitized program must then not insist on its runtime coming first, and cannot start
    // the leak checker's tracer once it is confined.
    setenv("ASAN_OPTIONS", "verify_asan_link_order=0:detect_leaks=0", 1);
}

EmuSession::~EmuSession() {
    for (const char* name : {directory_variable, "LD_PRELOAD", "ASAN_OPTIONS"}) unsetenv(name);
    unplug();
}

// Written aside and renamed into place: a program that opens a device meanwhile reads the
// old description or the new one, never half of one.
void EmuSession::describe(const EmuDevices& devices) {
    std::ofstream(dir.path + "/devices.new").write(reinterpret_cast<const char*>(&devices), sizeof devices);
    std::filesystem::rename(dir.path + "/devices.new", dir.path + "/devices");
}

void EmuSession::touch(int x, int y) {
    send({{{}, EV_ABS, ABS_X, x}, {{}, EV_ABS, ABS_Y, y}, {{}, EV_KEY, BTN_TOUCH, 1}, {{}, EV_SYN, SYN_REPORT, 0}});
}

void EmuSession::send(const std::vector<input_event>& events) {
    const auto bytes = static_cast<ssize_t>(events.size() * sizeof(input_event));
    if (write(touch_writer, events.data(), static_cast<std::size_t>(bytes)) != bytes) throw std::runtime_error("touch queue full");
}

void EmuSession::unplug() {
    if (touch_writer >= 0) close(touch_writer);
    touch_writer = -1;
}

std::vector<std::uint8_t> EmuSession::panel_memory() const {
    const std::string bytes = e2e::read_file(dir.path + "/panel");
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> EmuSession::trace() const {
    std::istringstream text(e2e::read_file(dir.path + "/trace"));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

}  // namespace skimbo::emu
