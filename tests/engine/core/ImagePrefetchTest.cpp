// Tests of decoding images ahead of use: same pixels and log, errors raised by the caller, bounded memory.
#include <gtest/gtest.h>
#include <chrono>
#include <string>
#include <thread>
#include <vector>
#include "engine/core/Fatal.h"
#include "engine/core/Image.h"
#include "engine/core/ImagePrefetch.h"
#include "engine/core/Log.h"
#include "support/MemoryArchive.h"
#include "support/TestImages.h"

namespace {

const DisplayFormat kDisplay32{32, 0x00FF0000};

std::vector<std::string> g_lines;
void RecordLine(const char* text)
{
    g_lines.emplace_back(text);
}

// A PNG with an ancillary chunk whose CRC is wrong: libpng warns and decodes the rest.
std::string PngWithWarning(int width, int height, uint8_t grey)
{
    std::string png = EncodePng(width, height, SolidRgb(width, height, grey, grey, grey));
    const std::string badText("\0\0\0\x04tEXtabcd\0\0\0\0", 16);
    return png.insert(33, badText);  // after the signature and IHDR
}

struct Loaded {
    std::vector<uint8_t> pixels;
    uint32_t width = 0, height = 0;
    std::vector<std::string> log;
};

Loaded Load(const char* name)
{
    Loaded loaded;
    g_lines.clear();
    loaded.pixels = LoadGFX(name, ImageConversion::ForDisplay, kDisplay32, loaded.width, loaded.height);
    loaded.log = g_lines;
    return loaded;
}

class ImagePrefetchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (int i = 0; i < 6; ++i)
            archive_.Add("img" + std::to_string(i) + ".png",
                         EncodePng(16 + i, 8, SolidRgb(16 + i, 8, 10 * i, 20, 30)));
        archive_.Add("photo.jpg", EncodeJpeg(24, 16, 3, SolidRgb(24, 16, 200, 100, 50)));
        archive_.Add("warns.png", PngWithWarning(8, 8, 77));
        archive_.Add("broken.png", "\x89PNG not really");
        SetLogCallback(RecordLine);
    }
    void TearDown() override
    {
        SetImagePrefetch(nullptr);
        SetLogCallback(nullptr);
        ClearLibraryErrorForTesting();
    }
    MemoryArchive archive_;
};

TEST_F(ImagePrefetchTest, LoadsGiveTheSamePixelsAndLogAsDecodingInPlaceEachDecodedOnce)
{
    const std::vector<std::string> names = {"img0.png", "photo.jpg", "warns.png", "img1.png", "img2.png",
                                            "img3.png", "img4.png",  "img5.png"};
    std::vector<Loaded> expected;
    for (const std::string& name : names)
        expected.push_back(Load(name.c_str()));
    ASSERT_FALSE(expected[2].log.empty()) << "the warning PNG should log a warning";

    for (unsigned threads : {1u, 3u}) {
        SCOPED_TRACE(threads);
        // Listed twice and with an unlisted name: duplicates are decoded once.
        std::vector<std::string> listed = names;
        listed.push_back("img0.png");
        ImagePrefetch prefetch(listed, kDisplay32, threads);
        SetImagePrefetch(&prefetch);
        // Give the workers time, so the log lines are kept until the images are used.
        while (prefetch.GetDecodedCount() < names.size())
            std::this_thread::yield();
        g_lines.clear();
        for (size_t i = 0; i < names.size(); ++i) {
            SCOPED_TRACE(names[i]);
            const Loaded got = Load(names[i].c_str());
            EXPECT_EQ(got.pixels, expected[i].pixels);
            EXPECT_EQ(got.width, expected[i].width);
            EXPECT_EQ(got.height, expected[i].height);
            EXPECT_EQ(got.log, expected[i].log);
        }
        EXPECT_EQ(prefetch.GetTakenCount(), names.size());
        // A second use decodes the file again, as without a prefetch.
        EXPECT_EQ(Load("img3.png").pixels, expected[5].pixels);
        EXPECT_EQ(prefetch.GetTakenCount(), names.size());
        SetImagePrefetch(nullptr);
    }
}

TEST_F(ImagePrefetchTest, ImagesAreTakenOnlyInThePixelFormatTheyWereMadeFor)
{
    const DisplayFormat display24{24, 0x00FF0000};
    const DisplayFormat display565{16, 0xF800};
    const DisplayFormat display555{16, 0x7C00};
    struct Case {
        DisplayFormat made;
        ImageConversion conversion;
        DisplayFormat asked;
        bool taken;
    } cases[] = {
        {kDisplay32, ImageConversion::ForDisplay, kDisplay32, true},    // colour maps
        {kDisplay32, ImageConversion::XRGB32, kDisplay32, true},   // alpha maps are XRGB32 as well
        {display565, ImageConversion::ForDisplay, display565, true},
        {display565, ImageConversion::XRGB32, display565, false},  // an alpha map wants XRGB32, not 16 bits
        {display565, ImageConversion::ForDisplay, display555, false},
        {display24, ImageConversion::ForDisplay, display24, true},
        {display24, ImageConversion::XRGB32, display24, false},
        {kDisplay32, ImageConversion::ForDisplay, display24, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.made.bitsPerPixel) + " " + std::to_string(static_cast<int>(c.conversion)) + " " +
                     std::to_string(c.asked.bitsPerPixel) + "/" + std::to_string(c.asked.redMask));
        uint32_t w = 0, h = 0;
        const std::vector<uint8_t> expected = LoadGFX("photo.jpg", c.conversion, c.asked, w, h);
        ImagePrefetch prefetch({"photo.jpg"}, c.made, 1);
        while (prefetch.GetDecodedCount() < 1)
            std::this_thread::yield();
        SetImagePrefetch(&prefetch);
        uint32_t gotW = 0, gotH = 0;
        EXPECT_EQ(LoadGFX("photo.jpg", c.conversion, c.asked, gotW, gotH), expected);
        EXPECT_EQ(gotW, w);
        EXPECT_EQ(gotH, h);
        EXPECT_EQ(prefetch.GetTakenCount(), c.taken ? 1u : 0u);
        SetImagePrefetch(nullptr);
    }
}

