// Tests of the OpenGL device's enumeration, Init checks, texture limits and the pure helpers behind them.
#include <SDL2/SDL.h>
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include "support/GLTestSupport.h"
#include "engine/core/Fatal.h"
#include "engine/device/Texture.h"
#include "engine/device/gl/GLBatch.h"
#include "engine/device/gl/GLEnumeration.h"
#include "engine/device/gl/GLTextureFormat.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

TEST(GLDeviceSetup, ModeListAddsClassicSizesUpToTheDesktopAtBothDepths)
{
    DisplayReport report;
    report.desktopWidth = 1920;
    report.desktopHeight = 1080;
    report.sizes = {{1920, 1080}, {0, 0}, {800, 600}, {1920, 1080}};
    std::vector<ModeInfo> modes = BuildModeList(report);
    // 640x480, 800x600, 1024x768, 1280x960, 1920x1080 (1600x1200 is taller than the desktop).
    ASSERT_EQ(modes.size(), 10u);
    const int widths[] = {640, 640, 800, 800, 1024, 1024, 1280, 1280, 1920, 1920};
    for (size_t i = 0; i < modes.size(); ++i) {
        EXPECT_EQ(modes[i].width, widths[i]) << i;
        EXPECT_EQ(modes[i].bitsPerPixel, i % 2 == 0 ? 16 : 32) << i;
    }
    EXPECT_EQ(modes[6].height, 960);
    EXPECT_TRUE(BuildModeList(DisplayReport{}).empty());
}

TEST(GLDeviceSetup, SoftwareRenderersAreNotHardware)
{
    EXPECT_TRUE(IsSoftwareRenderer("llvmpipe (LLVM 15.0.6, 256 bits)"));
    EXPECT_TRUE(IsSoftwareRenderer("softpipe"));
    EXPECT_TRUE(IsSoftwareRenderer("Mesa X11 Software Rasterizer"));
    EXPECT_FALSE(IsSoftwareRenderer("AMD Radeon RX 6600 (radeonsi, navi23, LLVM 15.0.6)"));

    GLDevice device;
    ASSERT_GE(device.GetDriverCount(), 1);
    const DeviceInfo& info = device.GetDriver(0).GetDevice(0);
    const auto* native = static_cast<const GLDeviceObject*>(info.native);
    ASSERT_NE(native, nullptr);
    EXPECT_EQ(info.description.find("Hardware") != std::string::npos, native->hardware);
    // Modes sorted by width, each size at 16 and 32 bits.
    ASSERT_GE(info.GetModeCount(), 2);
    for (int i = 1; i < info.GetModeCount(); ++i) EXPECT_LE(info.GetMode(i - 1).width, info.GetMode(i).width);
    EXPECT_EQ(info.GetMode(0).bitsPerPixel, 16);
    EXPECT_EQ(info.GetMode(1).bitsPerPixel, 32);
    EXPECT_STREQ(device.GetDescription(), "OpenGL Module for Vireo! Library");
}

TEST(GLDeviceSetup, NoOpenGLAtAllIsAPlainTextError)
{
    if (SDL_WasInit(SDL_INIT_VIDEO) != 0) GTEST_SKIP() << "SDL video already running";
    // SDL's dummy video driver has a display but no OpenGL.
    const char* previous = std::getenv("SDL_VIDEODRIVER");
    std::string saved = previous ? previous : "";
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::string message;
    try {
        GLDevice device;
    } catch (const AppError& e) {
        message = e.what();
    }
    if (previous) setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    else unsetenv("SDL_VIDEODRIVER");
    EXPECT_EQ(message, "Could not find any suitable OpenGL driver.");
}

TEST(GLDeviceSetup, TooOldOpenGLStopsWithTheVersionMessage)
{
    // Mesa reads its version override once per process, so the check runs in a fresh one.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("MESA_GL_VERSION_OVERRIDE", "3.0", 1);
            try {
                GLDevice device;
                std::fprintf(stderr, "constructed\n");
            } catch (const CUserException& e) {
                std::fprintf(stderr, "<%s>\n", e.what());
            } catch (const AppError& e) {
                std::fprintf(stderr, "app error <%s>\n", e.what());
            }
            std::fflush(stderr);
            std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "\n<Found OpenGL 3\\.0, OpenGL 3\\.3 or higher required\\.>");
}

