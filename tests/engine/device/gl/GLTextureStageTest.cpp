// Rendering tests of the OpenGL device: texture stage operations, the stage cascade and texture alpha.
#include "support/GLTestSupport.h"
#include "engine/device/Texture.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

namespace {

// Texture (200, 100, 50); vertex colour (100, 200, 40), opaque.
constexpr uint32_t kDiffuse = 0xFF64C828u;

struct StageFixture {
    ScopedTestPak pak{{{"tex.png", EncodePng(4, 4, SolidRgb(4, 4, 200, 100, 50))},
                       {"alpha.png", EncodePng(4, 4, SolidRgb(4, 4, 0, 0, 128))},
                       {"mask.png", EncodePng(4, 4, SolidRgb(4, 4, 0, 0, 128))}}};
    std::unique_ptr<GLDevice> device = MakeTestDevice(16, 16);
    Texture* texture = nullptr;

    StageFixture()
    {
        texture = device->CreateTexture();
        texture->Load("tex.png", false);
        device->SetTexture(0, texture);
    }
    ~StageFixture() { device->DestroyTexture(texture); }

    std::vector<uint8_t> DrawQuadAndRead()
    {
        device->Clear(0);
        DrawQuad(*device, 0, 0, 16, 16, 0.5f, kDiffuse);
        return device->ReadBackBuffer();
    }
};

ExpectedImage Solid(uint32_t color)
{
    ExpectedImage image(16, 16);
    image.Fill(0, 0, 16, 16, color);
    return image;
}

}  // namespace

TEST(GLDeviceTextureStages, ColourOperationsAndArguments)
{
    StageFixture f;
    GLDevice& d = *f.device;
    // Initial stage 0: Modulate(Texture, Diffuse): 200*100/255 = 78.4, 100*200/255 = 78.4, 50*40/255 = 7.8
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0x4E4E08), "stage_initial_modulate"));

    d.SetColorOp(0, ColorOp::SelectArg1);
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0xC86432), "stage_select_texture"));

    d.SetColorArg1(0, ColorArg::Diffuse);
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0x64C828), "stage_select_diffuse"));
    // 3 is the second number of the vertex colour.
    d.SetColorArg1(0, ColorArg::Diffuse3);
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0x64C828), "stage_select_diffuse3"));

    d.SetColorArg1(0, ColorArg::Texture);
    d.SetColorOp(0, ColorOp::Add);  // 300 -> 255, 300 -> 255, 90
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0xFFFF5A), "stage_add"));

    d.SetColorOp(0, ColorOp::AddSigned);  // 200 + 100 - 127.5, 100 + 200 - 127.5, 50 + 40 - 127.5 -> 0
    ExpectedImage addSigned = Solid(0xACAC00);
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), addSigned, "stage_add_signed"));

    // Without a texture the texture argument reads white.
    d.SetTexture(0, nullptr);
    d.SetColorOp(0, ColorOp::Modulate);
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0x64C828), "stage_no_texture_is_white"));
}

TEST(GLDeviceTextureStages, SecondStageStartsDisabledAndCascades)
{
    StageFixture f;
    GLDevice& d = *f.device;
    d.SetColorOp(0, ColorOp::SelectArg1);  // texture only
    // Stage 1's arguments alone do not switch it on.
    d.SetColorArg1(1, ColorArg::Diffuse);
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0xC86432), "cascade_stage1_disabled"));

    // Stage 1 Modulate(Current, Diffuse): stage 0's texture times the vertex colour.
    d.SetColorOp(1, ColorOp::Modulate);
    d.SetColorArg1(1, ColorArg::Current);
    d.SetColorArg2(1, ColorArg::Diffuse);
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0x4E4E08), "cascade_modulate_current"));

    // Stage 1 samples its own texture with the second coordinate set.
    d.SetTexture(1, f.texture);
    d.SetColorOp(1, ColorOp::Add);
    d.SetColorArg1(1, ColorArg::Current);
    d.SetColorArg2(1, ColorArg::Texture);
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0xFFC864), "cascade_add_second_texture"));

    // Its texture taken away, a stage that reads it no longer adds white: stage 0 shows alone.
    d.SetTexture(1, nullptr);
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0xC86432), "cascade_untextured_stage_stops"));
    // One that does not read its texture still runs without one.
    d.SetColorArg2(1, ColorArg::Diffuse);
    d.SetColorOp(1, ColorOp::Modulate);
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0x4E4E08), "cascade_untextured_modulate_runs"));
}

