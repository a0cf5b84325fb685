#pragma once
// The player's finger: mouse, keys and the desktop's touches become CONTACT lines for the
// program's standard input, written as the pipe takes them.
#include <SDL.h>

#include <chrono>
#include <optional>
#include <string>

#include "view/view_window.h"

namespace skimbo::view {

struct Contacts {
    std::string pending;  // lines the pipe has not taken yet
    // The session clock starts when the first frame arrives: the program's own clock
    // started before it wrote that frame, so our times never run ahead of it.
    std::optional<std::chrono::steady_clock::time_point> session_start;
    bool mouse_down = false;
    CanvasPoint mouse{-1, -1};

    void add(bool down, CanvasPoint point);
    void tap(CanvasPoint point);
    // Writes what the pipe takes now; closes fd when the program no longer reads it.
    void write_to(int& fd);
    unsigned session_ms() const;
};

// Turns one window event into contacts; true when the window was closed.
bool handle_event(const SDL_Event& event, ViewWindow& window, Contacts& contacts);

}  // namespace skimbo::view