TEST(GLDeviceSetup, InitChecksSelectionsInOrderAndUsesTheSelectedMode)
{
    auto messageOf = [](GLDevice& device) {
        try {
            device.Init(nullptr, false, 0, 0, 0);
        } catch (const CUserException& e) {
            return std::string(e.what());
        }
        return std::string("no error");
    };
    GLDevice device;
    EXPECT_EQ(messageOf(device), "No driver selected.");
    device.SelectDriver(device.GetDriver(0));
    EXPECT_EQ(messageOf(device), "No device selected.");
    const DeviceInfo& info = device.GetDriver(0).GetDevice(0);
    device.SelectDevice(info);
    EXPECT_EQ(messageOf(device), "No video mode selected.");
    EXPECT_FALSE(device.IsInitialised());

    ModeInfo mode{64, 48, 16, nullptr};  // not in the list: headless capture sizes are allowed
    device.SelectMode(mode);
    LogCapture log;
    EXPECT_TRUE(device.Init(nullptr, false, 0, 0, 0));
    EXPECT_TRUE(log.Contains("Using 64x48x16 video mode."));
    EXPECT_EQ(device.GetWidth(), 64);
    EXPECT_EQ(device.GetHeight(), 48);
    EXPECT_EQ(device.GetBitsPerPixel(), 16);
    EXPECT_FLOAT_EQ(device.GetAspect(), 0.75f);
    EXPECT_EQ(device.GetSourceRect().right, 64);
    EXPECT_EQ(device.GetRedMask(), 0xF800u);
    EXPECT_GE(device.GetMaxTextureSize(), 1024);
    EXPECT_EQ(device.GetMinTextureSize(), 1);
    EXPECT_FALSE(device.IsFullScreen());
    EXPECT_EQ(device.IsHardware(), static_cast<const GLDeviceObject*>(info.native)->hardware);

    // A second Init changes nothing.
    EXPECT_TRUE(device.Init(nullptr, true, 320, 200, 32));
    EXPECT_EQ(device.GetWidth(), 64);
    EXPECT_EQ(device.GetBitsPerPixel(), 16);
    EXPECT_EQ(device.ReadBackBuffer().size(), 64u * 48u * 3u);
}

TEST(GLDeviceSetup, CappedTextureSizeShrinksImages)
{
    ScopedTestPak pak({{"wide.png", EncodePng(64, 32, SolidRgb(64, 32, 10, 20, 30))}});
    auto device = MakeTestDevice(16, 16);
    device->CapMaxTextureSize(16);
    EXPECT_EQ(device->GetMaxTextureSize(), 16);
    Texture* texture = device->CreateTexture();
    texture->Load("wide.png", false);
    EXPECT_EQ(texture->GetWidth(), 16u);
    EXPECT_EQ(texture->GetHeight(), 16u);
    int pitch = 0;
    auto* pixels = static_cast<uint32_t*>(texture->Lock(pitch));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pitch, 64);
    EXPECT_EQ(pixels[0], 0x000A141Eu);
    texture->Unlock();
    device->DestroyTexture(texture);
}

TEST(GLDeviceSetup, AlphaFormatsSkipOneBitAlpha)
{
    TextureFormat chosen = TextureFormat::RGB565;
    ASSERT_TRUE(ChooseAlphaFormat(1, chosen));
    EXPECT_EQ(chosen, TextureFormat::ARGB4444);
    ASSERT_TRUE(ChooseAlphaFormat(8, chosen));
    EXPECT_EQ(chosen, TextureFormat::ARGB32);
    // The one-bit format is offered, and first, but never chosen.
    int count = 0;
    const TextureFormat* offered = GetAlphaFormats(count);
    EXPECT_EQ(offered[0], TextureFormat::ARGB1555);
    EXPECT_EQ(DisplayTextureFormat(DisplayFormat{16, 0xF800}), TextureFormat::RGB565);
    EXPECT_EQ(DisplayTextureFormat(DisplayFormat{16, 0x7C00}), TextureFormat::RGB555);
    EXPECT_EQ(DisplayTextureFormat(DisplayFormat{32, 0xFF0000}), TextureFormat::XRGB32);
}

