// Frame capture: PNG files written pixel-exact and numbered, failures reported.
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <algorithm>
#include <string>
#include <thread>
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
    capture.Finish();
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
        capture.Finish();
        FAIL() << "no error";
    } catch (const AppError& e) {
        EXPECT_NE(std::string(e.what()).find("frame_000000.png"), std::string::npos) << e.what();
    }
}

namespace {

// A frame whose pixels say its number, so order and completeness can be checked back.
std::vector<uint8_t> NumberedFrame(int index, int w, int h)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = static_cast<uint8_t>(index * 7 + i * 13 + (i / 97));
    return rgb;
}

}  // namespace

TEST(FrameCapture, ManyWorkersStillWriteEveryFrameCompleteNumberedAndInOrder)
{
    for (unsigned threads : {1u, 3u, 0u}) {
        SCOPED_TRACE(threads);
        const fs::path dir = TempFolder("capture-pool");
        const int w = 64, h = 48, frames = 40;
        {
            FrameCapture capture(dir.string(), threads);
            EXPECT_EQ(capture.GetWorkerCount(), threads ? threads : std::max(1u, std::thread::hardware_concurrency()));
            for (int i = 0; i < frames; ++i) {
                capture.WriteFrame(NumberedFrame(i, w, h), w, h);
                // Whatever is finished so far is a gap-free run from frame 0. Looked at from
                // the newest down, so frames renamed during the look cannot fake a gap.
                int newest = i;
                while (newest >= 0 && !fs::exists(capture.FramePath(newest)))
                    --newest;
                for (int before = 0; before < newest; ++before)
                    EXPECT_TRUE(fs::exists(capture.FramePath(before))) << "gap at " << before << " below " << newest;
            }
            capture.Finish();
        }
        int files = 0;
        for (const auto& entry : fs::directory_iterator(dir)) {
            ++files;
            EXPECT_EQ(entry.path().extension(), ".png") << "left behind: " << entry.path();
        }
        EXPECT_EQ(files, frames);
        for (int i = 0; i < frames; ++i) {
            std::vector<uint8_t> back;
            int bw = 0, bh = 0;
            ASSERT_TRUE(ReadRgbPng((dir / ("frame_" + std::string(6 - std::to_string(i).size(), '0') +
                                           std::to_string(i) + ".png")).string(),
                                   back, bw, bh));
            EXPECT_EQ(back, NumberedFrame(i, w, h)) << "frame " << i;
        }
    }
}

TEST(FrameCapture, AFailedFrameStopsTheCaptureNamesItsFileAndLeavesNoPartialFile)
{
    const fs::path dir = TempFolder("capture-fail");
    FrameCapture capture(dir.string(), 2);
    const int w = 8, h = 8;
    capture.WriteFrame(NumberedFrame(0, w, h), w, h);
    capture.Finish();
    // A folder in the way of frame 1's final name: its rename fails.
    fs::create_directories(dir / "frame_000001.png" / "blocker");
    std::string message;
    try {
        for (int i = 1; i < 30; ++i)
            capture.WriteFrame(NumberedFrame(i, w, h), w, h);
        capture.Finish();
    } catch (const AppError& e) {
        message = e.what();
    }
    EXPECT_NE(message.find("frame_000001.png"), std::string::npos) << message;
    EXPECT_NE(message.find("Cannot write ["), std::string::npos) << message;
    // Nothing after the failed frame took a final name, and no temporary file stayed.
    EXPECT_FALSE(fs::exists(dir / "frame_000002.png"));
    for (const auto& entry : fs::directory_iterator(dir))
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
    // Later frames keep raising the error rather than writing silently past the gap.
    EXPECT_THROW(capture.WriteFrame(NumberedFrame(40, w, h), w, h), AppError);
}

TEST(FrameCapture, WholeFileWritesReplaceAtomicallyAndReportFailures)
{
    const fs::path dir = TempFolder("capture-whole");
    fs::create_directories(dir);
    const std::string path = (dir / "out.bin").string();
    std::string error;
    ASSERT_TRUE(WriteFileWhole(path, {1, 2, 3}, error)) << error;
    ASSERT_TRUE(WriteFileWhole(path, {4, 5}, error)) << error;
    EXPECT_EQ(fs::file_size(path), 2u);
    EXPECT_FALSE(fs::exists(path + ".part"));
    // A full device: the write fails, the old file stays whole, no temporary is left.
    if (fs::exists("/dev/full")) {
        fs::create_symlink("/dev/full", dir / "full.bin.part");
        EXPECT_FALSE(WriteFileWhole((dir / "full.bin").string(), std::vector<uint8_t>(1 << 16, 7), error));
        EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(dir / "full.bin"));
    }
}
