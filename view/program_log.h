#pragma once
// The program's log as it arrives on its standard error: passed through to ours, and read
// for the phase and score that the window's title shows and the line we repeat when the
// program fails.
#include <string>

namespace skimbo::view {

struct ProgramLog {
    std::string partial;    // the line still being received
    std::string last_line;     // the last complete line
    std::string failure_line;  // the last "failure: " line, which says why the program stopped
    std::string phase = "starting";
    int score = 0;
    bool title_changed = true;

    // Reads everything fd holds now; false at end of file or on a read error.
    bool read_from(int fd);
    std::string title() const;
    // The failure line if there was one, else the last line.
    const std::string& reason() const { return failure_line.empty() ? last_line : failure_line; }

private:
    void follow(const std::string& line);
};

}  // namespace skimbo::view
