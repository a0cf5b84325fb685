#pragma once
// The log lines a piece of code writes, without their "[korvel-skimbo N] " prefix.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace skimbo::emu {

template <typename Fn>
std::vector<std::string> logged_messages(Fn&& fn) {
    testing::internal::CaptureStderr();
    fn();
    std::istringstream text(testing::internal::GetCapturedStderr());
    std::vector<std::string> messages;
    for (std::string line; std::getline(text, line);) {
        const std::size_t end = line.find("] ");
        messages.push_back(line.rfind("[korvel-skimbo ", 0) == 0 && end != std::string::npos ? line.substr(end + 2)
                                                                                           : line);
    }
    return messages;
}

}  // namespace skimbo::emu
