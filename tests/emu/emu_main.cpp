// The main of test programs that need the emulated panel and touch screen.
#include <gtest/gtest.h>

#include "tests/emu/emu_session.h"

namespace {

struct NoDeviceEmulation : testing::Environment {
    void SetUp() override {
        GTEST_SKIP() << "the device emulation cannot be preloaded into a statically linked program";
    }
};

}  // namespace

int main(int argc, char** argv) {
    const bool emulated_devices = skimbo::emu::run_under_device_emulation(argv);
    testing::InitGoogleTest(&argc, argv);
    if (!emulated_devices) testing::AddGlobalTestEnvironment(new NoDeviceEmulation);
    return RUN_ALL_TESTS();
}
