#include "view/program_log.h"

#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace skimbo::view {

bool ProgramLog::read_from(int fd) {
    char chunk[4096];
    for (;;) {
        ssize_t got = read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) return true;
        if (got <= 0) return false;
        for (ssize_t done = 0; done < got;) {  // our standard error may take it in pieces
            ssize_t wrote = write(2, chunk + done, static_cast<std::size_t>(got - done));
            if (wrote <= 0 && errno != EINTR) break;
            if (wrote > 0) done += wrote;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (chunk[i] != '\n') {
                partial += chunk[i];
                continue;
            }
            follow(partial);
            last_line = std::move(partial);
            partial.clear();
        }
    }
}

// The state and heartbeat lines carry "state=<phase> score=<n>".
void ProgramLog::follow(const std::string& line) {
    if (line.find("] failure: ") != std::string::npos) failure_line = line;
    std::size_t state_at = line.find(" state=");
    std::size_t score_at = line.find(" score=", state_at);
    if (state_at == std::string::npos || score_at == std::string::npos) return;
    std::string new_phase = line.substr(state_at + 7, score_at - state_at - 7);
    int new_score = std::atoi(line.c_str() + score_at + 7);
    if (new_phase != phase || new_score != score) title_changed = true;
    phase = std::move(new_phase);
    score = new_score;
}

std::string ProgramLog::title() const { return "korvel-skimbo: " + phase + ", score " + std::to_string(score); }

}  // namespace skimbo::view
