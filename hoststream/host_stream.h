#pragma once
// The pipe protocol with a supervising host: CONTACT lines arrive on standard input, and
// every presented frame leaves on standard output as a 4-byte big-endian length (always
// 330,240) followed by the canvas as RGB bytes, top row first.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "render/canvas.h"

namespace skimbo {

// One contact sample on its way to the gesture tracker: down, canvas x and y, session ms.
using ContactHandler = std::function<void(bool, int, int, unsigned)>;

inline constexpr std::size_t host_record_header_bytes = 4;
inline constexpr std::size_t host_record_bytes = host_record_header_bytes + canvas_pixel_count * 3;

struct HostStream {
    bool enabled = false;
    bool ended = false;                  // standard input reached its end
    std::uint32_t last_contact_ms = 0;   // time field of the last accepted CONTACT line
    std::string line;                    // the line being received, kept across frames
    std::array<std::uint8_t, host_record_bytes> record{};  // the frame record, reused every frame
    // Descriptors 0 and 1 whose O_NONBLOCK this stream set: the flag lives on the open file the
    // caller shares (its terminal, its pipe), so it is cleared again when the session ends.
    std::array<bool, 2> made_nonblocking{};

    explicit HostStream(bool enabled_) : enabled(enabled_) {}
    ~HostStream() { restore_descriptors(); }
    HostStream(const HostStream&) = delete;
    HostStream& operator=(const HostStream&) = delete;

    // Lowers the process's resource limits, makes descriptors 0 and 1 non-blocking and
    // prepares the record header and line buffer. Called once, only when enabled. Before the
    // file-size limit comes down it says what the limit will do to a log or records written
    // to a regular file.
    void setup();
    // Takes O_NONBLOCK back off the descriptors setup gave it to. Called again, it does nothing.
    void restore_descriptors();
    // Reads what the host has sent without waiting, at most 4096 bytes and 64 lines, and
    // hands every accepted contact to on_contact timed now_ms. Returns false once standard
    // input has ended (after a release sample on the call that meets the end). Throws the
    // protocol's fatal errors.
    bool poll_input(std::uint32_t now_ms, const ContactHandler& on_contact);
    // Writes the canvas as one record, or throws "host-stream slow reader" once 1 s has been
    // spent waiting for the host to make room, or "host-stream output pipe". False when a stop
    // arrived while it waited: the record is left unfinished.
    bool write_frame(const Canvas& canvas);
    // Writes the record as it stands, the canvas of the last write_frame, once more; throws
    // and returns as write_frame does.
    bool write_record();

private:
    void accept_line(std::uint32_t now_ms, const ContactHandler& on_contact);
};

}  // namespace skimbo
