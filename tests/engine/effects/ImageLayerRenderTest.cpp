// Headless rendering of the first image layers on the OpenGL device: a few pixels of a captured frame per type.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include "support/ImageLayerTestKit.h"
#include "engine/device/gl/GLDevice.h"
#include "engine/effects/FocalGFX.h"
#include "engine/effects/Flash.h"
#include "engine/effects/GFXLayer.h"
#include "engine/effects/TextLayer.h"
#include "engine/layers/ScreenSpace.h"
#include "support/HeadlessGL.h"

namespace {

constexpr int kSize = 64;

class ImageLayerRenderTest : public ::testing::Test {
protected:
    ImageLayerRenderTest() : pak_(ImageLayerTestFiles()) {}

    void SetUp() override
    {
        std::string reason;
        device_ = OpenHeadlessGLDevice(kSize, kSize, 32, reason);
        if (!device_) {
            SKIP_OR_FAIL_WITHOUT_GL(reason);
        }
        device_->EnableClearColor(true);
        device_->SetClearColor(0.25f, 0.25f, 0.25f);
        SetLayerCamera(*device_);  // the camera every layer finds
        device_->Clear(0);
    }

    template <class LayerType>
    std::unique_ptr<FadeDriven<LayerType>> Make(const std::vector<std::pair<std::string, std::string>>& parameters)
    {
        auto layer = std::make_unique<FadeDriven<LayerType>>(*device_, nested_);
        for (const auto& [name, value] : parameters) layer->SetParameter(name, value);
        layer->Init();
        return layer;
    }

    // Draws one frame of the layer at the fade and captures it.
    template <class LayerType>
    void Capture(FadeDriven<LayerType>& layer, float fade)
    {
        device_->Clear(0);
        device_->BeginScene();
        layer.DrawWithFade(fade);
        device_->EndScene();
        frame_ = device_->ReadBackBuffer();
        ASSERT_EQ(frame_.size(), static_cast<size_t>(kSize * kSize * 3));
    }

    // Checks pixel (x, y), rows from the top, against 0xRRGGBB within tolerance per channel.
    ::testing::AssertionResult PixelNear(int x, int y, uint32_t expected, int tolerance = 3)
    {
        const size_t i = (static_cast<size_t>(y) * kSize + x) * 3;
        const int actual[3] = {frame_[i], frame_[i + 1], frame_[i + 2]};
        const int wanted[3] = {int(expected >> 16) & 0xFF, int(expected >> 8) & 0xFF, int(expected) & 0xFF};
        for (int c = 0; c < 3; ++c) {
            if (std::abs(actual[c] - wanted[c]) > tolerance) {
                SaveFrame();
                char text[128];
                std::snprintf(text, sizeof(text), "pixel (%d, %d) is %02X%02X%02X, expected %06X", x, y, actual[0],
                              actual[1], actual[2], expected);
                return ::testing::AssertionFailure() << text;
            }
        }
        return ::testing::AssertionSuccess();
    }

    // Writes the captured frame for inspection after a failure.
    void SaveFrame()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::filesystem::path dir = std::filesystem::path(STARFALL_TEST_OUTPUT_DIR) / "effects";
        std::filesystem::create_directories(dir);
        std::ofstream out(dir / (std::string(info->name()) + ".actual.png"), std::ios::binary);
        const std::string png = EncodePng(kSize, kSize, frame_);
        out.write(png.data(), static_cast<std::streamsize>(png.size()));
    }

    ScopedTestPak pak_;
    std::unique_ptr<GLDevice> device_;
    std::vector<LayerOperation> nested_;
    std::vector<uint8_t> frame_;
};

}  // namespace

TEST_F(ImageLayerRenderTest, GFXLayerCoversItsPartOfTheScreenWithFadedAlpha)
{
    // pic.png is (200, 100, 50); half the screen's width, centred.
    auto layer = Make<GFXLayer>({{"Texture", "pic.png"}, {"XScale", "0.5"}});
    Capture(*layer, 1.0f);
    // Stored quad x = +-0.25, drawn x = +-0.25 x 0.5: the middle quarter of the screen.
    EXPECT_TRUE(PixelNear(32, 32, 0xC86432));
    EXPECT_TRUE(PixelNear(25, 5, 0xC86432));
    EXPECT_TRUE(PixelNear(4, 32, 0x3F3F3F));
    EXPECT_TRUE(PixelNear(60, 60, 0x3F3F3F));

    // At fade 0.5 the image is blended half over the grey: alpha byte 127.
    Capture(*layer, 0.5f);
    const auto mix = [](int image, int back) { return (image * 127 + back * 128) / 255; };
    EXPECT_TRUE(PixelNear(32, 32, (mix(200, 63) << 16) | (mix(100, 63) << 8) | mix(50, 63), 4));
    layer->Release();
}

TEST_F(ImageLayerRenderTest, FlashAddsHalfTheWhiteAtFullFade)
{
    auto flash = Make<Flash>({});
    Capture(*flash, 1.0f);
    // The whole screen brightens by the material's half: grey 63 + 127.
    EXPECT_TRUE(PixelNear(1, 1, 0xBEBEBE, 4));
    EXPECT_TRUE(PixelNear(32, 32, 0xBEBEBE, 4));
    EXPECT_TRUE(PixelNear(62, 62, 0xBEBEBE, 4));
    // Camera and state are given back: a later frame without the flash is plain grey.
    Capture(*flash, 0.0f);
    EXPECT_TRUE(PixelNear(32, 32, 0x3F3F3F));
    flash->Release();
}

TEST_F(ImageLayerRenderTest, TextLayerDrawsItsGlyphRightOfTheCentre)
{
    auto text = Make<TextLayer>({{"Texture", "font.png"}, {"Text", "!"}, {"XScale", "0.5"}, {"YScale", "0.5"}});
    Capture(*text, 1.0f);
    // The glyph spans x 0..1 and y -0.5..0.5 at z 0, in front of the camera 5 units away:
    // right of the screen's centre, vertically centred. The white cell covers it.
    EXPECT_TRUE(PixelNear(38, 32, 0xFFFFFF, 4));
    EXPECT_TRUE(PixelNear(24, 32, 0x3F3F3F));
    EXPECT_TRUE(PixelNear(38, 8, 0x3F3F3F));
    text->Release();
}

TEST_F(ImageLayerRenderTest, FocalGFXMixesBlurredAndSharpPictures)
{
    auto focal = Make<FocalGFX>({{"BlurryMap", "blur.png"}, {"OrigMap", "sharp.png"}});
    // Fade 1: only the sharp picture, fully opaque.
    Capture(*focal, 1.0f);
    EXPECT_TRUE(PixelNear(32, 32, 0x0AC80A));
    EXPECT_TRUE(PixelNear(2, 61, 0x0AC80A));
    // Fade 0.1: only the blurred picture (alpha 79) over the grey.
    Capture(*focal, 0.1f);
    const int blurred = (90 * 79 + 63 * 176) / 255;
    EXPECT_TRUE(PixelNear(32, 32, (blurred << 16) | (blurred << 8) | blurred, 4));
    focal->Release();
}
