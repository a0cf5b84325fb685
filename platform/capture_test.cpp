// Frame captures as files on disk: the PPM bytes, and the two ways writing them can fail.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>

#include "platform/platform.h"
#include "tests/support/scratch_dir.h"

namespace skimbo {
namespace {

using namespace std::string_literals;

class Capture : public ::testing::Test {
protected:
    test_support::ScratchDir scratch;
    std::string dir = scratch.path;
    Canvas canvas{};


    Platform capturing_into(const std::string& capture_dir) {
        Options options;
        options.headless = true;
        options.capture_dir = capture_dir;
        return Platform(options);
    }

    std::string read(const std::string& name) {
        std::ifstream in(dir + "/" + name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    std::string failure_of_capture(Platform& platform) {
        try {
            platform.capture(canvas, "0-ready");
        } catch (const std::runtime_error& failure) {
            return failure.what();
        }
        return "";
    }
};

TEST_F(Capture, WritesTheHeaderThenRgbBytesInCanvasOrder) {
    canvas.fill(0x00FF8000);
    canvas[1] = 0xAB123456;  // a stray top byte is not part of the pixel
    canvas[canvas_pixel_count - 1] = 0x00010203;
    Platform platform = capturing_into(dir);
    platform.capture(canvas, "1500-frame");
    std::string file = read("1500-frame.ppm");
    ASSERT_EQ(file.size(), 330255u);
    EXPECT_EQ(file.substr(0, 15), "P6\n640 172\n255\n");
    EXPECT_EQ(file.substr(15, 6), "\xFF\x80\x00\x12\x34\x56"s);
    EXPECT_EQ(file.substr(21, 3), "\xFF\x80\x00"s);
    EXPECT_EQ(file.substr(330252), "\x01\x02\x03"s);
}

TEST_F(Capture, ReplacesAnExistingFile) {
    std::ofstream(dir + "/0-ready.ppm") << std::string(400000, 'x');
    Platform platform = capturing_into(dir);
    platform.capture(canvas, "0-ready");
    EXPECT_EQ(read("0-ready.ppm").size(), 330255u);
}

TEST_F(Capture, WithoutADirectoryNothingIsWritten) {
    Platform platform = capturing_into("");
    EXPECT_EQ(failure_of_capture(platform), "");
}

TEST_F(Capture, AMissingDirectoryCannotBeOpened) {
    Platform platform = capturing_into(dir + "/missing");
    EXPECT_EQ(failure_of_capture(platform), "capture-open");
}

TEST_F(Capture, AFullDeviceFailsTheWrite) {
    ASSERT_EQ(symlink("/dev/full", (dir + "/0-ready.ppm").c_str()), 0);
    Platform platform = capturing_into(dir);
    EXPECT_EQ(failure_of_capture(platform), "capture-write");
}

}  // namespace
}  // namespace skimbo
