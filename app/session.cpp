#include "app/session.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdint>
#include <ctime>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "base/clock.h"
#include "base/log.h"
#include "base/stop_signal.h"
#include "app/scene_view.h"
#include "app/usage.h"
#include "game/game.h"
#include "platform/options.h"
#include "platform/platform.h"
#include "render/canvas.h"
#include "render/scene.h"

namespace skimbo {
namespace {

std::uint32_t virtual_ms(std::uint64_t frames) { return static_cast<std::uint32_t>(frames * 1000 / 60); }

// Sleeps whole milliseconds unless a stop was requested, resuming after any other signal.
void sleep_ms(std::uint32_t ms) {
    timespec remaining{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
    while (!stop_requested() && nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {}
}

struct Session {
    std::uint32_t start_ms = monotonic_ms();
    const char* reason = "exit-gesture";
    int status = 0;
    std::unique_ptr<Platform> platform;
    Game game;
    std::unique_ptr<Canvas> canvas;
    SceneCanvas scene;  // the view the canvas shows
    bool exit_requested = false;
    std::uint64_t frames = 0;
    std::uint32_t previous_elapsed = 0;
    std::uint32_t next_heartbeat = 0;
    std::uint32_t next_periodic_capture = 0;
    GamePhase logged_phase = GamePhase::ready;
    std::int32_t logged_score = -1;
    bool virtual_clock = false;
    std::int32_t max_session_s = 0;
    std::uint32_t exit_after_ms = 0;
    std::int32_t parent_pid = 0;
    bool capturing = false;

    void start(int argc, const char* const* argv);
    void run_loop();
    bool stop_condition(std::uint32_t elapsed);
    void run_frame(std::uint32_t elapsed);
    void log_frame(std::uint32_t elapsed);
    void pace();
    void on_action(Action action);
    void finish();
};

void Session::start(int argc, const char* const* argv) {
    Options options = parse_options(argc, argv);
    if (options.seed == 0) options.seed = derive_seed(static_cast<std::uint32_t>(getpid()), monotonic_ms());
    log_line("HELLO korvel-skimbo 1.0.0 upstream=Aerowinger native=640x172 rotation=270 seed=%u", options.seed);
    virtual_clock = options.virtual_clock;
    max_session_s = options.max_session_s;
    exit_after_ms = options.exit_after_ms;
    parent_pid = options.parent_pid;
    capturing = !options.capture_dir.empty();
    platform = std::make_unique<Platform>(options);
    game.init(options.seed);
    canvas = std::make_unique<Canvas>();
    logged_phase = game.phase;
    start_ms = monotonic_ms();
}

bool Session::stop_condition(std::uint32_t elapsed) {
    if (stop_requested()) reason = "sigterm", status = 11;
    else if (parent_pid != 0 && getppid() != parent_pid) reason = "parent-lost", status = 11;
    else if (elapsed >= static_cast<std::uint32_t>(max_session_s) * 1000u) reason = "max-session", status = 12;
    else if (exit_after_ms != 0 && elapsed >= exit_after_ms) reason = "max-session", status = 12;
    else return false;
    return true;
}

void Session::on_action(Action action) {
    switch (action) {
    case Action::Tap:
        if (game.phase == GamePhase::paused) game.toggle_pause();
        else game.boost();
        log_line("input tap phase=%s score=%d", phase_name(game.phase), game.score);
        return;
    case Action::PauseToggle: game.toggle_pause(); return;
    case Action::ExitGesture: exit_requested = true; return;
    }
}

void Session::run_loop() {
    const ActionHandler handler = [this](Action action) { on_action(action); };
    while (!exit_requested) {
        std::uint32_t elapsed = virtual_clock ? virtual_ms(frames) : monotonic_ms() - start_ms;
        if (stop_condition(elapsed)) return;
        GamePhase phase_before_input = game.phase;
        platform->input(elapsed, handler);
        if (exit_requested) return;
        // The time of a frame that began paused is never simulated, even if input resumed it.
        double dt_s = phase_before_input == GamePhase::paused ? 0.0 : (elapsed - previous_elapsed) / 1000.0;
        game.advance(dt_s);
        run_frame(elapsed);
        if (!virtual_clock) pace();
        previous_elapsed = elapsed;
    }
}

void Session::run_frame(std::uint32_t elapsed) {
    SceneView view;
    fill_scene_view(game, static_cast<std::int32_t>(platform->gestures.exit_progress), view);
    scene.draw(view, canvas->data(), canvas->size());
    // A frame that a stop cut short is not presented; the loop ends at the top of the next.
    if (!platform->present(*canvas, scene.changed)) return;
    frames += 1;
    if (frames == 1) log_line("first frame presented (640x172 logical, rot 270)");
    log_frame(elapsed);
}

void Session::log_frame(std::uint32_t elapsed) {
    const char* phase_word = phase_name(game.phase);
    if (game.phase != logged_phase || game.score != logged_score) {
        log_line("state=%s score=%d best=%d y=%.2f", phase_word, game.score, game.best, game.bird_y);
        platform->capture(*canvas, std::to_string(elapsed) + "-" + phase_word);
        logged_phase = game.phase;
        logged_score = game.score;
    }
    if (capturing && elapsed >= next_periodic_capture) {
        platform->capture(*canvas, std::to_string(elapsed) + "-frame");
        next_periodic_capture = elapsed + 500;
    }
    if (elapsed >= next_heartbeat) {
        log_line("HB frames=%lu elapsed_ms=%u state=%s score=%d", static_cast<unsigned long>(frames), elapsed,
                 phase_word, game.score);
        next_heartbeat = elapsed + 5000;
    }
}

// Anchored to the loop start, so a late frame is followed by back-to-back frames until
// the count has caught up with the clock.
void Session::pace() {
    std::uint64_t target = frames * 1000 / 60;
    std::uint32_t now = monotonic_ms() - start_ms;
    if (target > now) sleep_ms(static_cast<std::uint32_t>(target - now));
}

void Session::finish() {
    if (platform) platform->close();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    double cpu_s = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000000.0;
    log_line("bench render_frames=%lu elapsed_ms=%u cpu_s=%.3f maxrss_native=%ld", static_cast<unsigned long>(frames),
             monotonic_ms() - start_ms, cpu_s, usage.ru_maxrss);
    log_line("exit code=%d reason=%s frames=%lu", status, reason, static_cast<unsigned long>(frames));
}

}  // namespace

std::uint32_t derive_seed(std::uint32_t pid, std::uint32_t now_ms) {
    // The mix spreads neighbouring pids apart; folding it onto 1..max_seed keeps it a seed
    // that the command line takes back.
    const std::uint32_t mix = pid * 0x9E3779B1u ^ now_ms;
    return mix % max_seed + 1;
}

int run_session(int argc, const char* const* argv) {
    // Before the first log line: a log reader or a host that went away shows up as a failed
    // write, never as a signal that ends the session; so does a capture beyond a file-size
    // limit the supervisor set ("capture-write").
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    log_hold_standard_error();
    if (const std::optional<int> status = answer_help_or_version(argc, argv)) return *status;
    // From the first line on, a stop ends the session with its exit line, whatever it waits for.
    install_stop_handlers();
    Session session;
    try {
        session.start(argc, argv);
        session.run_loop();
    } catch (const std::exception& failure) {
        log_line("failure: %s", failure.what());
        session.reason = "startup-or-runtime-error";
        session.status = 21;
    }
    session.finish();
    return session.status;
}

}  // namespace skimbo
