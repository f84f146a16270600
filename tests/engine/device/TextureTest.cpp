// Tests of texture loading: shrinking, the cache key, alpha maps and sharing through the map cache.
#include <gtest/gtest.h>
#include <cstring>
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/core/MapCache.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

namespace {

RecordingTexture* NewTexture(RecordingDevice& device)
{
    return static_cast<RecordingTexture*>(device.CreateTexture());
}

uint16_t Texel16(const RecordingResource* resource, size_t i)
{
    uint16_t v;
    std::memcpy(&v, resource->pixels.data() + 2 * i, 2);
    return v;
}

uint32_t Texel32(const RecordingResource* resource, size_t i)
{
    uint32_t v;
    std::memcpy(&v, resource->pixels.data() + 4 * i, 4);
    return v;
}

// Alpha image whose blue channel runs 126, 127, 128, 129 along the row.
std::string AlphaRamp()
{
    return EncodePng(4, 1, {0, 0, 126, 0, 0, 127, 0, 0, 128, 0, 0, 129});
}

}  // namespace

TEST(MapCacheTest, CountsUsesAndFreesOnTheLastRelease)
{
    MapCache cache;
    EXPECT_TRUE(cache.Release("unknown"));
    auto first = std::make_unique<MapResource>();
    MapResource* held = first.get();
    EXPECT_EQ(held, cache.Add("sky.jpg", std::move(first)));
    // A second resource under a known key only counts a use; the first stays.
    EXPECT_EQ(held, cache.Add("sky.jpg", std::make_unique<MapResource>()));
    EXPECT_EQ(2, cache.GetCount("sky.jpg"));
    EXPECT_TRUE(cache.Release("sky.jpg"));
    EXPECT_EQ(held, cache.Find("sky.jpg"));
    EXPECT_FALSE(cache.Release("sky.jpg"));
    EXPECT_EQ(nullptr, cache.Find("sky.jpg"));
    EXPECT_TRUE(cache.Release("sky.jpg"));
}

TEST(TextureTest, LargeImagesShrinkToTheSquareMaximum)
{
    // 1024 x 512 with its left half red and right half blue.
    std::vector<uint8_t> rgb(1024 * 512 * 3, 0);
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 1024; ++x) {
            uint8_t* p = rgb.data() + (y * 1024 + x) * 3;
            (x < 512 ? p[0] : p[2]) = 255;
        }
    ScopedTestPak pak({{"big.png", EncodePng(1024, 512, rgb)}, {"small.png", EncodePng(256, 2, SolidRgb(256, 2, 1, 1, 1))}});
    RecordingDevice device;
    device.SetMaxTextureSizeForTest(256);
    device.Open(640, 480, 32);
    LogCapture log;

    RecordingTexture* texture = NewTexture(device);
    EXPECT_TRUE(texture->Load("big.png", false));
    EXPECT_EQ(256u, texture->GetWidth());
    EXPECT_EQ(256u, texture->GetHeight());
    EXPECT_TRUE(log.Contains("Loaded [ big.png ] map. (256x256x32)"));
    const RecordingResource* pixels = texture->GetPixels();
    ASSERT_EQ(256u * 256u * 4u, pixels->pixels.size());
    EXPECT_EQ(0x00FF0000u, Texel32(pixels, 127));
    EXPECT_EQ(0x000000FFu, Texel32(pixels, 128));
    EXPECT_EQ(0x000000FFu, Texel32(pixels, 255 * 256 + 255));

    // Within the limit nothing changes, even when not square.
    RecordingTexture* small = NewTexture(device);
    small->Load("small.png", false);
    EXPECT_EQ(256u, small->GetWidth());
    EXPECT_EQ(2u, small->GetHeight());
    device.DestroyTexture(texture);
    device.DestroyTexture(small);
}

TEST(TextureTest, KeyIgnoresDirectoriesAndCachedLoadsReadNoFile)
{
    ScopedTestPak pak({{"gfx\\a.jpg", EncodeJpeg(8, 8, 3, SolidRgb(8, 8, 10, 20, 30))}});
    RecordingDevice device;
    device.Open(640, 480, 16);
    LogCapture log;

    RecordingTexture* first = NewTexture(device);
    first->Load("GFX\\a.jpg", false);
    EXPECT_EQ("a.jpg", first->GetKey());
    EXPECT_TRUE(log.Contains("Loaded [ a.jpg ] map. (8x8x16)"));
    ASSERT_EQ(1u, first->uploads.size());
    EXPECT_FALSE(first->uploads[0].adopted);
    EXPECT_EQ(TextureFormat::RGB565, first->uploads[0].format);  // display pixels as they are, 16 bits

    // The second texture finds the key: it adopts the resource and reads nothing
    // (the archive would answer "a.jpg" with no such entry).
    RecordingTexture* second = NewTexture(device);
    EXPECT_TRUE(second->Load("a.jpg", true));
    ASSERT_EQ(1u, second->uploads.size());
    EXPECT_TRUE(second->uploads[0].adopted);
    EXPECT_EQ(8u, second->GetWidth());
    EXPECT_EQ(first->GetPixels(), second->GetPixels());
    // One line for the name, one for the (empty) alpha name.
    EXPECT_EQ(1, log.CountOf("Cached [ a.jpg ] map."));
    EXPECT_EQ(1, log.CountOf("Cached [  ] map."));
    EXPECT_EQ(2, device.GetMapCache().GetCount("a.jpg"));
    device.DestroyTexture(first);
    device.DestroyTexture(second);
}

