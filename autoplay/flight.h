#pragma once
// The session driver's frames on the virtual clock, replayed on a Game of our own, and the
// search for the tap frames that fly a run through a given number of pipes.
#include <cstdint>
#include <optional>
#include <vector>

#include "game/game.h"

namespace skimbo::autoplay {

// Session time of frame n on the virtual clock: 0, 16, 33, 50 ... A replay event due at or
// before it is delivered in that frame, so an event stamped with it acts in frame n exactly.
std::uint32_t frame_ms(std::uint64_t frame);

// The game's part of frame n, after input, as the session driver does it: the time since
// the previous frame, or nothing when the frame began paused.
void advance_frame(Game& game, std::uint64_t frame, GamePhase phase_before_input);

struct Flight {
    std::vector<std::uint64_t> tap_frames;  // the first starts the run from ready
    std::uint64_t scored_frame = 0;         // the frame whose step scored the last point
};

// Tap frames from start_frame on (the game left in ready until then) that score `points`
// with the bird alive at the end of scored_frame, which is at most last_frame; nullopt if
// the search finds none.
std::optional<Flight> plan_flight(std::uint32_t seed, std::uint64_t start_frame, int points,
                                  std::uint64_t last_frame);

}  // namespace skimbo::autoplay
