// The status text of the sandbox line. The sandbox itself, with its working directory, confines
// the real program in tests/e2e/device_e2e_test.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "sandbox/sandbox.h"

namespace skimbo {
namespace {

// Whatever fits while a byte is left for the terminator; the canaries after the capacity show
// that nothing is written past it.
TEST(StatusAppend, CutsAtTheCapacity) {
    struct Case {
        std::size_t capacity;
        const char *before, *token, *after;
    };
    for (Case c : {Case{8, "abc", "defg", "abcdefg"}, Case{8, "abc", "defgh", "abcdefg"}, Case{8, "abcdef", "XYZ", "abcdefX"},
                   Case{8, "abcdefg", "XYZ", "abcdefg"}, Case{2, "", "XYZ", "X"}, Case{1, "", "X", ""}, Case{0, "#", "X", "#"}}) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        std::strcpy(buffer, c.before);
        status_append(buffer, c.capacity, "%s", c.token);
        const std::size_t end = std::max<std::size_t>(c.capacity, 2);
        EXPECT_EQ(buffer + std::string(buffer + end, sizeof buffer - end), c.after + std::string(sizeof buffer - end, '#'))
            << c.capacity << " " << c.before << " + " << c.token;
    }
}

}  // namespace
}  // namespace skimbo