TEST(TextureTest, SharedResourceLivesUntilTheLastTextureGoes)
{
    ScopedTestPak pak({{"logo.png", EncodePng(2, 2, SolidRgb(2, 2, 5, 6, 7))}, {"logoa.png", EncodePng(2, 2, SolidRgb(2, 2, 0, 0, 0))}});
    RecordingDevice device;
    device.Open(640, 480, 32);
    RecordingTexture* a = NewTexture(device);
    RecordingTexture* b = NewTexture(device);
    RecordingTexture* plain = NewTexture(device);
    a->SetAlphaMap("GFX\\logoa.png", 128);
    b->SetAlphaMap("logoa.png", 128);
    a->Load("logo.png", false);
    b->Load("logo.png", false);
    plain->Load("logo.png", false);
    EXPECT_EQ("logo.pnglogoa.png", a->GetKey());
    // Same colour map without the alpha map is another key.
    EXPECT_NE(a->GetPixels(), plain->GetPixels());
    EXPECT_EQ(a->GetPixels(), b->GetPixels());

    MapCache& cache = device.GetMapCache();
    device.DestroyTexture(a);
    EXPECT_NE(nullptr, cache.Find("logo.pnglogoa.png"));
    device.DestroyTexture(b);
    EXPECT_EQ(nullptr, cache.Find("logo.pnglogoa.png"));
    EXPECT_NE(nullptr, cache.Find("logo.png"));
    device.DestroyTexture(plain);
    EXPECT_EQ(0u, cache.GetSize());
}

TEST(TextureTest, AlphaThresholdMakesAMaskAnd255KeepsEightBits)
{
    ScopedTestPak pak({{"ramp.png", AlphaRamp()}, {"colour.png", EncodePng(4, 1, SolidRgb(4, 1, 0xFF, 0x80, 0x40))}});
    RecordingDevice device;
    device.Open(640, 480, 32);
    LogCapture log;

    RecordingTexture* mask = NewTexture(device);
    mask->SetAlphaMap("ramp.png", 128);
    mask->LoadAlphaMap();
    EXPECT_EQ(1, mask->GetAlphaMode());
    ASSERT_EQ(4u, mask->GetAlphaPixels().size());
    EXPECT_EQ(0xFFFFFFFFu, mask->GetAlphaPixels()[1]);
    EXPECT_EQ(0xFFFFFFFFu, mask->GetAlphaPixels()[2]);  // blue 128
    EXPECT_EQ(0u, mask->GetAlphaPixels()[3]);           // blue 129
    EXPECT_TRUE(log.Contains("Loaded [ ramp.png ] map. (4x1x32)"));

    // Mask textures upload as 4-4-4-4 with the alpha nibble from the mask.
    mask->Load("colour.png", false);
    ASSERT_EQ(TextureFormat::ARGB4444, mask->GetPixels()->format);
    EXPECT_EQ(0xFF84, Texel16(mask->GetPixels(), 2));
    EXPECT_EQ(0x0F84, Texel16(mask->GetPixels(), 3));
    EXPECT_TRUE(mask->GetAlphaPixels().empty());  // freed after the upload

    // The threshold is not part of the key: while the mask lives, the same pair shares it.
    RecordingTexture* shared = NewTexture(device);
    shared->SetAlphaMap("ramp.png", 255);
    shared->Load("colour.png", false);
    EXPECT_EQ(TextureFormat::ARGB4444, shared->GetPixels()->format);
    device.DestroyTexture(shared);
    device.DestroyTexture(mask);

    RecordingTexture* eight = NewTexture(device);
    eight->SetAlphaMap("ramp.png", 255);
    eight->Load("colour.png", false);
    EXPECT_EQ(8, eight->GetAlphaMode());
    ASSERT_EQ(TextureFormat::ARGB32, eight->GetPixels()->format);
    EXPECT_EQ(0x7EFF8040u, Texel32(eight->GetPixels(), 0));
    EXPECT_EQ(0x81FF8040u, Texel32(eight->GetPixels(), 3));

    // Without an alpha name nothing is loaded.
    RecordingTexture* none = NewTexture(device);
    none->LoadAlphaMap();
    EXPECT_TRUE(none->GetAlphaPixels().empty());
    device.DestroyTexture(eight);
    device.DestroyTexture(none);
}

