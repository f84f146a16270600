// Tests of the dot screen layer: read-back in every display format and pitch, dot sizes and places, one batched draw.
#include <gtest/gtest.h>

#include <map>
#include "support/PlayerTestKit.h"
#include "engine/effects/DotEffect.h"

namespace {

// A texture whose render target is kept in the display depth with padded rows, as a
// device may hand it out.
class PaddedTexture : public RecordingTexture {
public:
    PaddedTexture(RecordingDevice* device, int padding) : RecordingTexture(device), padding_(padding) {}
    void CreateRenderTarget(int edge) override
    {
        RecordingTexture::CreateRenderTarget(edge);
        bytes = GetDevice()->GetBitsPerPixel() / 8;
        pitch = edge * bytes + padding_;
        pixels.assign(static_cast<size_t>(pitch) * edge, 0xFF);  // padding bytes are garbage
        for (int row = 0; row < edge; ++row)
            std::fill_n(pixels.begin() + static_cast<ptrdiff_t>(row) * pitch, edge * bytes, 0);
    }
    void* Lock(int& lockedPitch) override
    {
        lockedPitch = pitch;
        return pixels.data();
    }
    void Unlock() override {}
    void SetBlue(int row, int column, uint32_t value)
    {
        uint8_t* p = &pixels[static_cast<size_t>(row) * pitch + static_cast<size_t>(column) * bytes];
        for (int b = 0; b < bytes; ++b)
            p[b] = static_cast<uint8_t>(value >> (8 * b));
    }

    std::vector<uint8_t> pixels;
    int pitch = 0;
    int bytes = 4;

private:
    int padding_;
};

class PaddedDevice : public RecordingDevice {
public:
    Texture* CreateTexture() override
    {
        ++liveTextures;
        auto* texture = new PaddedTexture(this, 24);
        made.push_back(texture);
        return texture;
    }
    std::vector<PaddedTexture*> made;
};

class DrivenDots : public DotEffect {
public:
    using DotEffect::DotEffect;
    void RenderNow(float t)
    {
        time = t;
        Render();
    }
};

using DotEffectTest = PlayerTest;

// The dot pass's draw: the DrawIndexed after the return to the screen (nullptr when none).
const RecordedCall* DotDraw(const RecordingDevice& device)
{
    const RecordedCall* found = nullptr;
    bool onScreen = false;
    for (const RecordedCall& call : device.calls) {
        if (call.op == Op::SetRenderTarget)
            onScreen = call.object == nullptr;
        if (onScreen && call.op == Op::DrawIndexed)
            found = &call;
    }
    return found;
}

}  // namespace

TEST(DotEffectReadBackTest, TakesTheTopFiveBlueBitsInEveryFormatAndPitch)
{
    struct Format {
        int bits;
        uint32_t blueMask;
        int padding;
    } formats[] = {{16, 0x001F, 0}, {16, 0x001F, 40}, {16, 0x001F, 2}, {32, 0x000000FF, 0}, {32, 0x000000FF, 36}};
    for (const Format& f : formats) {
        const int bytes = f.bits / 8;
        const int pitch = 64 * bytes + f.padding;
        std::vector<uint8_t> pixels(static_cast<size_t>(pitch) * 64, 0xEE);
        std::vector<uint8_t> expected(4096);
        for (int row = 0; row < 64; ++row) {
            for (int column = 0; column < 64; ++column) {
                const uint32_t level = static_cast<uint32_t>((row * 7 + column * 3) % 32);
                // Full red and green everywhere: only blue may count.
                uint32_t value = f.bits == 16 ? (0xF800u | 0x07E0u | level) : (0xFFFF00u | level << 3 | 0x5u);
                uint8_t* p = &pixels[static_cast<size_t>(row) * pitch + static_cast<size_t>(column) * bytes];
                for (int b = 0; b < bytes; ++b)
                    p[b] = static_cast<uint8_t>(value >> (8 * b));
                expected[row * 64 + column] = static_cast<uint8_t>(level);
            }
        }
        std::vector<uint8_t> intensities(4096, 99);
        DotEffect::ReadIntensities(pixels.data(), pitch, f.bits, f.blueMask, intensities.data());
        EXPECT_EQ(intensities, expected) << f.bits << " bits, padding " << f.padding;
    }
}

TEST_F(DotEffectTest, ParametersTexturesAndRelease)
{
    const int before = device.liveTextures;
    auto dots = Make<DrivenDots>({}, {{"TextureMap", "dot.png"}, {"AlphaMap", "sparka.png"}});
    EXPECT_EQ(dots->FindAccessor("TextureMap")->id, 10);
    EXPECT_EQ(dots->FindAccessor("AlphaMap")->id, 11);
    EXPECT_NE(dots->FindAccessor("CurrentCamera"), nullptr);
    EXPECT_EQ(dots->GetDotTexture()->GetName(), "dot.png");
    EXPECT_EQ(dots->GetDotTexture()->GetAlphaName(), "sparka.png");
    EXPECT_EQ(dots->GetTarget()->GetWidth(), 64u);
    EXPECT_EQ(dots->GetIntensities().size(), 4096u);
    EXPECT_EQ(device.liveTextures, before + 3);
    dots->Release();
    EXPECT_EQ(device.liveTextures, before);
}

