#pragma once
// What tests need to know about how they were built (definitions from cmake/SkimboTest.cmake),
// and a scratch directory.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

#include "base/address_space.h"

namespace skimbo::test_env {

// The command that runs a target program here, words separated by spaces; empty for a native
// build. Under an emulator, system calls reach this machine's kernel through a translator that
// does not pass on seccomp filters, namespaces and identity changes faithfully.
inline constexpr std::string_view emulator = SKIMBO_EMULATOR;
inline constexpr bool emulated = !emulator.empty();
inline constexpr bool sanitized = sanitized_build;

// A fresh directory under /tmp, removed with everything in it at the end of its scope.
struct ScratchDir {
    std::string path = [] {
        char pattern[] = "/tmp/skimbo-test-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("cannot create a scratch directory");
        return std::string(pattern);
    }();
    ScratchDir() = default;
    ScratchDir(const ScratchDir&) = delete;
    ~ScratchDir() { std::filesystem::remove_all(path); }
};

}  // namespace skimbo::test_env
