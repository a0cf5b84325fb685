#pragma once
// The game simulation: one bird, four pipes, fixed 1/120 s ticks. A plain value with
// no clock, input or allocation of its own; the session driver feeds it time and taps.
#include <array>
#include <cstdint>

namespace skimbo {

enum class GamePhase : std::uint32_t { ready = 0, running = 1, dying = 2, game_over = 3, paused = 4 };

// Status word of a phase code for log lines and capture names; "invalid" past 4.
const char* phase_name(std::uint32_t code);
inline const char* phase_name(GamePhase phase) { return phase_name(static_cast<std::uint32_t>(phase)); }

struct Pipe {
    static constexpr double width = 36;

    double x = 0;       // left edge; the pipe spans x .. x+36
    double gap_y = 0;   // centre of the 68 px opening
    bool scored = false;
};

struct Game {
    static constexpr double bird_left = 137;  // the bird's column: its left edge

    GamePhase phase = GamePhase::ready;
    GamePhase resume_phase = GamePhase::ready;
    double bird_y = 79;
    double bird_vy = 0;     // pixels per second, positive is downward
    double bird_tilt = 0;   // degrees, positive is nose up
    double clock = 0;
    double phase_time = 0;
    double scroll = 0;
    std::int32_t score = 0;
    std::int32_t best = 0;
    std::array<Pipe, 4> pipes{};
    std::uint32_t rng_state = 0;
    double accumulator = 0;

    void init(std::uint32_t seed);
    void reset();
    void boost();
    void toggle_pause();
    bool collides() const;
    void kill();
    double next_gap();
    void step();
    void advance(double dt_s);

private:
    void step_running();
    void step_dying();
};

}  // namespace skimbo
