#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "sandbox/sandbox.h"

namespace skimbo {

void status_append(char* text, std::size_t capacity, const char* format, ...) {
    if (text == nullptr || capacity == 0) return;
    const std::size_t length = strnlen(text, capacity);
    if (length + 1 >= capacity) return;
    va_list args;
    va_start(args, format);
    std::vsnprintf(text + length, capacity - length, format, args);
    va_end(args);
}

}  // namespace skimbo
