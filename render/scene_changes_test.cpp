// The columns a new view can change, against the frames themselves: where only the bird
// differs, in any phase, the frames differ in no pixel outside the bird's reach.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "render/scene.h"
#include "render/scene_parts.h"

namespace skimbo {
namespace {

std::vector<std::uint32_t> frame(const SceneView& view) {
    std::vector<std::uint32_t> canvas(canvas_pixel_count);
    render_scene(view, canvas.data(), canvas.size());
    return canvas;
}

TEST(SceneChanges, ABirdAloneChangesOnlyTheColumnsItReaches) {
    std::mt19937 random(3);
    std::uniform_real_distribution<float> y(-40, 220), angle(-180, 180), clock(0, 20);
    for (ViewPhase phase : {ViewPhase::Ready, ViewPhase::Playing, ViewPhase::Paused, ViewPhase::GameOver})
        for (int k = 0; k < 8; ++k) {
            SceneView before{phase, y(random), angle(random), clock(random), 311.4f, 27, 31,
                             {{108.6f, 70}, {288.6f, 95}, {468.6f, 58}}, k * 125};
            SceneView after = before;
            after.bird_y = y(random), after.bird_angle = angle(random), after.anim_clock = clock(random);
            const ColumnSpan span = changed_columns(before, after);
            ASSERT_EQ(span.first, bird_first_column);
            ASSERT_EQ(span.last, bird_last_column);
            const auto a = frame(before), b = frame(after);
            for (std::size_t i = 0; i < a.size(); ++i) {
                const int x = static_cast<int>(i % canvas_width);
                if (x < span.first || x > span.last) {
                    ASSERT_EQ(a[i], b[i]) << "column " << x << ", phase " << int(phase);
                }
            }
        }
}

// The first frame and anything but the bird may change any column; the same frame none.
TEST(SceneChanges, TheCanvasReportsWhatItsLastDrawingMayHaveChanged) {
    SceneView view{ViewPhase::Playing, 80, 0, 0, 100, 1, 2, {{300, 80}}, 0};
    SceneCanvas scene;
    std::vector<std::uint32_t> canvas(canvas_pixel_count);
    std::vector<int> firsts;
    for (float bird_step : {0.0f, 0.0f, 1.0f, 1.0f}) {
        view.bird_y += bird_step, view.scroll += firsts.size() == 3;
        scene.draw(view, canvas.data(), canvas.size());
        firsts.push_back(scene.changed.empty() ? -1 : scene.changed.first);
    }
    EXPECT_EQ(firsts, (std::vector<int>{0, -1, bird_first_column, 0}));
}

}  // namespace
}  // namespace skimbo
