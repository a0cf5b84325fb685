#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "sandbox/sandbox.h"

namespace skimbo {
namespace {

TEST(StatusAppend, AppendsFormattedTokensInOrder) {
    char text[64] = "";
    status_append(text, sizeof text, "nice=%d ", 10);
    status_append(text, sizeof text, "wd=%s ", "/var/skimbo");
    status_append(text, sizeof text, "seccomp=on");
    EXPECT_STREQ(text, "nice=10 wd=/var/skimbo seccomp=on");
}

// Canary bytes after the capacity show that nothing is written past it.
TEST(StatusAppend, TruncatesWithinTheCapacityAndStopsWhenFull) {
    struct Case {
        std::size_t capacity;
        const char* before;
        const char* token;
        const char* after;
    };
    const Case cases[] = {
        {8, "abc", "defg", "abcdefg"},   // exactly fits: 7 characters and the terminator
        {8, "abc", "defgh", "abcdefg"},  // one too many: cut
        {8, "abcdef", "XYZ", "abcdefX"}, // one byte of room left
        {8, "abcdefg", "XYZ", "abcdefg"},  // full: length + 1 == capacity
        {1, "", "X", ""},
        {2, "", "XYZ", "X"},
    };
    for (const Case& c : cases) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        std::strcpy(buffer, c.before);
        status_append(buffer, c.capacity, "%s", c.token);
        EXPECT_STREQ(buffer, c.after) << c.capacity << " " << c.before << " + " << c.token;
        EXPECT_EQ(std::string(buffer + c.capacity, sizeof buffer - c.capacity), std::string(sizeof buffer - c.capacity, '#'));
    }
}

TEST(StatusAppend, ZeroCapacityWritesNothing) {
    char buffer[4] = {'#', '#', '#', '#'};
    status_append(buffer, 0, "%s", "abc");
    EXPECT_EQ(std::string(buffer, 4), "####");
}

}  // namespace
}  // namespace skimbo
