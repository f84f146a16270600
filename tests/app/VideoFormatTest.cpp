// Video formats, ffmpeg's command line, and failure texts.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/VideoExport.h"
#include "app/VideoFormat.h"

namespace {

bool Has(const std::vector<std::string>& args, const std::vector<std::string>& run)
{
    return std::search(args.begin(), args.end(), run.begin(), run.end()) != args.end();
}

}  // namespace

TEST(VideoFormat, TheExtensionChoosesContainerAndCodecs)
{
    struct Case {
        const char* path;
        const char* muxer;  // nullptr: refused
    } cases[] = {
        {"a.mp4", "mp4"}, {"dir/A.MKV", "matroska"}, {"x.y.webm", "webm"}, {"x.WebM", "webm"},
        {"a.avi", nullptr}, {"mp4", nullptr}, {"a.mp4/b", nullptr}, {"a.", nullptr}, {"", nullptr},
    };
    for (const Case& c : cases) {
        const VideoFormat* format = FindVideoFormat(c.path);
        if (c.muxer == nullptr) {
            EXPECT_EQ(format, nullptr) << c.path;
        } else {
            ASSERT_NE(format, nullptr) << c.path;
            EXPECT_STREQ(format->muxer, c.muxer) << c.path;
        }
    }
}

TEST(VideoFormat, FfmpegReadsRawFramesAndTheSoundPipeAndStopsWithThePictures)
{
    VideoEncoding encoding;
    encoding.width = 320;
    encoding.height = 240;
    encoding.fps = 29.97;
    encoding.withSound = true;
    const std::vector<std::string> mp4 = FfmpegArguments(*FindVideoFormat("o.mp4"), encoding, "o.mp4.part");
    EXPECT_EQ(mp4.front(), "ffmpeg");
    EXPECT_EQ(mp4.back(), "o.mp4.part");
    EXPECT_TRUE(Has(mp4, {"-f", "rawvideo", "-pix_fmt", "rgb24", "-s", "320x240", "-framerate", "29.97", "-i", "pipe:0"}));
    EXPECT_TRUE(Has(mp4, {"-i", "pipe:3"}));
    EXPECT_TRUE(Has(mp4, {"-af", "apad", "-shortest"}));
    EXPECT_TRUE(Has(mp4, {"-c:v", "libx264"}));
    EXPECT_TRUE(Has(mp4, {"-crf", "20"}));
    EXPECT_TRUE(Has(mp4, {"-c:a", "aac"}));
    EXPECT_TRUE(Has(mp4, {"-pix_fmt", "yuv420p"}));
    // The container is named: the temporary name's extension says nothing.
    EXPECT_TRUE(Has(mp4, {"-f", "mp4", "o.mp4.part"}));
    EXPECT_TRUE(Has(mp4, {"-nostdin"}));
    // A video of a section starts its soundtrack where the section starts.
    encoding.soundStart = 12.5;
    EXPECT_TRUE(Has(FfmpegArguments(*FindVideoFormat("o.mp4"), encoding, "t"),
                    {"-af", "atrim=start=12.500000,asetpts=N/SR/TB,apad", "-shortest"}));
    encoding.soundStart = 0.0;

    encoding.quality = 40;
    const std::vector<std::string> webm = FfmpegArguments(*FindVideoFormat("o.webm"), encoding, "t");
    EXPECT_TRUE(Has(webm, {"-c:v", "libvpx-vp9", "-b:v", "0"}));
    EXPECT_TRUE(Has(webm, {"-crf", "40"}));
    EXPECT_TRUE(Has(webm, {"-c:a", "libopus"}));
    EXPECT_TRUE(Has(webm, {"-f", "webm", "t"}));
    EXPECT_FALSE(Has(webm, {"-movflags"}));

    // A silent production: no second input, no sound codec.
    encoding.withSound = false;
    encoding.quality = -1;
    const std::vector<std::string> silent = FfmpegArguments(*FindVideoFormat("o.mkv"), encoding, "t");
    EXPECT_FALSE(Has(silent, {"pipe:3"}));
    EXPECT_FALSE(Has(silent, {"-c:a"}));
    EXPECT_FALSE(Has(silent, {"-shortest"}));
    EXPECT_TRUE(Has(silent, {"-f", "matroska", "t"}));
}

TEST(VideoFormat, FfmpegFailuresAreDescribedByTheirCause)
{
    const std::string full = DescribeFfmpegFailure(
        true, 1, "frame=  10\n[mp4 @ 0x1] Error writing trailer of x: No space left on device\n");
    EXPECT_EQ(full, "the disk is full (ffmpeg: [mp4 @ 0x1] Error writing trailer of x: No space left on device)");
    EXPECT_EQ(DescribeFfmpegFailure(true, 254, "first\nUnknown encoder 'libx264'\n\n"),
              "ffmpeg failed with exit status 254: Unknown encoder 'libx264'");
    EXPECT_EQ(DescribeFfmpegFailure(true, 1, ""), "ffmpeg failed with exit status 1");
    EXPECT_EQ(DescribeFfmpegFailure(false, 9, "   \n"), "ffmpeg was killed by signal 9");
    // A runaway message is cut.
    const std::string cut = DescribeFfmpegFailure(true, 1, std::string(5000, 'x'));
    EXPECT_LT(cut.size(), 400u);
}
