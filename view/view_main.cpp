// korvel-skimbo-view [--portrait] [--scale N] [--program PATH] [-- program options]: plays the
// game in a desktop window. It starts korvel-skimbo --headless --host-stream as a child,
// shows the frames it sends and sends it the mouse and keys as contacts, like any host of
// the host stream; it exits with the program's exit status.
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "view/child.h"
#include "view/contacts.h"
#include "view/frame_stream.h"
#include "view/program_log.h"
#include "view/view_window.h"

namespace {

using namespace skimbo::view;
using Clock = std::chrono::steady_clock;

constexpr int max_scale = 8;
// How long the program may take to end after its input was closed, and then after SIGTERM,
// before the next, harder step; it normally ends within one frame.
constexpr int grace_ms = 2000;
// Poll timeout: how long a key or a click may wait while no frame arrives.
constexpr int idle_wait_ms = 5;

struct ViewOptions {
    bool portrait = false;
    int scale = 2;
    std::string program;
    std::vector<std::string> program_options;
};

// The program beside our own executable, as the build and the package put them; else PATH.
std::string default_program() {
    char self[4096];
    ssize_t length = readlink("/proc/self/exe", self, sizeof self - 1);
    if (length > 0) {
        std::string beside = std::string(self, static_cast<std::size_t>(length));
        beside = beside.substr(0, beside.rfind('/') + 1) + "korvel-skimbo";
        if (access(beside.c_str(), X_OK) == 0) return beside;
    }
    return "korvel-skimbo";
}

std::optional<ViewOptions> parse_options(int argc, char** argv) {
    ViewOptions options;
    int i = 1;
    for (; i < argc && std::string_view(argv[i]) != "--"; ++i) {
        std::string_view name = argv[i];
        if (name == "--portrait") {
            options.portrait = true;
        } else if (name == "--scale" && i + 1 < argc) {
            char* end = nullptr;
            long scale = std::strtol(argv[++i], &end, 10);
            if (*end || end == argv[i] || scale < 1 || scale > max_scale) return std::nullopt;
            options.scale = static_cast<int>(scale);
        } else if (name == "--program" && i + 1 < argc) {
            options.program = argv[++i];
        } else {
            return std::nullopt;
        }
    }
    for (++i; i < argc; ++i) options.program_options.push_back(argv[i]);
    if (options.program.empty()) options.program = default_program();
    return options;
}

// Sleeps until the child has output for us or room for our input, at most idle_wait_ms.
void wait_for_child(const Child& child, bool input_pending) {
    pollfd fds[3] = {{child.frames, POLLIN, 0}, {child.log, POLLIN, 0}, {input_pending ? child.input : -1, POLLOUT, 0}};
    poll(fds, 3, idle_wait_ms);
}

// Shows the program's frames and feeds it contacts until both its outputs end, or until it
// has had grace_ms to end after the window was closed. Returns whether the frame stream
// was broken.
bool run_window(ViewWindow& window, Child& child, ProgramLog& log) {
    FrameStream frames;
    Contacts contacts;
    std::optional<Clock::time_point> closed_at;
    bool broken = false;
    while (child.outputs_open()) {
        wait_for_child(child, !contacts.pending.empty());
        if (child.frames >= 0) {
            StreamState state = frames.read_from(child.frames);
            if (state != StreamState::open) close_fd(child.frames);
            broken = broken || state == StreamState::broken;
        }
        if (child.log >= 0 && !log.read_from(child.log)) close_fd(child.log);
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (handle_event(event, window, contacts) && !closed_at) closed_at = Clock::now();
        if (broken && !closed_at) closed_at = Clock::now();
        if (closed_at) child.close_input();  // the program ends its session at its next frame
        contacts.write_to(child.input);
        if (frames.fresh) {
            if (!contacts.session_start) contacts.session_start = Clock::now();
            window.show(frames.pixels());
            frames.fresh = false;
        }
        if (log.title_changed) window.set_title(log.title()), log.title_changed = false;
        if (closed_at && Clock::now() - *closed_at > std::chrono::milliseconds(grace_ms)) break;
    }
    return broken;
}

int view(const ViewOptions& options) {
    ViewWindow window;
    Child child;
    ProgramLog log;
    std::vector<std::string> argv = {options.program, "--headless", "--host-stream"};
    argv.insert(argv.end(), options.program_options.begin(), options.program_options.end());
    // The program starts before the window: it is spawned sharing our memory until it runs,
    // and the kernel keeps that memory's peak as the program's own maxrss_native, which a
    // window with its renderer loaded would swell to tens of megabytes.
    try {
        child.start(argv);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "korvel-skimbo-view: %s\n", failure.what());
        return 127;
    }
    try {
        window.open(options.portrait, options.scale);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "korvel-skimbo-view: %s\n", failure.what());
        child.close_input();
        child.finish(grace_ms);
        return 1;
    }
    bool broken = run_window(window, child, log);
    // A program still writing must not wait on pipes that nobody reads any more.
    close_fd(child.frames);
    close_fd(child.log);
    int status = child.finish(grace_ms);
    if (broken) std::fprintf(stderr, "korvel-skimbo-view: %s does not send frame records\n", options.program.c_str());
    if (status != 0)
        std::fprintf(stderr, "korvel-skimbo-view: the program ended with status %d: %s\n", status, log.reason().c_str());
    return status == 0 && broken ? 1 : status;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<ViewOptions> options = parse_options(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: korvel-skimbo-view [--portrait] [--scale 1..%d] [--program PATH] "
                             "[-- program options, such as --seed 7]\n", max_scale);
        return 2;
    }
    // A program that died shows up as a failed write to its input, not as a signal.
    std::signal(SIGPIPE, SIG_IGN);
    return view(*options);
}
