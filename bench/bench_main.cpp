// Runs every benchmark as usual, then prints each hot path as ratios of CPU time measured in
// this same run: to its floor (a memcpy of the canvas, or a plain write of a record) and to
// the peer library doing the same work, beside the limit each one is held to.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

// CPU nanoseconds per iteration of every benchmark that ran, by name.
using Timings = std::map<std::string, double>;

class RecordingReporter : public benchmark::ConsoleReporter {
public:
    Timings timings;

    // Colours only on a terminal, so that a report written to a file stays plain text.
    RecordingReporter() : benchmark::ConsoleReporter(isatty(1) ? OO_Defaults : OO_Tabular) {}

    // A single run, or the median of repeated ones.
    void ReportRuns(const std::vector<Run>& runs) override {
        benchmark::ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!run.error_occurred && (run.run_type == Run::RT_Iteration || median))
                timings[run.run_name.str()] =
                    run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
        }
    }
};

struct Ratio {
    const char* label;
    const char* ours;
    const char* minus;  // subtracted from ours first: what drawing one more thing costs
    const char* floor;
    double floor_limit;  // 0: no limit
    const char* peer;
    double peer_limit;
};

constexpr const char* memcpy_floor = "BM_CanvasMemcpy";

const Ratio ratios[] = {
    {"render ready", "render_phase/ready", nullptr, memcpy_floor, 6, nullptr, 0},
    {"render playing", "render_phase/playing", nullptr, memcpy_floor, 2.5, nullptr, 0},
    {"render paused", "render_phase/paused", nullptr, memcpy_floor, 8, nullptr, 0},
    {"paused, standing still", "render_standing_still/paused", nullptr, memcpy_floor, 0.2, nullptr, 0},
    {"render game over", "render_phase/game_over", nullptr, memcpy_floor, 8, nullptr, 0},
    {"exit ring over playing", "render_phase/playing_exit_hold", "render_phase/playing", memcpy_floor, 1, nullptr, 0},
    {"present full conversion", "BM_PresentFullFrame", nullptr, memcpy_floor, 4, "BM_PresentPixman", 0.15},
    {"present every row changed", "BM_PresentEveryRowChanged", nullptr, memcpy_floor, 0, nullptr, 0},
    {"present unchanged frame", "BM_PresentUnchangedFrame", nullptr, memcpy_floor, 1.5, nullptr, 0},
    {"present one changed row", "BM_PresentOneRowChange", nullptr, memcpy_floor, 1.5, nullptr, 0},
    {"write_frame", "BM_WriteFrame", nullptr, "BM_WriteFrameReferenceCopy", 2, nullptr, 0},
    {"dimming veil", "BM_VeilOurs", nullptr, memcpy_floor, 0, "BM_VeilPixman", 0.5},
    {"one sprite blit", "BM_SpriteOurs", nullptr, memcpy_floor, 0, "BM_SpritePixman", 0},
};

// "4.2x (<= 6x: met)", or just "4.2x" without a limit; "-" when a timing is missing.
std::string judged(double ratio, double limit) {
    char text[64];
    if (ratio < 0) return "-";
    if (limit <= 0) std::snprintf(text, sizeof text, "%.2fx", ratio);
    else std::snprintf(text, sizeof text, "%.2fx (<= %gx: %s)", ratio, limit, ratio <= limit ? "met" : "NOT MET");
    return text;
}

double ratio_of(const Timings& t, const char* ours, const char* minus, const char* base) {
    if (!base || !t.count(ours) || !t.count(base) || (minus && !t.count(minus))) return -1;
    return (t.at(ours) - (minus ? t.at(minus) : 0.0)) / t.at(base);
}

void print_ratios(const Timings& t) {
    std::printf("\nRatios of CPU time (medians) in this run (floor %s = %.0f ns)\n", memcpy_floor,
                t.count(memcpy_floor) ? t.at(memcpy_floor) : 0.0);
    std::printf("%-27s %10s  %-28s %s\n", "measure", "ours ns", "to its floor", "to the peer");
    for (const Ratio& r : ratios) {
        if (!t.count(r.ours)) continue;
        const double ours = t.at(r.ours) - (r.minus && t.count(r.minus) ? t.at(r.minus) : 0);
        std::printf("%-27s %10.0f  %-28s %s\n", r.label, ours,
                    judged(ratio_of(t, r.ours, r.minus, r.floor), r.floor_limit).c_str(),
                    judged(ratio_of(t, r.ours, r.minus, r.peer), r.peer_limit).c_str());
    }
}

}  // namespace

// Unless the command line says otherwise: every benchmark five times, the repetitions of all
// of them shuffled together, and each quoted by its median. The machine is shared, and a burst
// of load then disturbs one repetition rather than one benchmark.
int main(int argc, char** argv) {
    std::string defaults[] = {"--benchmark_repetitions=5", "--benchmark_enable_random_interleaving=true",
                              "--benchmark_display_aggregates_only=true"};
    std::vector<char*> args{argv[0]};
    for (std::string& flag : defaults) args.push_back(flag.data());
    args.insert(args.end(), argv + 1, argv + argc);
    argc = static_cast<int>(args.size());
    argv = args.data();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    print_ratios(reporter.timings);
    return 0;
}
