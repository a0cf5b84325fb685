// Build-time art generator: draws every sprite and image and writes them, packed
// (render/art_pack.h), with the runs of their rows into one C++ source file, after checking
// the properties the renderer relies on. Usage: skimbo-artgen OUTPUT.cpp
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "render/art/art.h"
#include "render/art/pack.h"
#include "render/assets.h"
#include "render/blend.h"
#include "render/canvas.h"

namespace {

using skimbo::art::Pixels;

struct Output {
    std::FILE* file;
    std::vector<skimbo::SpriteRun> runs;  // of every sprite, written last as art_runs

    // The runs of every row of each item (width pixels a row), as SpriteRow records pointing
    // into art_runs.
    void rows(const char* name, const std::vector<Pixels>& items, std::size_t width, bool nested) {
        std::fprintf(file, "const SpriteRow %s = {\n", name);
        for (const Pixels& px : items) {
            if (nested) std::fputs("{\n", file);
            for (std::size_t row = 0; row < px.size() / width; ++row) {
                std::size_t first = runs.size();
                add_runs(px.data() + row * width, width);
                std::fprintf(file, "{art_runs + %zu, %zu},%s", first, runs.size() - first, row % 4 == 3 ? "\n" : "");
            }
            if (nested) std::fputs("},\n", file);
        }
        std::fputs("};\n", file);
    }

    // Opaque stretches long enough to be worth a copy become opaque runs. What lies between
    // them becomes mixed runs, which the blits blend four pixels at a time whatever their
    // alpha; only their clear ends, and clear gaps wider than a few vectors, are left out.
    void add_runs(const std::uint32_t* row, std::size_t width) {
        constexpr std::size_t min_copy = 16, min_gap = 8;
        std::vector<skimbo::SpriteRun> found;
        auto add = [&](std::size_t begin, std::size_t end, bool opaque) {
            found.push_back({static_cast<std::uint8_t>(begin), static_cast<std::uint8_t>(end - begin), opaque});
        };
        auto stretch = [&](std::size_t col, auto same) {
            std::size_t end = col;
            while (end < width && same(row[end] >> 24)) ++end;
            return end;
        };
        std::size_t mixed = width, last_visible = 0;  // the mixed run being gathered, if any
        auto close_mixed = [&] {
            if (mixed < width) add(mixed, last_visible + 1, false);
            mixed = width;
        };
        for (std::size_t col = 0; col < width;) {
            std::size_t opaque_end = stretch(col, [](std::uint32_t a) { return a == 255; });
            std::size_t clear_end = stretch(col, [](std::uint32_t a) { return a == 0; });
            if (opaque_end - col >= min_copy) {
                close_mixed();
                add(col, opaque_end, true);
                col = opaque_end;
            } else if (clear_end > col) {
                if (clear_end - col >= min_gap || clear_end == width) close_mixed();
                col = clear_end;
            } else {
                if (mixed == width) mixed = col;
                last_visible = col++;
            }
        }
        close_mixed();
        pad_mixed_runs(found, width);
        runs.insert(runs.end(), found.begin(), found.end());
    }

    // A mixed run grows over the clear pixels beside it to a whole number of vectors where
    // there is room, since blending a clear pixel changes nothing.
    static void pad_mixed_runs(std::vector<skimbo::SpriteRun>& row_runs, std::size_t width) {
        constexpr std::size_t vector_pixels = 4;
        for (std::size_t i = 0; i < row_runs.size(); ++i) {
            skimbo::SpriteRun& run = row_runs[i];
            if (run.opaque) continue;
            std::size_t begin = run.start, end = begin + run.length;
            std::size_t room_end = i + 1 < row_runs.size() ? row_runs[i + 1].start : width;
            std::size_t room_begin = i > 0 ? row_runs[i - 1].start + row_runs[i - 1].length : 0;
            std::size_t want = (end - begin + vector_pixels - 1) / vector_pixels * vector_pixels;
            end = std::min(room_end, begin + want);
            begin = end - std::min(want, end - room_begin);
            run = {static_cast<std::uint8_t>(begin), static_cast<std::uint8_t>(end - begin), false};
        }
    }

