// The command line: the input, split at its NUL bytes, is the argument vector after the
// program's name. Whatever is accepted must be a configuration the program can run.
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<const char*> argv{"korvel-skimbo"};
    for (std::size_t at = 0; size > 0; ++at) {
        argv.push_back(text.c_str() + at);
        if ((at = text.find('\0', at)) == std::string::npos) break;
    }
    try {
        const skimbo::Options o = skimbo::parse_options(static_cast<int>(argv.size()), argv.data());
        if (o.rotation != 270 || o.fb_format != "rgb565" || o.mode != "play" || o.max_session_s < 1) std::abort();
        if (!o.headless && (o.parent_pid < 2 || o.workdir.empty() || o.host_stream || o.virtual_clock)) std::abort();
        if (o.host_stream && (o.virtual_clock || !o.replay_path.empty())) std::abort();
    } catch (const std::runtime_error&) {}  // a refusal; anything else escaping is a fault
    return 0;
}