TEST(TextureTest, AlphaMapOfAnotherSizeFollowsTheColourMap)
{
    // A 2 x 1 alpha map for a 4 x 2 colour map: stretched, never read past its end.
    ScopedTestPak pak({{"c.png", EncodePng(4, 2, SolidRgb(4, 2, 0, 0, 0))}, {"a.png", EncodePng(2, 1, {0, 0, 0, 0, 0, 255})}});
    RecordingDevice device;
    device.Open(640, 480, 16);
    RecordingTexture* texture = NewTexture(device);
    texture->SetAlphaMap("a.png", 128);
    texture->Load("c.png", false);
    const RecordingResource* pixels = texture->GetPixels();
    ASSERT_EQ(TextureFormat::ARGB4444, pixels->format);
    ASSERT_EQ(8u * 2u, pixels->pixels.size());
    const uint16_t expected[8] = {0xF000, 0xF000, 0, 0, 0xF000, 0xF000, 0, 0};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(expected[i], Texel16(pixels, i)) << i;
    device.DestroyTexture(texture);
}

TEST(TextureTest, SixteenBitDisplaysUploadTheirOwnPacking)
{
    ScopedTestPak pak({{"c.png", EncodePng(1, 1, {0xFF, 0xFF, 0x00})}});
    RecordingDevice d565;
    d565.Open(640, 480, 16);
    RecordingTexture* t565 = NewTexture(d565);
    t565->Load("c.png", false);
    EXPECT_EQ(0xFFE0, Texel16(t565->GetPixels(), 0));

    RecordingDevice d555;
    d555.SetRedMaskForTest(0x7C00);
    d555.Open(640, 480, 16);
    RecordingTexture* t555 = NewTexture(d555);
    t555->Load("c.png", false);
    EXPECT_EQ(0x7FE0, Texel16(t555->GetPixels(), 0));
    d565.DestroyTexture(t565);
    d555.DestroyTexture(t555);
}

// A changed image leaves the cache's lookup: new loads read the file again while the
// textures made before keep their resource until they go, and nothing is freed twice.
TEST(TextureTest, AForgottenImageIsReadAgainWhileOldUsersKeepTheirs)
{
    ScopedTestPak pak({{"logo.png", EncodePng(2, 2, SolidRgb(2, 2, 5, 6, 7))},
                       {"mask.png", EncodePng(2, 2, SolidRgb(2, 2, 0, 0, 0))},
                       {"other.png", EncodePng(2, 2, SolidRgb(2, 2, 1, 1, 1))}});
    RecordingDevice device;
    device.Open(640, 480, 32);
    MapCache& cache = device.GetMapCache();
    RecordingTexture* oldPlain = NewTexture(device);
    RecordingTexture* oldMasked = NewTexture(device);
    RecordingTexture* maskedElsewhere = NewTexture(device);
    RecordingTexture* other = NewTexture(device);
    oldPlain->Load("logo.png", false);
    oldMasked->SetAlphaMap("mask.png", 128);
    oldMasked->Load("logo.png", false);
    maskedElsewhere->SetAlphaMap("LOGO.PNG", 128);  // the same file as an alpha image, in other case
    maskedElsewhere->Load("other.png", false);
    other->Load("other.png", false);

    // Both keys built from logo.png as colour image and the one with it as alpha image go.
    EXPECT_EQ(3u, ForgetCachedImage(device, "gfx\\Logo.png"));
    EXPECT_EQ(3u, cache.GetRetiredCount());
    EXPECT_EQ(nullptr, cache.Find("logo.png"));
    EXPECT_NE(nullptr, cache.Find("other.png"));

    RecordingTexture* fresh = NewTexture(device);
    fresh->Load("logo.png", false);
    ASSERT_EQ(1u, fresh->uploads.size());
    EXPECT_FALSE(fresh->uploads[0].adopted) << "read again, not adopted";
    EXPECT_NE(oldPlain->GetPixels(), fresh->GetPixels());
    EXPECT_EQ(1, cache.GetCount("logo.png"));

    // The old users release their retired resources without touching the fresh one.
    device.DestroyTexture(oldPlain);
    device.DestroyTexture(oldMasked);
    device.DestroyTexture(maskedElsewhere);
    EXPECT_EQ(0u, cache.GetRetiredCount());
    EXPECT_EQ(1, cache.GetCount("logo.png"));
    EXPECT_EQ(fresh->GetPixels(), static_cast<const RecordingResource*>(cache.Find("logo.png")));
    device.DestroyTexture(fresh);
    device.DestroyTexture(other);
    EXPECT_EQ(0u, cache.GetSize());
}
