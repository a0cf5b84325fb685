#include "tests/emu/emu_session.h"

#include <dlfcn.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace skimbo::emu {
namespace {

constexpr const char* attempt_variable = "SKIMBO_DEVICE_EMU_PRELOADED";

void write_file(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The shared AddressSanitizer runtime must come first in the preload list, or it refuses to
// start; a runtime linked into the executable itself needs nothing.
std::string shared_sanitizer_runtime() {
    void* probe = dlsym(RTLD_DEFAULT, "__asan_init");
    Dl_info runtime{}, program{};
    if (probe == nullptr || dladdr(probe, &runtime) == 0 || runtime.dli_fname == nullptr) return {};
    if (dladdr(reinterpret_cast<void*>(&run_under_device_emulation), &program) != 0 &&
        program.dli_fbase == runtime.dli_fbase)
        return {};
    return runtime.dli_fname;
}

}  // namespace

EmuSession::EmuSession(EmuDevices described, std::uint8_t panel_fill) : devices(std::move(described)) {
    char pattern[] = "/tmp/skimbo-emu-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("mkdtemp");
    dir = pattern;
    devices.panel.memory = dir + "/panel.mem";
    if (devices.trace.empty()) devices.trace = dir + "/trace";
    write_file(devices.panel.memory, std::string(devices.panel.memory_size(), static_cast<char>(panel_fill)));
    const std::string config = dir + "/devices.conf";
    write_file(config, format_devices(devices));
    setenv(config_variable, config.c_str(), 1);
}

EmuSession::~EmuSession() {
    unsetenv(config_variable);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

std::vector<std::uint8_t> EmuSession::panel_memory() const {
    const std::string bytes = read_file(devices.panel.memory);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> EmuSession::trace() const {
    std::vector<std::string> lines;
    std::string text = read_file(devices.trace);
    std::size_t start = 0;
    for (std::size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', start)) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

bool run_under_device_emulation(char** argv) {
    // No program interpreter: the program is static and LD_PRELOAD means nothing to it.
    if (getauxval(AT_BASE) == 0) return false;
    if (dlsym(RTLD_DEFAULT, "skimbo_device_emu_loaded") != nullptr) return true;
    if (std::getenv(attempt_variable) != nullptr) {
        std::fprintf(stderr, "the device emulation %s did not load\n", SKIMBO_DEVICE_EMU_LIBRARY);
        std::exit(2);
    }
    std::string preload = shared_sanitizer_runtime();
    if (!preload.empty()) preload += ':';
    preload += SKIMBO_DEVICE_EMU_LIBRARY;
    if (const char* earlier = std::getenv("LD_PRELOAD"); earlier != nullptr && *earlier != '\0')
        preload = preload + ':' + earlier;
    setenv("LD_PRELOAD", preload.c_str(), 1);
    setenv(attempt_variable, "1", 1);
    execv("/proc/self/exe", argv);
    std::perror("re-executing the test under the device emulation");
    std::exit(2);
}

}  // namespace skimbo::emu
