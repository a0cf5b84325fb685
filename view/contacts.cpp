#include "view/contacts.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "view/child.h"

namespace skimbo::view {
namespace {

constexpr CanvasPoint canvas_middle{320, 86};
constexpr CanvasPoint pause_corner{620, 20};
constexpr CanvasPoint exit_corner{20, 20};  // held 1.2 s, it ends the session
constexpr unsigned latest_contact_ms = 900000;  // the latest time a CONTACT line may carry

void handle_key(const SDL_KeyboardEvent& key, Contacts& contacts) {
    if (key.repeat) return;
    bool pressed = key.type == SDL_KEYDOWN;
    switch (key.keysym.sym) {
    case SDLK_SPACE: if (pressed) contacts.tap(canvas_middle); return;
    case SDLK_p: if (pressed) contacts.tap(pause_corner); return;
    case SDLK_ESCAPE: contacts.add(pressed, exit_corner); return;
    default: return;
    }
}

}  // namespace

unsigned Contacts::session_ms() const {
    if (!session_start) return 0;
    auto elapsed = std::chrono::steady_clock::now() - *session_start;
    return static_cast<unsigned>(std::min<long long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count(), latest_contact_ms));
}

void Contacts::add(bool down, CanvasPoint point) {
    pending += "CONTACT " + std::to_string(session_ms()) + (down ? " 1 " : " 0 ") + std::to_string(point.x) + " " +
               std::to_string(point.y) + "\n";
}

void Contacts::tap(CanvasPoint point) {
    add(true, point);
    add(false, point);
}

void Contacts::write_to(int& fd) {
    while (fd >= 0 && !pending.empty()) {
        ssize_t wrote = write(fd, pending.data(), pending.size());
        if (wrote > 0) pending.erase(0, static_cast<std::size_t>(wrote));
        else if (errno == EAGAIN) return;
        else if (errno != EINTR) close_fd(fd), pending.clear();
    }
}

// SDL turns the desktop's touches into mouse events too, so a finger works as the mouse does.
bool handle_event(const SDL_Event& event, ViewWindow& window, Contacts& contacts) {
    switch (event.type) {
    case SDL_QUIT: return true;
    case SDL_WINDOWEVENT:
        if (event.window.event == SDL_WINDOWEVENT_EXPOSED) window.redraw();
        return false;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        if (event.button.button != SDL_BUTTON_LEFT) return false;
        contacts.mouse_down = event.type == SDL_MOUSEBUTTONDOWN;
        contacts.mouse = window.to_canvas(event.button.x, event.button.y);
        contacts.add(contacts.mouse_down, contacts.mouse);
        return false;
    case SDL_MOUSEMOTION: {
        CanvasPoint point = window.to_canvas(event.motion.x, event.motion.y);
        if (contacts.mouse_down && !(point == contacts.mouse)) contacts.add(true, contacts.mouse = point);
        return false;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP: handle_key(event.key, contacts); return false;
    default: return false;
    }
}

}  // namespace skimbo::view
