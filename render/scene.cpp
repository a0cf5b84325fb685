#include "render/scene.h"

namespace skimbo {

// Placeholder until scene composition lands: the canvas keeps what it held.
void render_scene(const SceneView&, std::uint32_t*, std::size_t) {}

}  // namespace skimbo