TEST(GLDeviceBatch, PrimitivesBecomeListsThatKeepWinding)
{
    Vertex v[5]{};
    for (int i = 0; i < 5; ++i) v[i].x = static_cast<float>(i);
    PrimitiveBatch batch;
    batch.Append(PrimitiveType::TriangleStrip, v, 5, nullptr, 0);
    EXPECT_EQ(batch.GetIndices(), (std::vector<uint32_t>{0, 1, 2, 2, 1, 3, 2, 3, 4}));
    EXPECT_EQ(batch.GetKind(), BatchKind::Triangles);
    // A fan after the strip: its indices start after the strip's vertices.
    batch.Append(PrimitiveType::TriangleFan, v, 4, nullptr, 0);
    EXPECT_EQ(std::vector<uint32_t>(batch.GetIndices().begin() + 9, batch.GetIndices().end()),
              (std::vector<uint32_t>{5, 6, 7, 5, 7, 8}));
    EXPECT_EQ(batch.GetVertices().size(), 9u);
    EXPECT_FALSE(batch.Accepts(PrimitiveType::LineList));
    EXPECT_TRUE(batch.Accepts(PrimitiveType::TriangleList));

    batch.Clear();
    batch.Append(PrimitiveType::LineStrip, v, 3, nullptr, 0);
    EXPECT_EQ(batch.GetIndices(), (std::vector<uint32_t>{0, 1, 1, 2}));
    batch.Clear();
    // An incomplete last primitive is left out.
    batch.Append(PrimitiveType::TriangleList, v, 5, nullptr, 0);
    EXPECT_EQ(batch.GetIndices(), (std::vector<uint32_t>{0, 1, 2}));

    // Indexed: a triangle naming a vertex outside the list is dropped, the others kept.
    batch.Clear();
    const uint16_t indices[6] = {0, 1, 9, 2, 3, 4};
    batch.Append(PrimitiveType::TriangleList, v, 5, indices, 6);
    EXPECT_EQ(batch.GetIndices(), (std::vector<uint32_t>{2, 3, 4}));
    batch.Clear();
    batch.Append(PrimitiveType::PointList, v, 0, nullptr, 0);
    EXPECT_TRUE(batch.IsEmpty());
}

TEST(GLDeviceBatch, ConsecutiveDrawsWithOneStateGoToGLOnce)
{
    auto device = MakeTestDevice(64, 64);
    uint64_t before = device->GetGLDrawCount();
    // 4096 one-pixel quads, one per pixel, coloured by position.
    ExpectedImage image(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            uint32_t rgb = (uint32_t(x * 4) << 16) | (uint32_t(y * 4) << 8) | 0x40;
            image.Fill(x, y, x + 1, y + 1, rgb);
            DrawQuad(*device, x, y, x + 1, y + 1, 0.5f, 0xFF000000u | rgb);
        }
    device->EndScene();
    EXPECT_EQ(device->GetGLDrawCount() - before, 1u);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "batch_4096_quads", 0));

    // A state change between draws splits the batch; setting the same value again does not.
    before = device->GetGLDrawCount();
    DrawQuad(*device, 0, 0, 8, 8, 0.5f, 0xFFFFFFFFu);
    device->SetCullMode(CullMode::None);
    DrawQuad(*device, 8, 0, 16, 8, 0.5f, 0xFFFFFFFFu);
    device->SetCullMode(CullMode::CounterClockwise);
    DrawQuad(*device, 16, 0, 24, 8, 0.5f, 0xFFFFFFFFu);
    device->EndScene();
    EXPECT_EQ(device->GetGLDrawCount() - before, 2u);

    // The same material and light sent again (as a scene does every frame) keep the batch.
    MaterialRecord material;
    material.emissiveR = 0.5f;
    LightRecord light;
    light.range = 2.0f;
    light.r = 1.0f;
    device->SetMaterial(material);
    device->SetLight(0, light);
    before = device->GetGLDrawCount();
    DrawQuad(*device, 0, 8, 8, 16, 0.5f, 0xFFFFFFFFu);
    device->SetMaterial(material);
    device->SetLight(0, light);
    DrawQuad(*device, 8, 8, 16, 16, 0.5f, 0xFFFFFFFFu);
    light.r = 0.5f;
    device->SetLight(0, light);
    DrawQuad(*device, 16, 8, 24, 16, 0.5f, 0xFFFFFFFFu);
    device->EndScene();
    EXPECT_EQ(device->GetGLDrawCount() - before, 2u);
}
