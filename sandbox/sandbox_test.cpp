// The system-call filter and the status text of the sandbox line. The sandbox itself, with its
// working directory and its filter installed, confines the real program in tests/e2e.

#include <gtest/gtest.h>
#include <linux/audit.h>
#include <linux/seccomp.h>
#include <sys/syscall.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/denied_calls_test.h"
#include "sandbox/sandbox.h"
#include "sandbox/seccomp_filter.h"

namespace skimbo {
namespace testing {
std::vector<std::uint32_t> generic_denied_numbers();
}
namespace {

// The filter's verdict on a call; nothing for an instruction a filter has no business using, a
// load outside the data, a jump past the end or running off it.
std::optional<std::uint32_t> verdict(const SyscallTable& table, std::uint32_t arch, std::uint32_t number) {
    std::vector<sock_filter> program(seccomp_filter_capacity);
    program.resize(build_seccomp_filter(table, program));
    seccomp_data data{static_cast<int>(number), arch, 0x400000, {}};
    std::uint32_t accumulator = 0;
    for (std::size_t pc = 0; pc < program.size(); ++pc) {
        const sock_filter& op = program[pc];
        switch (op.code) {
        case BPF_LD | BPF_W | BPF_ABS:
            if (op.k % 4 != 0 || op.k + 4 > sizeof data) return std::nullopt;
            std::memcpy(&accumulator, reinterpret_cast<const char*>(&data) + op.k, 4);
            break;
        case BPF_JMP | BPF_JEQ | BPF_K: pc += accumulator == op.k ? op.jt : op.jf; break;
        case BPF_JMP | BPF_JSET | BPF_K: pc += (accumulator & op.k) != 0 ? op.jt : op.jf; break;
        case BPF_RET | BPF_K: return op.k;
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

// Every listed call fails with EPERM, every other one is allowed, a call through another
// architecture kills the process, and on x86-64 every x32 call fails.
TEST(SeccompFilter, VerdictsOnEveryCall) {
    constexpr std::uint32_t kill = SECCOMP_RET_KILL, eperm = SECCOMP_RET_ERRNO | EPERM, allow = SECCOMP_RET_ALLOW;
    for (const SyscallTable* table : {&aarch64_syscalls, &x86_64_syscalls}) {
        const std::uint32_t arch = table->audit_arch;
        for (std::uint32_t number = 0; number < 1024; ++number) {
            const bool listed = std::find(table->denied.begin(), table->denied.end(), number) != table->denied.end();
            EXPECT_EQ(verdict(*table, arch, number), listed ? eperm : allow) << std::hex << arch << " " << std::dec << number;
            const std::uint32_t other = arch == AUDIT_ARCH_X86_64 ? AUDIT_ARCH_AARCH64 : AUDIT_ARCH_X86_64;
            for (std::uint32_t foreign : {other, std::uint32_t{AUDIT_ARCH_I386}, std::uint32_t{AUDIT_ARCH_ARM}, 0u})
                ASSERT_EQ(verdict(*table, foreign, number), kill) << std::hex << arch << " " << foreign;
            ASSERT_EQ(verdict(*table, arch, x32_syscall_bit | number), arch == AUDIT_ARCH_X86_64 ? eperm : allow) << number;
        }
    }
    for (const SyscallTable* table : {&aarch64_syscalls, &x86_64_syscalls}) {  // the length it promises, or nothing
        std::vector<sock_filter> fits(seccomp_filter_length(*table)), short_buffer(fits.size() - 1);
        EXPECT_EQ(std::pair(build_seccomp_filter(*table, fits), build_seccomp_filter(*table, short_buffer)), std::pair(fits.size(), 0ul));
    }
}

// The device's table holds the generic numbers on every machine, and the native table the
// numbers of the machine the tests run on.
TEST(SeccompFilter, TablesHoldTheKernelsNumbers) {
    const auto denied = [](const SyscallTable& table) { return std::vector(table.denied.begin(), table.denied.end()); };
    const std::vector<std::uint32_t> native{SKIMBO_DENIED_CALLS};
    EXPECT_EQ(denied(native_syscalls), native);
    EXPECT_EQ(denied(aarch64_syscalls), testing::generic_denied_numbers());
    EXPECT_EQ(aarch64_syscalls.audit_arch, AUDIT_ARCH_AARCH64);
    EXPECT_EQ(x86_64_syscalls.audit_arch, AUDIT_ARCH_X86_64);
}

// Whatever fits while a byte is left for the terminator; the canaries after the capacity show
// that nothing is written past it. No text at all takes nothing.
TEST(StatusAppend, CutsAtTheCapacity) {
    struct Case {
        std::size_t capacity;
        const char *before, *token, *after;
    };
    for (Case c : {Case{8, "abc", "defg", "abcdefg"}, Case{8, "abc", "defgh", "abcdefg"}, Case{8, "abcdef", "XYZ", "abcdefX"},
                   Case{8, "abcdefg", "XYZ", "abcdefg"}, Case{2, "", "XYZ", "X"}, Case{1, "", "X", ""}, Case{0, "#", "X", "#"}}) {
        char buffer[16];
        std::memset(buffer, '#', sizeof buffer);
        std::strcpy(buffer, c.before);
        status_append(buffer, c.capacity, "%s", c.token);
        const std::size_t end = std::max<std::size_t>(c.capacity, 2);
        EXPECT_EQ(buffer + std::string(buffer + end, sizeof buffer - end), c.after + std::string(sizeof buffer - end, '#'))
            << c.capacity << " " << c.before << " + " << c.token;
    }
    status_append(nullptr, 8, "%s", "X");
}

}  // namespace
}  // namespace skimbo
