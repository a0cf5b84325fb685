// The main of test programs that need the emulated panel and touch screen.
#include <gtest/gtest.h>

#include "tests/emu/emu_session.h"

int main(int argc, char** argv) {
    skimbo::emu::run_under_device_emulation(argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
