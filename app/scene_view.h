#pragma once
#include <cstdint>

#include "game/game.h"
#include "render/scene.h"

namespace skimbo {

// Rebuilds the frame's view from the game and the exit-hold progress.
void fill_scene_view(const Game& game, std::int32_t exit_progress, SceneView& view);

}  // namespace skimbo