    void run_table() {
        std::fprintf(file, "const SpriteRun art_runs[%zu] = {\n", runs.size());
        for (std::size_t i = 0; i < runs.size(); ++i)
            std::fprintf(file, "{%u, %u, %s},%s", runs[i].start, runs[i].length, runs[i].opaque ? "true" : "false",
                         i % 6 == 5 ? "\n" : "");
        std::fputs("};\n", file);
    }
};

bool all_opaque(const Pixels& px) {
    for (std::uint32_t p : px)
        if (p >> 24 != 255) return false;
    return true;
}

bool premultiplied(const Pixels& px) {
    for (std::uint32_t p : px) {
        std::uint32_t a = p >> 24;
        if ((p >> 16 & 255) > a || (p >> 8 & 255) > a || (p & 255) > a) return false;
    }
    return true;
}

bool clear_pipe_margins(const Pixels& px) {
    for (std::size_t i = 0; i < px.size(); ++i) {
        std::size_t col = i % 36;
        if ((col < 2 || col > 33) && px[i] != 0) return false;
    }
    return true;
}

std::vector<Pixels> font(int size) {
    std::vector<Pixels> glyphs;
    for (int g = 0; g < 36; ++g) glyphs.push_back(skimbo::art::glyph(g, size));
    return glyphs;
}

// Glyphs or frames one after another, as the program stores them: one image a row of cells high.
Pixels joined(const std::vector<Pixels>& items) {
    Pixels all;
    for (const Pixels& px : items) all.insert(all.end(), px.begin(), px.end());
    return all;
}

int fail(const char* what) {
    std::fprintf(stderr, "skimbo-artgen: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    namespace a = skimbo::art;
    if (argc != 2) return fail("usage: skimbo-artgen OUTPUT.cpp");
    Pixels backdrop = a::backdrop(), ground = a::ground(), body = a::pipe_body();
    if (!all_opaque(backdrop) || !all_opaque(ground)) return fail("backdrop and ground must be opaque");
    if (!clear_pipe_margins(body)) return fail("pipe body columns 0, 1, 34 and 35 must be transparent");
    std::vector<Pixels> birds;
    for (int f = 0; f < 6; ++f) birds.push_back(a::bird(f));
    std::vector<Pixels> singles{a::pipe_cap(), a::cloud(), a::play_button(), a::restart_button(), a::close_button(),
                                a::pause_button(), backdrop, ground, body};
    std::vector<Pixels> small = font(10), medium = font(16), large = font(26);
    // The blits blend whole runs, clear pixels included, so every pixel must be premultiplied.
    for (const std::vector<Pixels>* group : {&singles, &birds, &small, &medium, &large})
        for (const Pixels& px : *group)
            if (!premultiplied(px)) return fail("a colour channel exceeds its alpha");
    // The outlined text draws its outline with the glyphs themselves.
    for (const std::vector<Pixels>* font : {&small, &medium, &large})
        for (const Pixels& px : *font)
            for (std::uint32_t p : px)
                if (p != skimbo::premultiply(skimbo::glyph_colour, p >> 24))
                    return fail("a glyph pixel is not the glyph colour at its alpha");

    std::string tmp = std::string(argv[1]) + ".tmp";
    Output out{std::fopen(tmp.c_str(), "w"), {}};
    if (!out.file) return fail("cannot open the output file");
    std::fputs("// Generated by skimbo-artgen from render/art/; edit the drawing code, not this file.\n"
               "#include \"render/art_data.h\"\n\nnamespace skimbo::art_data {\n\n", out.file);
    if (!skimbo::art::write_packed(out.file, {{"pipe_cap", singles[0], 36, 12},
                                              {"font_small", joined(small), 10, 36 * 10},
                                              {"font_medium", joined(medium), 16, 36 * 16},
                                              {"font_large", joined(large), 26, 36 * 26},
                                              {"cloud", singles[1], 64, 28},
                                              {"bird", joined(birds), 26, 6 * 20},
                                              {"play_button", singles[2], 40, 40},
                                              {"restart_button", singles[3], 40, 40},
                                              {"close_button", singles[4], 28, 28},
                                              {"pause_button", singles[5], 28, 28},
                                              {"backdrop", backdrop, 640, 158},
                                              {"ground", ground, 404, 14},
                                              {"pipe_body", body, 36, 172}}))
        return fail("an image is not its stated size, or its packed form does not unpack to it");

    out.rows("pipe_cap_rows[12]", {singles[0]}, 36, false);
    out.rows("font_small_rows[36][10]", small, 10, true);
    out.rows("font_medium_rows[36][16]", medium, 16, true);
    out.rows("font_large_rows[36][26]", large, 26, true);
    out.rows("cloud_rows[28]", {singles[1]}, 64, false);
    out.rows("play_button_rows[40]", {singles[2]}, 40, false);
    out.rows("restart_button_rows[40]", {singles[3]}, 40, false);
    out.rows("close_button_rows[28]", {singles[4]}, 28, false);
    out.rows("pause_button_rows[28]", {singles[5]}, 28, false);
    out.rows("pipe_body_rows[172]", {body}, 36, false);
    out.run_table();
    std::fputs("\n}  // namespace skimbo::art_data\n", out.file);
    bool ok = std::fclose(out.file) == 0;
    if (!ok || std::rename(tmp.c_str(), argv[1]) != 0) return fail("cannot write the output file");
    return 0;
}
