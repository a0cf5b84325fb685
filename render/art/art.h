#pragma once
// Everything the generator draws, each as premultiplied ARGB words, row by row.
#include <cstdint>
#include <vector>

namespace skimbo::art {

using Pixels = std::vector<std::uint32_t>;

// One glyph (0-25 A-Z, 26-35 0-9) of the font whose cells are size x size pixels.
Pixels glyph(int index, int size);

Pixels backdrop();        // 640 x 158
Pixels ground();          // 404 x 14
Pixels pipe_body();       // 36 x 172
Pixels pipe_cap();        // 36 x 12
Pixels cloud();           // 64 x 28
Pixels bird(int frame);   // 26 x 20; frames 0-3 flight, 4-5 stunned
Pixels play_button();     // 40 x 40
Pixels restart_button();  // 40 x 40
Pixels close_button();    // 28 x 28
Pixels pause_button();    // 28 x 28

}  // namespace skimbo::art
