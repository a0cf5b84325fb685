// The command line: the input, split at its NUL bytes, is the argument vector after the
// program's name. Whatever is accepted must be a configuration the program can run.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/options.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> words{"korvel-skimbo"};
    for (std::size_t start = 0; size > 0 && start <= size;) {
        const std::size_t end = std::min(text.find('\0', start), size);
        words.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<const char*> argv;
    for (const std::string& word : words) argv.push_back(word.c_str());
    try {
        const skimbo::Options o = skimbo::parse_options(static_cast<int>(argv.size()), argv.data());
        if (o.rotation != 270 || o.fb_format != "rgb565" || o.mode != "play") std::abort();
        if (o.max_session_s < 1 || o.max_session_s > 900 || o.exit_after_ms > 900000) std::abort();
        if (!o.headless && (o.parent_pid < 2 || o.workdir.empty() || o.host_stream || o.virtual_clock)) std::abort();
        if (o.host_stream && (o.virtual_clock || !o.replay_path.empty())) std::abort();
    } catch (const std::runtime_error&) {
        // A refusal is the expected answer to most inputs; anything else escaping is a fault.
    }
    return 0;
}
