#include "sandbox/seccomp_filter.h"

#include <asm/unistd.h>
#include <fcntl.h>
#include <linux/audit.h>
#include <linux/seccomp.h>
#include <sys/ioctl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "sandbox/test_support.h"
#include "tests/test_env.h"

namespace skimbo {
namespace {

constexpr std::uint32_t ret_kill = 0;
constexpr std::uint32_t ret_eperm = 0x00050001;
constexpr std::uint32_t ret_allow = 0x7FFF0000;
constexpr std::uint32_t audit_arch_i386 = 0x40000003;
constexpr std::uint32_t audit_arch_arm = 0x40000028;
#if defined(__aarch64__)
constexpr std::uint32_t native_audit_arch = AUDIT_ARCH_AARCH64;
#else
constexpr std::uint32_t native_audit_arch = AUDIT_ARCH_X86_64;
#endif

// The denied numbers, copied from each architecture's system-call table by hand.
constexpr std::uint32_t aarch64_denied[] = {198, 199, 203, 200, 201, 202, 242, 221, 281, 117, 271, 40,
                                            39,  41,  142, 104, 105, 273, 106, 224, 225, 280, 146, 144};
constexpr std::uint32_t x86_64_denied[] = {41,  53,  42,  49,  50,  43,  288, 59,  322, 101, 311, 165,
                                           166, 155, 169, 246, 175, 313, 176, 167, 168, 321, 105, 106};

std::vector<sock_filter> built_program(const SyscallTable& table) {
    std::vector<sock_filter> program(seccomp_filter_capacity);
    program.resize(build_seccomp_filter(table, program));
    return program;
}

void expect_same_program(const std::vector<sock_filter>& actual, const std::vector<sock_filter>& expected) {
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(actual[i].code, expected[i].code) << "instruction " << i;
        EXPECT_EQ(actual[i].jt, expected[i].jt) << "instruction " << i;
        EXPECT_EQ(actual[i].jf, expected[i].jf) << "instruction " << i;
        EXPECT_EQ(actual[i].k, expected[i].k) << "instruction " << i;
    }
}

void append_denials(std::vector<sock_filter>& program, std::span<const std::uint32_t> numbers) {
    for (const std::uint32_t number : numbers) {
        program.push_back({0x15, 0, 1, number});
        program.push_back({0x06, 0, 0, 0x00050001});
    }
}

TEST(SeccompFilterProgram, AArch64IsTheDeviceTable) {
    std::vector<sock_filter> expected = {
        {0x20, 0, 0, 4}, {0x15, 1, 0, 0xC00000B7}, {0x06, 0, 0, 0}, {0x20, 0, 0, 0}};
    append_denials(expected, aarch64_denied);
    expected.push_back({0x06, 0, 0, 0x7FFF0000});
    ASSERT_EQ(expected.size(), 53u);
    expect_same_program(built_program(aarch64_syscalls), expected);
}

TEST(SeccompFilterProgram, X86_64DeniesX32NumbersRightAfterLoadingTheNumber) {
    std::vector<sock_filter> expected = {{0x20, 0, 0, 4}, {0x15, 1, 0, 0xC000003E}, {0x06, 0, 0, 0},
                                         {0x20, 0, 0, 0}, {0x45, 0, 1, 0x40000000}, {0x06, 0, 0, 0x00050001}};
    append_denials(expected, x86_64_denied);
    expected.push_back({0x06, 0, 0, 0x7FFF0000});
    ASSERT_EQ(expected.size(), 55u);
    expect_same_program(built_program(x86_64_syscalls), expected);
}

// The hand-copied numbers of the architecture being compiled for must be the kernel's.
TEST(SeccompFilterProgram, NativeTableMatchesTheKernelHeaders) {
    const std::uint32_t from_headers[] = {
        __NR_socket,      __NR_socketpair,  __NR_connect,           __NR_bind,         __NR_listen,
        __NR_accept,      __NR_accept4,     __NR_execve,            __NR_execveat,     __NR_ptrace,
        __NR_process_vm_writev, __NR_mount, __NR_umount2,           __NR_pivot_root,   __NR_reboot,
        __NR_kexec_load,  __NR_init_module, __NR_finit_module,      __NR_delete_module, __NR_swapon,
        __NR_swapoff,     __NR_bpf,         __NR_setuid,            __NR_setgid};
    ASSERT_EQ(std::size(from_headers), native_syscalls.denied.size());
    for (std::size_t i = 0; i < std::size(from_headers); ++i) EXPECT_EQ(native_syscalls.denied[i], from_headers[i]) << i;
    EXPECT_EQ(native_syscalls.audit_arch, native_audit_arch);
}

TEST(SeccompFilterProgram, ShortBufferIsLeftUntouched) {
    for (const SyscallTable* table : {&aarch64_syscalls, &x86_64_syscalls}) {
        std::vector<sock_filter> program(seccomp_filter_length(*table) - 1, sock_filter{0xAA, 1, 2, 3});
        EXPECT_EQ(build_seccomp_filter(*table, program), 0u);
        for (const sock_filter& instruction : program) EXPECT_EQ(instruction.code, 0xAA);
    }
}

// Runs a classic BPF program the way the kernel's seccomp does, over a synthetic
// seccomp_data. Only the instructions a seccomp filter needs are known; anything else, a
// load outside the data, a jump past the end or running off the end gives no verdict.
std::optional<std::uint32_t> run_filter(const std::vector<sock_filter>& program, const seccomp_data& data) {
    std::uint32_t accumulator = 0;
    for (std::size_t pc = 0; pc < program.size(); ++pc) {
        const sock_filter& op = program[pc];
        const auto jump = [&](bool taken) { pc += taken ? op.jt : op.jf; };
        switch (op.code) {
        case BPF_LD | BPF_W | BPF_ABS:
            if (op.k % 4 != 0 || op.k + 4 > sizeof data) return std::nullopt;
            std::memcpy(&accumulator, reinterpret_cast<const char*>(&data) + op.k, 4);
            break;
        case BPF_JMP | BPF_JA: pc += op.k; break;
        case BPF_JMP | BPF_JEQ | BPF_K: jump(accumulator == op.k); break;
        case BPF_JMP | BPF_JGT | BPF_K: jump(accumulator > op.k); break;
        case BPF_JMP | BPF_JGE | BPF_K: jump(accumulator >= op.k); break;
        case BPF_JMP | BPF_JSET | BPF_K: jump((accumulator & op.k) != 0); break;
        case BPF_RET | BPF_K: return op.k;
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

std::optional<std::uint32_t> verdict(const SyscallTable& table, std::uint32_t arch, std::uint32_t number) {
    seccomp_data data{};
    data.nr = static_cast<int>(number);
    data.arch = arch;
    data.instruction_pointer = 0x400000;
    return run_filter(built_program(table), data);
}

bool is_denied(const SyscallTable& table, std::uint32_t number) {
    for (const std::uint32_t denied : table.denied)
        if (denied == number) return true;
    return false;
}

struct ArchCase {
    const char* name;
    const SyscallTable* table;
    std::uint32_t foreign_arch;  // the other architecture of the pair
};

const ArchCase arch_cases[] = {
    {"aarch64", &aarch64_syscalls, 0xC000003E},
    {"x86_64", &x86_64_syscalls, 0xC00000B7},
};

TEST(SeccompFilterVerdict, ListedCallsGetEpermAndAllOthersAreAllowed) {
    for (const ArchCase& c : arch_cases) {
        SCOPED_TRACE(c.name);
        for (std::uint32_t number = 0; number < 1024; ++number) {
            const std::uint32_t expected = is_denied(*c.table, number) ? ret_eperm : ret_allow;
            EXPECT_EQ(verdict(*c.table, c.table->audit_arch, number), expected) << "number " << number;
        }
    }
}

TEST(SeccompFilterVerdict, ForeignArchitectureIsKilledWhateverTheNumber) {
    for (const ArchCase& c : arch_cases) {
        SCOPED_TRACE(c.name);
        for (const std::uint32_t arch : {c.foreign_arch, audit_arch_i386, audit_arch_arm, 0u}) {
            for (const std::uint32_t number : {0u, 1u, 63u, 64u, c.table->denied[0], c.table->denied[23]})
                EXPECT_EQ(verdict(*c.table, arch, number), ret_kill) << std::hex << arch << " " << std::dec << number;
        }
    }
}

TEST(SeccompFilterVerdict, X32NumbersAreDeniedOnX86_64) {
    // 0x40000000 + 0 is x32 read, + 520 x32 execve, + 41 socket: all refused, listed or not.
    for (const std::uint32_t number : {0u, 1u, 9u, 16u, 41u, 59u, 520u, 0x3FFFFFFFu})
        EXPECT_EQ(verdict(x86_64_syscalls, x86_64_syscalls.audit_arch, x32_syscall_bit | number), ret_eperm) << number;
}

// --- The filter in a real process ---

std::string errno_word(long result) { return result >= 0 ? "ok" : result == -1 && errno == EPERM ? "EPERM" : "errno " + std::to_string(errno); }

struct Probe {
    const char* name;
    long (*call)();
    const char* expected;
};

// Raw system calls: a libc wrapper could answer some of these without asking the kernel.
const Probe filtered_process_probes[] = {
    {"socket", [] { return syscall(SYS_socket, AF_INET, SOCK_STREAM, 0); }, "EPERM"},
    {"socketpair", [] { int fds[2]; return syscall(SYS_socketpair, AF_UNIX, SOCK_STREAM, 0, fds); }, "EPERM"},
    {"execve", [] { char* const argv[] = {nullptr}; return syscall(SYS_execve, "/nonexistent/skimbo", argv, argv); }, "EPERM"},
    {"setuid", [] { return syscall(SYS_setuid, getuid()); }, "EPERM"},
    {"setgid", [] { return syscall(SYS_setgid, getgid()); }, "EPERM"},
    {"setresuid", [] { return syscall(SYS_setresuid, -1, -1, -1); }, "ok"},
    {"pipe-write-read",
     [] {
         int fds[2];
         char byte = 'x';
         if (pipe(fds) != 0 || syscall(SYS_write, fds[1], &byte, 1) != 1) return -1L;
         int pending = 0;
         if (syscall(SYS_ioctl, fds[0], FIONREAD, &pending) != 0 || pending != 1) return -1L;
         return syscall(SYS_read, fds[0], &byte, 1) == 1 && byte == 'x' ? 0L : -1L;
     },
     "ok"},
    {"mmap",
     [] {
         void* page = mmap(nullptr, 4096, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
         if (page == MAP_FAILED) return -1L;
         static_cast<char*>(page)[0] = 1;
         return static_cast<long>(munmap(page, 4096));
     },
     "ok"},
#if defined(__x86_64__)
    {"x32-getpid", [] { return syscall(x32_syscall_bit | __NR_getpid); }, "EPERM"},
#endif
};

std::string probe_report(bool install) {
    std::string report;
    if (install) report += "install=" + errno_word(install_seccomp_filter()) + "\n";
    for (const Probe& probe : filtered_process_probes) report += std::string(probe.name) + "=" + errno_word(probe.call()) + "\n";
    return report;
}

TEST(SeccompFilterInstalled, DeniesTheListWithEpermAndKeepsTheProcessRunning) {
    if (test_env::emulated) GTEST_SKIP() << "needs the real kernel: the emulator does not pass a filter on";
    const test::ChildOutcome baseline = test::run_in_child([] { return probe_report(false); });
    const test::ChildOutcome filtered = test::run_in_child([] { return probe_report(true); });
    ASSERT_TRUE(filtered.exited_cleanly()) << "wait status " << filtered.wait_status;
    EXPECT_EQ(filtered.report.at("install"), "ok");
    for (const Probe& probe : filtered_process_probes) {
        EXPECT_EQ(filtered.report.at(probe.name), probe.expected) << probe.name;
        // Without the filter nothing here is refused with EPERM, so the filter made the difference.
        EXPECT_NE(baseline.report.at(probe.name), "EPERM") << probe.name;
    }
}

#if defined(__x86_64__)
long i386_getpid() {
    long result = 20;  // getpid in the i386 table
    asm volatile("int $0x80" : "+a"(result) : : "memory", "cc", "r8", "r9", "r10", "r11");
    return result;
}

TEST(SeccompFilterInstalled, CallThroughTheI386EntryKillsTheProcess) {
    if (test_env::emulated) GTEST_SKIP() << "needs the real kernel: the emulator does not pass a filter on";
    const test::ChildOutcome probe = test::run_in_child([] { return "pid=" + std::to_string(i386_getpid()) + "\n"; });
    if (!probe.exited_cleanly() || probe.report.at("pid") == std::to_string(-ENOSYS))
        GTEST_SKIP() << "this kernel has no 32-bit system-call entry";
    const test::ChildOutcome filtered = test::run_in_child([] {
        if (install_seccomp_filter() != 0) return std::string("install=failed\n");
        return "pid=" + std::to_string(i386_getpid()) + "\n";
    });
    EXPECT_TRUE(filtered.killed_by(SIGSYS)) << "wait status " << filtered.wait_status;
    EXPECT_TRUE(filtered.report.empty());
}
#endif

}  // namespace
}  // namespace skimbo
