#include "app/scene_view.h"

namespace skimbo {
namespace {

ViewPhase view_phase(GamePhase phase) {
    switch (phase) {
    case GamePhase::ready: return ViewPhase::Ready;
    case GamePhase::running:
    case GamePhase::dying: return ViewPhase::Playing;
    case GamePhase::paused: return ViewPhase::Paused;
    case GamePhase::game_over: return ViewPhase::GameOver;
    }
    return ViewPhase::Ready;
}

}  // namespace

void fill_scene_view(const Game& game, std::int32_t exit_progress, SceneView& view) {
    view.phase = view_phase(game.phase);
    view.bird_y = static_cast<float>(game.bird_y);
    view.bird_angle = static_cast<float>(-game.bird_tilt);
    view.anim_clock = static_cast<float>(game.clock);
    view.scroll = static_cast<float>(game.scroll);
    view.score = game.score;
    view.best = game.best;
    view.pipes.clear();
    for (const Pipe& pipe : game.pipes)
        view.pipes.push_back(PipeView{static_cast<float>(pipe.x), static_cast<float>(pipe.gap_y)});
    view.exit_progress = exit_progress;
}

}  // namespace skimbo
