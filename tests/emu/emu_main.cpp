// The main of test programs that need the emulated panel and touch screen.
#include <gtest/gtest.h>

#include "tests/emu/emu_session.h"

namespace {

// Reports every test as skipped, with the reason, before its body can run.
struct SkipWithoutDeviceEmulation : testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override {
        GTEST_SKIP() << "the device emulation cannot be preloaded into a statically linked program";
    }
};

}  // namespace

int main(int argc, char** argv) {
    const bool emulated_devices = skimbo::emu::run_under_device_emulation(argv);
    testing::InitGoogleTest(&argc, argv);
    if (!emulated_devices) testing::UnitTest::GetInstance()->listeners().Append(new SkipWithoutDeviceEmulation);
    return RUN_ALL_TESTS();
}
