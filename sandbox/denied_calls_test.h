#pragma once
// The calls the filter refuses, by their kernel names: networking, running programs, tracing,
// mounting, rebooting, kernel code, swap, BPF, identity. Expanded where one table of numbers
// is in scope: the native one, or the generic one that AArch64 uses.
#define SKIMBO_DENIED_CALLS                                                                                           \
    __NR_socket, __NR_socketpair, __NR_connect, __NR_bind, __NR_listen, __NR_accept, __NR_accept4, __NR_execve,      \
        __NR_execveat, __NR_ptrace, __NR_process_vm_writev, __NR_mount, __NR_umount2, __NR_pivot_root, __NR_reboot, \
        __NR_kexec_load, __NR_init_module, __NR_finit_module, __NR_delete_module, __NR_swapon, __NR_swapoff,         \
        __NR_bpf, __NR_setuid, __NR_setgid
