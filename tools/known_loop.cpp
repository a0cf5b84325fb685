// A loop of a known number of instructions, for checking that the device's emulator counts
// instructions as its clock: under qemu's -icount shift=0 one instruction is one nanosecond,
// so the process's CPU time over the loop, in nanoseconds, is the loop's instruction count.
// Built for AArch64 only (tools/perf-report): two instructions an iteration, subs and b.ne.
#include <time.h>

#include <cstdio>

int main() {
    constexpr long iterations = 250'000'000;
    timespec before{}, after{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &before);
    long left = iterations;
    asm volatile("1: subs %0, %0, #1\n\tb.ne 1b" : "+r"(left) : : "cc");
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &after);
    const long ns = (after.tv_sec - before.tv_sec) * 1000000000L + (after.tv_nsec - before.tv_nsec);
    std::printf("known-loop instructions=%ld cpu_ns=%ld\n", 2 * iterations, ns);
    return 0;
}
