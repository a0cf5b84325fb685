#include "base/log.h"

#include <cstdarg>
#include <cstdio>

#include "base/clock.h"

namespace skimbo {

void log_line(const char* format, ...) {
    std::fprintf(stderr, "[korvel-skimbo %u] ", monotonic_ms());
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

}  // namespace skimbo
