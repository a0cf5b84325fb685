#pragma once
// The system-call filter that ends the sandbox: a classic BPF program the kernel runs on
// every system call of the process. It kills a call that arrives through a foreign
// architecture, makes the listed calls fail with EPERM and allows everything else.
#include <linux/filter.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace skimbo {

inline constexpr std::size_t denied_syscall_count = 24;

// The system-call table the filter is written against.
struct SyscallTable {
    std::uint32_t audit_arch;  // the AUDIT_ARCH_* value in seccomp_data.arch
    // x86-64 also accepts x32 calls (number | 0x40000000) under the same audit arch, so
    // without a check of that bit each listed call would have a second, unlisted number.
    bool has_x32_alias;
    // Networking, running programs, tracing or writing into other processes, mounting,
    // rebooting, loading kernel code, swap control, BPF and identity changes, in filter order.
    std::array<std::uint32_t, denied_syscall_count> denied;
};

// The device: AArch64 uses the asm-generic numbers.
inline constexpr SyscallTable aarch64_syscalls{
    0xC00000B7,  // AUDIT_ARCH_AARCH64
    false,
    {198, 199, 203, 200, 201, 202, 242, 221, 281, 117, 271, 40,
     39, 41, 142, 104, 105, 273, 106, 224, 225, 280, 146, 144},
};

// Developers' machines, CI and x86 kiosks.
inline constexpr SyscallTable x86_64_syscalls{
    0xC000003E,  // AUDIT_ARCH_X86_64
    true,
    {41, 53, 42, 49, 50, 43, 288, 59, 322, 101, 311, 165,
     166, 155, 169, 246, 175, 313, 176, 167, 168, 321, 105, 106},
};

#if defined(__aarch64__)
inline constexpr const SyscallTable& native_syscalls = aarch64_syscalls;
#elif defined(__x86_64__)
inline constexpr const SyscallTable& native_syscalls = x86_64_syscalls;
#else
#error "the seccomp filter knows the system-call numbers of aarch64 and x86-64 only"
#endif

inline constexpr std::uint32_t x32_syscall_bit = 0x40000000;

// Instructions in the filter for `table`: the architecture check (3), the number load (1),
// the x32 check where the architecture has one (2), a test and a return per denied call,
// and the final allow.
constexpr std::size_t seccomp_filter_length(const SyscallTable& table) {
    return 4 + (table.has_x32_alias ? 2 : 0) + 2 * table.denied.size() + 1;
}

inline constexpr std::size_t seccomp_filter_capacity = 64;
static_assert(seccomp_filter_length(aarch64_syscalls) <= seccomp_filter_capacity);
static_assert(seccomp_filter_length(x86_64_syscalls) <= seccomp_filter_capacity);

// Writes the filter for `table` into `out` and returns its length in instructions, or 0
// (writing nothing) when `out` is too short. Pure: builds any architecture's program on any host.
std::size_t build_seccomp_filter(const SyscallTable& table, std::span<sock_filter> out);

// Sets no-new-privileges and installs the filter for the architecture this program is
// compiled for. 0 when installed; -1 with errno set otherwise.
int install_seccomp_filter();

}  // namespace skimbo
