#pragma once
// The evdev touch screen: opened, probed and grabbed for exclusive use, then decoded into
// reports of at most one contact in panel pixels.
#include <cstddef>
#include <cstdint>

namespace skimbo {

struct TouchDevice {
    int fd = -1;
    int evdev = 0;       // 1 once the capability probe succeeded
    int grabbed = 0;     // 1 while the exclusive grab is held
    int multitouch = 0;  // 1 when the device reports multitouch slots
    int raw_x_min = 0;   // axis ranges as the device reports them; shown by describe only
    int raw_x_max = 0;
    int raw_y_min = 0;
    int raw_y_max = 0;
    int width = 0;  // output space: panel pixels
    int height = 0;
    int st_down = 0;  // single-touch state of the report being read
    int st_x = 0;
    int st_y = 0;
    int syn_dropped = 0;  // the kernel dropped events: discard until the next SYN_REPORT
    int contact_count = 0;  // the last completed report: 0 or 1 contact, in panel pixels
    int contact_x = 0;
    int contact_y = 0;
    std::uint64_t events_seen = 0;
    std::uint64_t reports_seen = 0;
    char name[64] = {};  // the device's name, empty when it cannot be read

    TouchDevice() = default;
    TouchDevice(const TouchDevice&) = delete;
    TouchDevice& operator=(const TouchDevice&) = delete;
    // Releases the device if it is still held; the platform normally closes it first.
    ~TouchDevice();

    // Opens path non-blocking, probes it as an evdev device, reads its name and axis ranges
    // and takes the exclusive grab. 0, or -1 with errno as the failing call left it after
    // one "touch:" line. A device with multitouch slots opens; refusing it is the caller's.
    int open(const char* path, int width, int height);
    // 1 when a report completed (contact_* are new), 0 when none is complete yet (or the
    // node reached its end), -1 when the device failed. Never waits.
    int read_report();
    // The description line, with snprintf's result and truncation.
    int describe(char* buffer, std::size_t size) const;
    // Releases the grab and closes the descriptor; harmless when closed.
    void close();
    // Forgets the report in progress and the last contact; counters and ranges stay.
    void reset_contacts();

private:
    // 1 when this event completed a report.
    int decode_event(std::uint16_t type, std::uint16_t code, std::int32_t value);
    int complete_report();
    void read_name();
    void read_ranges(std::uint64_t abs_bits);
    // Takes the device's current ABS_X and ABS_Y into st_x and st_y; a failed query leaves them.
    void read_position();
};

}  // namespace skimbo
