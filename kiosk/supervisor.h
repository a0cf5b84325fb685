#pragma once
// Plays device sessions back to back until a stop signal: each in a working directory of its
// own, its log passed on to the journal with priorities, the service manager told how play
// goes, a hung session ended, and a wait after each failure that doubles up to a minute.
#include <chrono>
#include <optional>
#include <string>

#include "kiosk/child.h"
#include "kiosk/command_line.h"
#include "kiosk/notify.h"
#include "kiosk/program_log.h"

namespace skimbo::kiosk {

using Clock = std::chrono::steady_clock;

// A session that writes no line for this long is hung: the program writes a heartbeat every 5 s.
inline constexpr std::chrono::seconds silence_limit{15};
// From SIGTERM to SIGKILL, for a hung session and for the session in play at a stop.
inline constexpr std::chrono::seconds hung_grace{2}, stop_grace{5};
inline constexpr std::chrono::seconds longest_wait{60};

// The wait after a failure, given the wait before it (0 s after a session that did not fail).
std::chrono::seconds next_wait(std::chrono::seconds previous);

// How a session ended, and whether that was a failure.
struct SessionEnd {
    int wait_status = 0;  // as waitpid reports it
    bool hung = false;    // ended by the supervisor for its silence
    SessionLog log;

    // A failure: hung, killed by a signal, an exit status other than 0, 11 or 12, or no
    // first frame shown, so that a program that ends at once is never started in a busy loop.
    bool failed() const;
    bool exited_well() const;    // with 0, 11 or 12
    std::string why() const;     // of a failure, in a few words
    std::string status() const;  // "21", or "SIGKILL" for a session killed by a signal
};

// A session in play.
struct Watch {
    unsigned number = 0;
    Child child;
    LineSplitter lines;
    int line_priority = info_priority;  // of the line whose pieces are being passed on
    SessionEnd end;
    bool ended = false;
    Clock::time_point last_output;
    std::optional<Clock::time_point> kill_at;  // SIGKILL then, after a SIGTERM
    std::chrono::seconds grace{0};             // that SIGTERM's time to take effect
};

struct Supervisor {
    KioskOptions options;
    Notifier notifier;
    UniqueFd signals;  // signalfd of SIGTERM, SIGINT, SIGHUP and SIGCHLD, all blocked
    unsigned session = 0;
    std::chrono::seconds wait{0};
    bool stopping = false, ready = false;

    // Plays until a stop signal, then returns the exit status, 0.
    int run();

private:
    std::string play(unsigned number);  // why the session failed; empty when it did not
    void follow(Watch& watch);
    void relay(Watch& watch);
    void pass_on(Watch& watch, std::string_view text, bool continues);
    void take_signals(Watch* watch);
    void begin_stop(Watch* watch);
    void check_deadlines(Watch& watch);
    void pause(std::chrono::seconds length);
};

}  // namespace skimbo::kiosk
