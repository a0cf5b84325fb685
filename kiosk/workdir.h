#pragma once
// The base directory that holds the sessions' working directories, and their removal.
#include <string>

namespace skimbo::kiosk {

// Why base cannot hold working directories, or "" when it can: a directory (not a link) of
// root's, or of the user the supervisor runs as, that no one else may write to. The program
// trusts a working directory only below such a directory. A missing one is created, mode 0755.
std::string base_problem(const std::string& base);

// Removes base/name and everything below it; false with errno when something stays. It never
// follows a symbolic link: each entry is removed relative to its own directory's descriptor,
// so a link swapped in for a directory is removed itself, not what it points to.
bool remove_workdir(const std::string& base, const std::string& name);

}  // namespace skimbo::kiosk
