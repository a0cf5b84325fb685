// The host stream's per-frame work: one record out, up to 64 contact lines in.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/fixtures.h"
#include "hoststream/host_stream.h"

namespace skimbo {
namespace {

void BM_WriteFrame(benchmark::State& state) {
    bench::OutputToNull redirect;
    auto host = std::make_unique<HostStream>(true);
    auto canvas = std::make_unique<Canvas>();
    for (std::size_t i = 0; i < canvas->size(); ++i) (*canvas)[i] = static_cast<std::uint32_t>(i * 2654435761u);
    for (auto _ : state) host->write_frame(*canvas);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * host_record_bytes));
}
BENCHMARK(BM_WriteFrame);

// Reference: copying a record's worth of bytes and writing it in one call.
void BM_WriteFrameReferenceCopy(benchmark::State& state) {
    bench::OutputToNull redirect;
    std::vector<std::uint8_t> from(host_record_bytes, 7), to(host_record_bytes);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), to.size());
        benchmark::DoNotOptimize(write(1, to.data(), to.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * host_record_bytes));
}
BENCHMARK(BM_WriteFrameReferenceCopy);

// A frame's worst case of whole lines: 64 contacts, read a byte per call from a pipe.
std::string sixty_four_lines() {
    std::string lines;
    for (int i = 0; i < 64; ++i) lines += "CONTACT 0 " + std::to_string(i % 2) + " 320 86\n";
    return lines;
}

struct InputFromPipe {
    int saved = dup(0);
    int writer = -1;
    InputFromPipe() {
        int ends[2];
        if (pipe(ends) != 0) return;
        dup2(ends[0], 0);
        close(ends[0]);
        writer = ends[1];
        fcntl(0, F_SETFL, fcntl(0, F_GETFL) | O_NONBLOCK);
    }
    ~InputFromPipe() {
        close(writer);
        dup2(saved, 0);
        close(saved);
    }
};

void BM_PollSixtyFourLines(benchmark::State& state) {
    InputFromPipe input;
    auto host = std::make_unique<HostStream>(true);
    host->line.reserve(96);
    const std::string lines = sixty_four_lines();
    int contacts = 0;
    const ContactHandler count = [&contacts](bool, int, int, unsigned) { ++contacts; };
    for (auto _ : state) {
        state.PauseTiming();
        benchmark::DoNotOptimize(write(input.writer, lines.data(), lines.size()));
        state.ResumeTiming();
        host->poll_input(0, count);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lines.size()));
}
BENCHMARK(BM_PollSixtyFourLines);

// Reference: the same bytes taken from the pipe in one read.
void BM_PollReferenceBulkRead(benchmark::State& state) {
    InputFromPipe input;
    const std::string lines = sixty_four_lines();
    std::vector<char> buffer(lines.size());
    for (auto _ : state) {
        state.PauseTiming();
        benchmark::DoNotOptimize(write(input.writer, lines.data(), lines.size()));
        state.ResumeTiming();
        benchmark::DoNotOptimize(read(0, buffer.data(), buffer.size()));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * lines.size()));
}
BENCHMARK(BM_PollReferenceBulkRead);

}  // namespace
}  // namespace skimbo
