#pragma once
// A fresh directory under /tmp for one test, removed with everything in it afterwards.
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace skimbo::test_support {

struct ScratchDir {
    std::string path;

    ScratchDir() {
        char pattern[] = "/tmp/skimbo-test-XXXXXX";
        if (!mkdtemp(pattern)) throw std::runtime_error("cannot create a scratch directory");
        path = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
};

}  // namespace skimbo::test_support
