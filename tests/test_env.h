#pragma once
// How the test programs were built (definitions from cmake/SkimboTest.cmake).
#include <string_view>

#include "base/address_space.h"

namespace skimbo::test_env {

// The command prefix that runs a target program here, words separated by spaces; empty
// for a native build.
inline constexpr std::string_view emulator = SKIMBO_EMULATOR;

// Under an emulator, system calls reach the build machine's kernel through a translator
// that does not pass on seccomp filters, namespaces and identity changes faithfully.
inline constexpr bool emulated = !emulator.empty();

inline constexpr bool sanitized = sanitized_build;

}  // namespace skimbo::test_env