TEST_F(ImagePrefetchTest, FailuresAreRaisedByTheCallerWithTheirTextOnceAndLeaveItsErrorStateAlone)
{
    std::string alone;
    try {
        Load("broken.png");
    } catch (const CUserException& error) {
        alone = error.what();
    }
    ASSERT_FALSE(alone.empty());
    ClearLibraryErrorForTesting();

    for (const char* name : {"broken.png", "missing.png", "notes.txt"}) {
        SCOPED_TRACE(name);
        std::string expected;
        try {
            Load(name);
        } catch (const CUserException& error) {
            expected = error.what();
        }
        ClearLibraryErrorForTesting();

        testing::internal::CaptureStderr();
        {
            ImagePrefetch prefetch({name, "img0.png"}, kDisplay32, 2);
            SetImagePrefetch(&prefetch);
            while (prefetch.GetDecodedCount() < 1)
                std::this_thread::yield();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the failing worker ends too
            // The workers' failures touched neither this thread's message nor its flag.
            EXPECT_FALSE(IsLibraryErrorPending());
            std::string raised;
            try {
                Load(name);
            } catch (const CUserException& error) {
                raised = error.what();
            }
            EXPECT_EQ(raised, expected);
            EXPECT_TRUE(IsLibraryErrorPending());
            EXPECT_EQ(GetLibraryLastMessage(), expected);
            EXPECT_EQ(Load("img0.png").width, 16u);
        }
        const std::string printed = testing::internal::GetCapturedStderr();
        size_t count = 0;
        for (size_t at = printed.find(expected); at != std::string::npos; at = printed.find(expected, at + 1))
            ++count;
        EXPECT_EQ(count, 1u) << printed;  // the caller's report only
        ClearLibraryErrorForTesting();
    }
}

TEST_F(ImagePrefetchTest, WorkersWaitWhileUntakenImagesFillTheirBudgetAndTheCallerDecodesTheRest)
{
    std::vector<Loaded> expected;
    for (const char* name : {"img0.png", "img1.png", "img2.png"})
        expected.push_back(Load(name));
    // A budget of one byte: a single decoded image fills it.
    ImagePrefetch prefetch({"img0.png", "img1.png", "img2.png", "img3.png"}, kDisplay32, 2, 1);
    SetImagePrefetch(&prefetch);
    while (prefetch.GetDecodedCount() < 1)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_LE(prefetch.GetDecodedCount(), 2u);  // two workers may have started before the first ended

    // Asking for a later image first: it is not waited for, the caller decodes it.
    EXPECT_EQ(Load("img3.png").width, 19u);
    const char* names[] = {"img0.png", "img1.png", "img2.png"};
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Load(names[i]).pixels, expected[i].pixels) << names[i];
    EXPECT_GE(prefetch.GetTakenCount(), 1u);
}

TEST_F(ImagePrefetchTest, EndingWithUntakenImagesStopsTheWorkersAndUninstallsIt)
{
    {
        ImagePrefetch prefetch({"img0.png", "img1.png", "img2.png", "img3.png", "img4.png"}, kDisplay32, 2);
        SetImagePrefetch(&prefetch);
        EXPECT_EQ(GetImagePrefetch(), &prefetch);
    }
    EXPECT_EQ(GetImagePrefetch(), nullptr);
    ImagePrefetch none({}, kDisplay32, 4);
    EXPECT_EQ(none.GetDecodedCount(), 0u);
    std::vector<uint8_t> pixels;
    uint32_t w = 0, h = 0;
    EXPECT_FALSE(none.Take("img0.png", ImageConversion::ForDisplay, kDisplay32, pixels, w, h));
}

TEST(DeferredLog, KeepsItsThreadsLinesUntilTakenAndNestsOtherThreadsUnaffected)
{
    g_lines.clear();
    SetLogCallback(RecordLine);
    {
        DeferredLog outer;
        LogLine("one %d", 1);
        {
            DeferredLog inner;
            LogLine("two");
            EXPECT_EQ(inner.Take(), std::vector<std::string>{"two"});
        }
        LogLine("three");
        std::thread([] { LogLine("other thread"); }).join();
        EXPECT_EQ(outer.Take(), (std::vector<std::string>{"one 1", "three"}));
    }
    LogLine("after");
    EXPECT_EQ(g_lines, (std::vector<std::string>{"other thread", "after"}));
    SetLogCallback(nullptr);
}

}  // namespace
