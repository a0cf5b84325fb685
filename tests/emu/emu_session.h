#pragma once
// The test's side of the device emulation: describes the devices for the preloaded library,
// gives the panel memory a file of its own, and reads back what the program did.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/emu/emu_devices.h"

namespace skimbo::emu {

// One emulated set of devices in a fresh scratch directory, announced to the emulation through
// the environment (inherited by programs the test starts). Ends with the object.
struct EmuSession {
    std::string dir;
    EmuDevices devices;

    // The panel memory starts filled with panel_fill, so a row the program never wrote shows.
    // The trace goes to a file of the session unless the description names one.
    explicit EmuSession(EmuDevices described, std::uint8_t panel_fill = 0xA5);
    ~EmuSession();
    EmuSession(const EmuSession&) = delete;
    EmuSession& operator=(const EmuSession&) = delete;

    // The panel memory as the program left it.
    std::vector<std::uint8_t> panel_memory() const;
    // The device operations the emulation saw, one per line ("panel mmap 220160", "touch grab"),
    // when they went to the session's own trace file.
    std::vector<std::string> trace() const;
};

// Makes this test process run under the emulation: re-executes it with the emulation library
// preloaded (after the AddressSanitizer runtime when the binary uses a shared one) unless it is
// already loaded. Returns true once it is; false at once for a statically linked program, which
// no library can be preloaded into (the cross-built test programs that qemu-user runs).
bool run_under_device_emulation(char** argv);

}  // namespace skimbo::emu
