// korvel-skimbo-autoplay --seed S [--pipes N]: writes to standard output a replay file that,
// played by korvel-skimbo --headless --virtual-clock --seed S --replay FILE, scores N points
// (default 30), pauses and holds the exit corner, so the session ends with status 0 and
// reason exit-gesture.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "input/decimal.h"
#include "autoplay/flight.h"

namespace {

using namespace skimbo::autoplay;

constexpr std::uint64_t frames_per_second = 60;
// The program's default --max-session: its stop test comes before input, so the exit hold
// must complete in an earlier frame.
constexpr std::uint64_t session_frames = 120 * frames_per_second;
constexpr std::uint64_t exit_hold_frames = 72;  // 1200 ms, exactly: a multiple of three frames
// The run starts half a second into the ready bob; later starts give other heights to try.
constexpr std::uint64_t first_start_frame = 30;
constexpr std::uint64_t start_frames_to_try = 10;
// The 55th pipe passes the bird about 118.2 s into the session, the 56th only after 120 s.
constexpr int max_points = 55;

std::nullopt_t refuse(const char* message) {
    std::fprintf(stderr, "korvel-skimbo-autoplay: %s\n", message);
    return std::nullopt;
}

struct Request {
    std::uint32_t seed = 0;
    int points = 30;
};

// The request, or nullopt after saying what is wrong with the command line.
std::optional<Request> parse_request(int argc, char** argv) {
    Request request;
    for (int i = 1; i < argc; i += 2) {
        std::string_view name = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : "";
        if (name == "--seed") {
            auto seed = skimbo::parse_decimal(value, 1, 2147483647);
            if (!seed) return refuse("--seed takes a whole number from 1 to 2147483647, as the program does");
            request.seed = static_cast<std::uint32_t>(*seed);
        } else if (name == "--pipes") {
            auto points = skimbo::parse_decimal(value, 1, max_points);
            if (!points) return refuse("--pipes takes 1..55: the 56th pipe would pass after the 120 s a session lasts");
            request.points = static_cast<int>(*points);
        } else {
            return refuse("usage: korvel-skimbo-autoplay --seed 1..2147483647 [--pipes 1..55] > FILE.replay");
        }
    }
    if (request.seed == 0) return refuse("a --seed is required: the replay only fits the game of one seed");
    return request;
}

void print_sample(std::uint64_t frame, bool down, int x, int y) {
    std::printf("%u %d %d %d\n", frame_ms(frame), down ? 1 : 0, x, y);
}

// Every tap is a press and a release in the same frame, in the middle of the canvas; after
// the last point the pause corner is tapped and the exit corner held, never released.
void print_replay(const Flight& flight) {
    for (std::uint64_t frame : flight.tap_frames) {
        print_sample(frame, true, 320, 86);
        print_sample(frame, false, 320, 86);
    }
    std::uint64_t pause_frame = flight.scored_frame + 1;
    print_sample(pause_frame, true, 620, 20);
    print_sample(pause_frame, false, 620, 20);
    print_sample(pause_frame, true, 20, 20);
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<Request> request = parse_request(argc, argv);
    if (!request) return 2;
    const std::uint64_t last_scored_frame = session_frames - exit_hold_frames - 2;
    for (std::uint64_t start = first_start_frame; start < first_start_frame + start_frames_to_try; ++start) {
        std::optional<Flight> flight = plan_flight(request->seed, start, request->points, last_scored_frame);
        if (!flight) continue;
        print_replay(*flight);
        std::uint64_t exit_frame = flight->scored_frame + 1 + exit_hold_frames;
        std::fprintf(stderr, "seed %u: score %d at %u ms after %zu taps; the exit hold ends the session at %u ms\n",
                     request->seed, request->points, frame_ms(flight->scored_frame), flight->tap_frames.size(),
                     frame_ms(exit_frame));
        return 0;
    }
    std::fprintf(stderr, "korvel-skimbo-autoplay: no flight through %d pipes found for seed %u\n", request->points,
                 request->seed);
    return 1;
}
