// Frame capture: PNG files written pixel-exact and numbered, failures reported.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/FrameCapture.h"
#include "engine/core/Fatal.h"

namespace fs = std::filesystem;

namespace {

// Reads an 8-bit RGB PNG back; false when it is not one.
bool ReadRgbPng(const std::string& path, std::vector<uint8_t>& rgb, int& width, int& height)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

fs::path TempFolder(const char* name)
{
    fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / name;
    fs::remove_all(dir);
    return dir;
}

}  // namespace

TEST(FrameCapture, WritesNumberedPixelExactPngFiles)
{
    const fs::path dir = TempFolder("capture") / "nested";
    FrameCapture capture(dir.string());
    EXPECT_TRUE(fs::is_directory(dir));

    const int w = 7, h = 3;  // odd width: rows are not 4-byte aligned
    std::vector<uint8_t> first(w * h * 3), second(w * h * 3, 0xFF);
    for (size_t i = 0; i < first.size(); ++i)
        first[i] = static_cast<uint8_t>(i * 37 + 11);
    capture.WriteFrame(first, w, h);
    capture.WriteFrame(second, w, h);
    EXPECT_EQ(capture.GetFrameCount(), 2);
    EXPECT_EQ(fs::path(capture.FramePath(0)).filename(), "frame_000000.png");
    EXPECT_EQ(fs::path(capture.FramePath(1234567)).filename(), "frame_1234567.png");

    std::vector<uint8_t> back;
    int bw = 0, bh = 0;
    ASSERT_TRUE(ReadRgbPng((dir / "frame_000000.png").string(), back, bw, bh));
    EXPECT_EQ(bw, w);
    EXPECT_EQ(bh, h);
    EXPECT_EQ(back, first);
    ASSERT_TRUE(ReadRgbPng((dir / "frame_000001.png").string(), back, bw, bh));
    EXPECT_EQ(back, second);
    EXPECT_FALSE(fs::exists(dir / "frame_000002.png"));
}

TEST(FrameCapture, FailuresAreReportedNotIgnored)
{
    std::string error;
    std::vector<uint8_t> pixels(4 * 4 * 3);
    EXPECT_FALSE(WriteRgbPng("/nonexistent-folder/x.png", pixels, 4, 4, error));
    EXPECT_FALSE(error.empty());
    error.clear();
    // Too few pixels for the size: refused before anything is read past the end.
    const fs::path dir = TempFolder("capture-bad");
    fs::create_directories(dir);
    EXPECT_FALSE(WriteRgbPng((dir / "short.png").string(), pixels, 5, 4, error));
    EXPECT_FALSE(WriteRgbPng((dir / "empty.png").string(), pixels, 0, 4, error));

    // A capture folder that cannot be made (a file is in the way) is an application error.
    std::FILE* f = std::fopen((dir / "file").string().c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    EXPECT_THROW(FrameCapture((dir / "file").string()), AppError);
    // Writing into a folder that vanished raises the error with the file name.
    FrameCapture capture((dir / "gone").string());
    fs::remove_all(dir / "gone");
    try {
        capture.WriteFrame(pixels, 4, 4);
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_NE(std::string(e.what()).find("frame_000000.png"), std::string::npos) << e.what();
    }
}
