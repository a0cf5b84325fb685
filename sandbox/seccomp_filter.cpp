#include "sandbox/seccomp_filter.h"

#include <linux/seccomp.h>
#include <sys/prctl.h>


namespace skimbo {
namespace {

// Offsets into struct seccomp_data { int nr; u32 arch; u64 ip; u64 args[6]; }.
constexpr std::uint32_t seccomp_data_nr = 0;
constexpr std::uint32_t seccomp_data_arch = 4;

constexpr std::uint32_t deny_with_eperm = SECCOMP_RET_ERRNO | 1;

constexpr sock_filter load_word(std::uint32_t offset) { return {BPF_LD | BPF_W | BPF_ABS, 0, 0, offset}; }

constexpr sock_filter jump_if_equal(std::uint32_t value, std::uint8_t if_true, std::uint8_t if_false) {
    return {BPF_JMP | BPF_JEQ | BPF_K, if_true, if_false, value};
}

constexpr sock_filter jump_if_any_bit(std::uint32_t bits, std::uint8_t if_true, std::uint8_t if_false) {
    return {BPF_JMP | BPF_JSET | BPF_K, if_true, if_false, bits};
}

constexpr sock_filter return_action(std::uint32_t action) { return {BPF_RET | BPF_K, 0, 0, action}; }

}  // namespace

std::size_t build_seccomp_filter(const SyscallTable& table, std::span<sock_filter> out) {
    const std::size_t length = seccomp_filter_length(table);
    if (out.size() < length) return 0;
    std::size_t at = 0;
    out[at++] = load_word(seccomp_data_arch);
    // Numbers mean different calls on another architecture, so a call from one is never judged.
    out[at++] = jump_if_equal(table.audit_arch, 1, 0);
    out[at++] = return_action(SECCOMP_RET_KILL);
    out[at++] = load_word(seccomp_data_nr);
    if (table.has_x32_alias) {
        out[at++] = jump_if_any_bit(x32_syscall_bit, 0, 1);
        out[at++] = return_action(deny_with_eperm);
    }
    for (const std::uint32_t number : table.denied) {
        out[at++] = jump_if_equal(number, 0, 1);
        out[at++] = return_action(deny_with_eperm);
    }
    out[at++] = return_action(SECCOMP_RET_ALLOW);
    return at;
}

int install_seccomp_filter() {
    std::array<sock_filter, seccomp_filter_capacity> program{};
    const std::size_t length = build_seccomp_filter(native_syscalls, program);
    // The kernel accepts a filter from an unprivileged process only under no-new-privileges.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0) return -1;
    const sock_fprog fprog{static_cast<unsigned short>(length), program.data()};
    return prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &fprog);
}

}  // namespace skimbo
