#include "game/game.h"

#include <algorithm>
#include <cmath>

namespace skimbo {
namespace {

constexpr double tick_s = 1.0 / 120.0;
constexpr double max_frame_s = 0.25;
constexpr int max_ticks_per_advance = 30;
constexpr double tolerance_s = 1e-12;

constexpr double start_y = 79;
constexpr double boost_vy = -128;
constexpr double boost_tilt = 20;
constexpr double gravity_running_per_tick = 410.0 / 120.0;
constexpr double gravity_dying_per_tick = 4.8;
constexpr double terminal_vy = 170;
constexpr double terminal_fall_per_tick = 170.0 / 120.0;
constexpr double tilt_decay_running = 0.75;
constexpr double tilt_decay_dying = 2;
constexpr double tilt_floor = -90;
constexpr double knock_vy = 67.2;

constexpr double bird_half_height = 10;
constexpr double bird_right = 163;
constexpr double bird_centre_x = 150;
constexpr double ceiling_y = 0;
constexpr double ground_y = 158;
constexpr double resting_y = ground_y - bird_half_height;

constexpr double gap_half = 34;
constexpr double first_pipe_x = 420;
constexpr double pipe_spacing = 180;
constexpr double scroll_per_tick = 85.0 / 120.0;
constexpr double scroll_wrap = 640;
constexpr double game_over_delay_s = 0.65;

double fall_after_gravity(double& vy, double gravity) {
    vy += gravity;
    if (vy >= terminal_vy) {
        vy = terminal_vy;
        return terminal_fall_per_tick;
    }
    return vy * tick_s;
}

double decayed_tilt(double tilt, double decay) {
    tilt -= decay;
    return tilt > tilt_floor ? tilt : tilt_floor;
}

}  // namespace

const char* phase_name(std::uint32_t code) {
    static constexpr const char* words[] = {"ready", "running", "dying", "game-over", "paused"};
    return code < 5 ? words[code] : "invalid";
}

void Game::init(std::uint32_t seed) {
    *this = Game{};
    rng_state = seed;
    reset();
}

void Game::reset() {
    phase = GamePhase::ready;
    resume_phase = GamePhase::ready;
    bird_y = start_y;
    bird_vy = bird_tilt = clock = phase_time = scroll = 0;
    best = std::max(best, score);
    score = 0;
    accumulator = 0;
    for (int i = 0; i < 4; ++i) {
        double gap = next_gap();
        pipes[i] = Pipe{first_pipe_x + pipe_spacing * i, gap, false};
    }
}

void Game::boost() {
    switch (phase) {
    case GamePhase::game_over: reset(); return;
    case GamePhase::ready:
        phase = GamePhase::running;
        phase_time = 0;
        [[fallthrough]];
    case GamePhase::running:
        bird_vy = boost_vy;
        bird_tilt = boost_tilt;
        return;
    case GamePhase::dying:
    case GamePhase::paused: return;
    }
}

void Game::toggle_pause() {
    if (phase == GamePhase::paused) {
        phase = resume_phase;
    } else {
        resume_phase = phase;
        phase = GamePhase::paused;
    }
}

bool Game::collides() const {
    double top = bird_y - bird_half_height;
    double bottom = bird_y + bird_half_height;
    if (top <= ceiling_y || bottom >= ground_y) return true;
    for (const Pipe& pipe : pipes) {
        bool overlaps = pipe.x <= bird_right && pipe.x + Pipe::width >= bird_left;
        if (overlaps && (pipe.gap_y - gap_half >= top || pipe.gap_y + gap_half <= bottom)) return true;
    }
    return false;
}

void Game::kill() {
    phase = GamePhase::dying;
    phase_time = 0;
    best = std::max(best, score);
    if (bird_y < bird_half_height) {
        bird_y = bird_half_height;
        bird_vy = knock_vy;
    } else if (bird_y >= resting_y) {
        bird_y = resting_y;
        bird_vy = 0;
    } else {
        bird_vy = knock_vy;
    }
}

double Game::next_gap() {
    rng_state = rng_state * 1664525u + 1013904223u;
    return std::fma(50.0, rng_state / 4294967296.0, 54.0);
}

void Game::step() {
    clock += tick_s;
    phase_time += tick_s;
    switch (phase) {
    case GamePhase::ready:
        bird_y = std::fma(std::sin(4 * clock), 3.0, start_y);
        scroll = std::fmod(scroll + scroll_per_tick, scroll_wrap);
        return;
    case GamePhase::running: step_running(); return;
    case GamePhase::dying: step_dying(); return;
    case GamePhase::game_over:
    case GamePhase::paused: return;
    }
}

void Game::step_running() {
    if (collides()) {
        kill();
        return;
    }
    bird_y += fall_after_gravity(bird_vy, gravity_running_per_tick);
    bird_tilt = decayed_tilt(bird_tilt, tilt_decay_running);
    scroll = std::fmod(scroll + scroll_per_tick, scroll_wrap);
    for (Pipe& pipe : pipes) pipe.x -= scroll_per_tick;
    if (collides()) {
        kill();
        return;
    }
    for (Pipe& pipe : pipes) {
        double centre = pipe.x + Pipe::width / 2;
        if (!pipe.scored && centre <= bird_centre_x && centre + scroll_per_tick > bird_centre_x) {
            pipe.scored = true;
            score += 1;
            best = std::max(best, score);
        }
    }
    for (Pipe& pipe : pipes) {
        if (pipe.x + Pipe::width >= 0) continue;
        double rightmost = pipes[0].x;
        for (const Pipe& other : pipes) rightmost = std::max(rightmost, other.x);
        double gap = next_gap();
        pipe = Pipe{rightmost + pipe_spacing, gap, false};
    }
}

void Game::step_dying() {
    double new_y = bird_y + fall_after_gravity(bird_vy, gravity_dying_per_tick);
    bird_tilt = decayed_tilt(bird_tilt, tilt_decay_dying);
    if (new_y < resting_y) {
        bird_y = new_y;
        return;
    }
    bird_y = resting_y;
    bird_vy = 0;
    if (phase_time + tolerance_s >= game_over_delay_s) {
        phase = GamePhase::game_over;
        phase_time = 0;
    }
}

void Game::advance(double dt_s) {
    if (phase == GamePhase::paused || !std::isfinite(dt_s) || dt_s <= 0) return;
    accumulator += std::min(dt_s, max_frame_s);
    for (int i = 0; i < max_ticks_per_advance && accumulator + tolerance_s >= tick_s; ++i) {
        accumulator -= tick_s;
        if (!(accumulator > 0)) accumulator = 0;
        step();
    }
}

}  // namespace skimbo
