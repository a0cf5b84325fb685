#include "autoplay/flight.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <utility>

namespace skimbo::autoplay {
namespace {

// Pixels below the centre of the next gap where a tap is best placed: a boost lifts the bird
// about 19 px, so tapping there keeps it inside the 68 px opening.
constexpr double aim_below_gap_centre = 8;
// Rising birds need no tap; such candidates are tried only after every falling one.
constexpr double rising_penalty = 1000;
// Tap frames tried before the search gives up; a flight of 55 pipes takes about 200, and
// seldom needs to go back on one.
constexpr long search_budget = 20000;
// Dead ends are remembered per frame and quarter pixel of height: states that close share
// their future as far as the pipes are concerned.
constexpr double height_buckets_per_px = 4;

// The first pipe whose right edge the bird has not yet passed.
const Pipe& next_pipe(const Game& game) {
    const Pipe* next = nullptr;
    for (const Pipe& pipe : game.pipes)
        if (pipe.x + Pipe::width >= Game::bird_left && (!next || pipe.x < next->x)) next = &pipe;
    return next ? *next : game.pipes[0];
}

double tap_miss(const Game& game) {
    double miss = std::abs(game.bird_y - (next_pipe(game).gap_y + aim_below_gap_centre));
    return game.bird_vy < 0 ? miss + rising_penalty : miss;
}

struct Candidate {
    std::uint64_t frame;
    Game game;  // at the start of frame, before input
};

// A depth-first search over the frame of each next tap, the taps nearest the aim first.
struct Search {
    int points = 0;
    std::uint64_t last_frame = 0;
    long budget = search_budget;
    std::set<std::pair<std::uint64_t, long long>> dead_ends;
    Flight flight;

    // Taps at `frame` and flies on; true once the points are scored.
    bool tap_at(Game game, std::uint64_t frame) {
        std::pair<std::uint64_t, long long> key{frame, std::llround(game.bird_y * height_buckets_per_px)};
        if (dead_ends.contains(key) || --budget < 0) return false;
        flight.tap_frames.push_back(frame);
        GamePhase before = game.phase;
        game.boost();
        advance_frame(game, frame, before);
        std::vector<Candidate> candidates;
        for (std::uint64_t next = frame + 1; game.phase == GamePhase::running; ++next) {
            if (game.score >= points) {
                flight.scored_frame = next - 1;
                return true;
            }
            if (next > last_frame) break;
            candidates.push_back({next, game});
            advance_frame(game, next, GamePhase::running);
        }
        std::stable_sort(candidates.begin(), candidates.end(),
                         [](const Candidate& a, const Candidate& b) { return tap_miss(a.game) < tap_miss(b.game); });
        for (const Candidate& candidate : candidates)
            if (tap_at(candidate.game, candidate.frame)) return true;
        flight.tap_frames.pop_back();
        dead_ends.insert(key);
        return false;
    }
};

}  // namespace

std::uint32_t frame_ms(std::uint64_t frame) { return static_cast<std::uint32_t>(frame * 1000 / 60); }

void advance_frame(Game& game, std::uint64_t frame, GamePhase phase_before_input) {
    std::uint32_t elapsed = frame_ms(frame);
    std::uint32_t previous = frame == 0 ? 0 : frame_ms(frame - 1);
    game.advance(phase_before_input == GamePhase::paused ? 0.0 : (elapsed - previous) / 1000.0);
}

std::optional<Flight> plan_flight(std::uint32_t seed, std::uint64_t start_frame, int points,
                                  std::uint64_t last_frame) {
    Game game;
    game.init(seed);
    for (std::uint64_t frame = 0; frame < start_frame; ++frame) advance_frame(game, frame, game.phase);
    Search search;
    search.points = points;
    search.last_frame = last_frame;
    if (!search.tap_at(game, start_frame)) return std::nullopt;
    return search.flight;
}

}  // namespace skimbo::autoplay