TEST(GLDeviceTextureStages, AlphaOperationsWithAnAlphaMap)
{
    StageFixture f;
    GLDevice& d = *f.device;
    Texture* withAlpha = d.CreateTexture();
    withAlpha->SetAlphaMap("alpha.png", 255);  // eight-bit alpha 128
    withAlpha->Load("tex.png", false);
    d.SetTexture(0, withAlpha);
    d.SetColorOp(0, ColorOp::SelectArg1);
    d.EnableAlphaBlend(true);
    d.SetSrcBlend(BlendFactor::SrcAlpha);
    d.SetDestBlend(BlendFactor::InvSrcAlpha);
    d.SetClearColor(0, 0, 0);

    // Initial alpha operation SelectArg1(Texture): 128/255 of the texture over black.
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0x643219), "alpha_select_texture"));

    // Modulate with a vertex alpha of 0x40: 128/255 * 64/255 = 0.126.
    d.SetAlphaOp(0, AlphaOp::Modulate);
    d.SetAlphaArg1(0, AlphaArg::Texture);
    d.SetAlphaArg2(0, AlphaArg::Diffuse);
    d.Clear(0);
    DrawQuad(d, 0, 0, 16, 16, 0.5f, 0x4064C828u);
    EXPECT_TRUE(MatchesImage(d.ReadBackBuffer(), Solid(0x190D06), "alpha_modulate"));

    // Disable passes the vertex alpha on stage 0.
    d.SetAlphaOp(0, AlphaOp::Disable);
    d.Clear(0);
    DrawQuad(d, 0, 0, 16, 16, 0.5f, 0x4064C828u);
    EXPECT_TRUE(MatchesImage(d.ReadBackBuffer(), Solid(0x32190C), "alpha_disable_passes_diffuse"));

    // One-bit masks (another key: the threshold is not part of it): a threshold of 200
    // makes blue 128 opaque.
    Texture* masked = d.CreateTexture();
    masked->SetAlphaMap("mask.png", 200);
    masked->Load("tex.png", false);
    d.SetTexture(0, masked);
    d.SetAlphaOp(0, AlphaOp::SelectArg1);
    d.SetAlphaArg1(0, AlphaArg::Texture);
    // ARGB4444 keeps four bits per channel: 200 -> 12 -> 204, 100 -> 6 -> 102, 50 -> 3 -> 51.
    EXPECT_TRUE(MatchesImage(f.DrawQuadAndRead(), Solid(0xCC6633), "alpha_one_bit_mask"));
    d.DestroyTexture(masked);
    d.DestroyTexture(withAlpha);
}

TEST(GLDeviceTextureStages, ReloadingABoundTextureLeavesEarlierDrawsAsTheyWere)
{
    ScopedTestPak pak{{{"red.png", EncodePng(4, 4, SolidRgb(4, 4, 255, 0, 0))},
                       {"blue.png", EncodePng(4, 4, SolidRgb(4, 4, 0, 0, 255))}}};
    auto device = MakeTestDevice(16, 8);
    Texture* blue = device->CreateTexture();
    blue->Load("blue.png", false);
    Texture* texture = device->CreateTexture();
    texture->Load("red.png", false);
    device->SetTexture(0, texture);
    DrawQuad(*device, 0, 0, 8, 8, 0.5f, 0xFFFFFFFFu);
    // Now cached: the texture takes blue's image and gives up its own red one.
    texture->Load("blue.png", false);
    DrawQuad(*device, 8, 0, 16, 8, 0.5f, 0xFFFFFFFFu);
    ExpectedImage image(16, 8);
    image.Fill(0, 0, 8, 8, 0xFF0000);
    image.Fill(8, 0, 16, 8, 0x0000FF);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, "reloaded_bound_texture"));
    device->SetTexture(0, nullptr);
    device->DestroyTexture(texture);
    device->DestroyTexture(blue);
}