TEST_F(DotEffectTest, ABlackSceneGivesNoDots)
{
    auto dots = Make<DrivenDots>({}, {{"TextureMap", "dot.png"}});
    device.ClearCalls();
    dots->RenderNow(0.5f);
    // The scene went into the target, then came back to the screen.
    EXPECT_EQ(device.All(Op::SetRenderTarget)[0]->object, dots->GetTarget());
    EXPECT_EQ(device.Last(Op::SetRenderTarget)->object, nullptr);
    EXPECT_EQ(device.Count(Op::VertexBufferDraw), 1);
    EXPECT_EQ(DotDraw(device), nullptr);
    for (uint8_t i : dots->GetIntensities())
        ASSERT_EQ(i, 0);
}

TEST_F(DotEffectTest, LitTexelsBecomeOneBatchOfDotsSizedByIntensity)
{
    auto dots = Make<DrivenDots>({}, {{"TextureMap", "dot.png"}});
    int pitch = 0;
    auto* pixels = static_cast<uint8_t*>(dots->GetTarget()->Lock(pitch));
    dots->GetTarget()->Unlock();
    // Blue 0xFF at (row 10, column 20) gives 31; 0x80 at (row 63, column 0) gives 16.
    pixels[10 * pitch + 20 * 4] = 0xFF;
    pixels[63 * pitch + 0 * 4] = 0x80;
    device.ClearCalls();
    dots->RenderNow(0.5f);
    const RecordedCall* draw = DotDraw(device);
    ASSERT_NE(draw, nullptr);
    EXPECT_EQ(device.Count(Op::DrawIndexed), 1);
    EXPECT_EQ(draw->Draw().primitive, PrimitiveType::TriangleList);
    ASSERT_EQ(draw->Vertices().size(), 8u);
    ASSERT_EQ(draw->Draw().indices.size(), 12u);
    // The first dot fills one grid cell around column 20 / 64 - 0.5, row 10 / 64 - 0.5.
    const float cell = 1.0f / 64.0f;
    EXPECT_NEAR(draw->Vertices()[0].x, 20 * cell - 0.5f + cell / 2, 1e-6f);
    EXPECT_NEAR(draw->Vertices()[0].y, 10 * cell - 0.5f - cell / 2, 1e-6f);
    EXPECT_NEAR(draw->Vertices()[3].x, 20 * cell - 0.5f - cell / 2, 1e-6f);
    EXPECT_NEAR(draw->Vertices()[4].x - draw->Vertices()[7].x, cell * 16.0f / 31.0f, 1e-6f);
    EXPECT_NEAR(draw->Vertices()[4].y, 63 * cell - 0.5f - cell * 8.0f / 31.0f, 1e-6f);
    for (const Vertex& v : draw->Vertices())
        EXPECT_EQ(v.color, 0xFFFFFFFFu);
    EXPECT_EQ(draw->Draw().indices, (std::vector<uint16_t>{0, 1, 2, 2, 1, 3, 4, 5, 6, 6, 5, 7}));
    // Through the layers' camera, blended by the dot's alpha.
    EXPECT_FLOAT_EQ(device.GetEye().z, -5.0f);
    EXPECT_EQ(device.stages[0].texture, dots->GetDotTexture());
    EXPECT_EQ(device.srcBlend, BlendFactor::SrcAlpha);
    EXPECT_TRUE(device.alphaBlend);
    EXPECT_EQ(device.Last(Op::SetWorld)->As<Matrix4>(), Matrix4::Identity());
}

class PaddedDotEffectTest : public ::testing::TestWithParam<int> {};

TEST_P(PaddedDotEffectTest, ReadsTheTargetInTheDisplayDepthWithItsPitch)
{
    const int bits = GetParam();
    FakeClock clock{1000000};
    auto files = PlayerTestImages();
    files.emplace_back("scene.mdl", MdlBytes(PlayerScene()));
    ScopedTestPak pak(files);
    PaddedDevice device;
    device.Open(640, 480, bits);
    std::vector<LayerOperation> none;
    DrivenDots dots(device, none);
    dots.SetParameter("MDLFile", "scene.mdl");
    dots.SetParameter("TextureMap", "dot.png");
    dots.Init();
    PaddedTexture* target = nullptr;
    for (PaddedTexture* texture : device.made)
        if (texture == dots.GetTarget())
            target = texture;
    ASSERT_NE(target, nullptr);
    const uint32_t fullBlue = bits == 16 ? 0x001F : 0xFF;
    target->SetBlue(0, 63, fullBlue);
    target->SetBlue(63, 63, fullBlue);
    target->SetBlue(5, 1, bits == 16 ? 0xFFE0 : 0xFFFF00);  // red and green only
    dots.RenderNow(0.1f);
    std::map<int, int> lit;
    for (int i = 0; i < 4096; ++i)
        if (dots.GetIntensities()[i])
            lit[i] = dots.GetIntensities()[i];
    EXPECT_EQ(lit, (std::map<int, int>{{63, 31}, {63 * 64 + 63, 31}}));
    dots.Release();
}

INSTANTIATE_TEST_SUITE_P(Depths, PaddedDotEffectTest, ::testing::Values(16, 32));
