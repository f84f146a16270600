// Tests of TextLayer: glyph cells, advances, envelope motion, focus thresholds, additive material, jitter.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <memory>
#include "support/ImageLayerTestKit.h"
#include "engine/effects/TextLayer.h"

namespace {

using TextLayerTest = ImageLayerTest;

struct Pass {
    std::string image;
    uint32_t alpha;
    int glyphs;
};

// Groups the draws of the last frame by the texture bound before them.
std::vector<Pass> Passes(const std::vector<RecordedCall>& calls)
{
    std::vector<Pass> passes;
    std::string image;
    bool newPass = true;
    for (const RecordedCall& call : calls) {
        if (call.op == Op::SetTexture) {
            const auto* texture = static_cast<const Texture*>(call.object);
            image = texture ? texture->GetName() : "";
            newPass = true;
        } else if (call.op == Op::Draw) {
            if (newPass) passes.push_back({image, call.Vertices()[0].color >> 24, 0});
            ++passes.back().glyphs;
            newPass = false;
        }
    }
    return passes;
}

}  // namespace

TEST_F(TextLayerTest, DeclaresItsParametersWithTheirIdsAndDefaults)
{
    auto layer = std::make_unique<TextLayer>(device, nested);
    const struct {
        const char* name;
        int id;
        const char* value;
    } parameters[] = {
        {"AlphaType", 23, "0"},       {"Effect", 20, "0"},          {"AlphaTexture", 0, ""},
        {"Texture", 1, ""},           {"XOffset", 2, "0.00"},       {"YOffset", 3, "0.00"},
        {"ZOffset", 4, "0.00"},       {"XOffsetStart", 5, "0.00"},  {"YOffsetStart", 6, "0.00"},
        {"ZOffsetStart", 7, "0.00"},  {"XOffsetEnd", 8, "0.00"},    {"YOffsetEnd", 9, "0.00"},
        {"ZOffsetEnd", 10, "0.00"},   {"XScaleStart", 16, "0.00"},  {"YScaleStart", 17, "0.00"},
        {"XScaleEnd", 18, "0.00"},    {"YScaleEnd", 19, "0.00"},    {"XScale", 11, "1.00"},
        {"YScale", 12, "1.00"},       {"Tracking", 13, "0.00"},     {"Text", 15, ""},
        {"BlurryMap", 22, ""},        {"AlphaBlurMap", 21, ""}};
    EXPECT_EQ(layer->GetAccessorCount(), std::size(parameters));
    for (const auto& parameter : parameters) {
        const auto* accessor = layer->FindAccessor(parameter.name);
        ASSERT_NE(accessor, nullptr) << parameter.name;
        EXPECT_EQ(accessor->id, parameter.id) << parameter.name;
        EXPECT_EQ(accessor->get(), parameter.value) << parameter.name;
    }
    EXPECT_EQ(layer->GetName().rfind("Gfx Text Layer [", 0), 0u);
}

TEST_F(TextLayerTest, EachImageTakesItsOwnAlphaMap)
{
    auto layer = Make<TextLayer>({{"Texture", "font.png"},
                                  {"AlphaTexture", "pica.png"},
                                  {"BlurryMap", "blur.png"},
                                  {"AlphaBlurMap", "pic.png"},
                                  {"Text", "A"}});
    layer->DrawWithFade(0.6f);
    const auto textures = device.All(Op::SetTexture);
    ASSERT_EQ(textures.size(), 2u);
    const auto* blurred = static_cast<const Texture*>(textures[0]->object);
    const auto* sharp = static_cast<const Texture*>(textures[1]->object);
    ASSERT_NE(blurred, nullptr);
    ASSERT_NE(sharp, nullptr);
    EXPECT_EQ(blurred->GetName(), "blur.png");
    EXPECT_EQ(blurred->GetAlphaName(), "pic.png");
    EXPECT_EQ(blurred->GetAlphaMode(), 8);
    EXPECT_EQ(sharp->GetName(), "font.png");
    EXPECT_EQ(sharp->GetAlphaName(), "pica.png");
    EXPECT_EQ(sharp->GetAlphaMode(), 8);
    layer->Release();
}

TEST_F(TextLayerTest, GlyphCellsStartAtTheExclamationMark)
{
    GlyphRect r;
    ASSERT_TRUE(TextLayer::GetGlyphRect('!', r));
    EXPECT_FLOAT_EQ(r.left, 0.0f);
    EXPECT_FLOAT_EQ(r.top, 0.0f);
    EXPECT_FLOAT_EQ(r.right, 0.0625f);
    EXPECT_FLOAT_EQ(r.bottom, 0.0625f);
    ASSERT_TRUE(TextLayer::GetGlyphRect('0', r));  // index 15: last cell of the first row
    EXPECT_FLOAT_EQ(r.left, 0.9375f);
    EXPECT_FLOAT_EQ(r.top, 0.0f);
    ASSERT_TRUE(TextLayer::GetGlyphRect('A', r));  // index 32: column 0 of row 2
    EXPECT_FLOAT_EQ(r.left, 0.0f);
    EXPECT_FLOAT_EQ(r.top, 0.125f);
    EXPECT_FLOAT_EQ(r.bottom, 0.1875f);
    ASSERT_TRUE(TextLayer::GetGlyphRect('~', r));  // index 93: column 13 of row 5
    EXPECT_FLOAT_EQ(r.left, 0.8125f);
    EXPECT_FLOAT_EQ(r.top, 0.3125f);
    for (const char c : {' ', '\n', '\r', '\t', '\x7f', static_cast<char>(0xC9), static_cast<char>(0x80)})
        EXPECT_FALSE(TextLayer::GetGlyphRect(c, r)) << static_cast<int>(c);
}

TEST_F(TextLayerTest, EachGlyphStandsOneAdvanceFurther)
{
    auto layer = Make<TextLayer>({{"Texture", "font.png"}, {"Text", "AB"}, {"Tracking", "0.1"}});
    layer->DrawWithFade(1.0f);
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 2u);
    EXPECT_FLOAT_EQ(CentreX(draws[0]), 1.1f);
    EXPECT_FLOAT_EQ(CentreX(draws[1]), 2.2f);
    // Corners (1, -1), (1, 1), (-1, -1), (-1, 1) take right/bottom, right/top, left/bottom, left/top.
    const auto& a = draws[0]->Vertices();
    EXPECT_FLOAT_EQ(a[0].x, 2.1f);
    EXPECT_FLOAT_EQ(a[0].y, -1.0f);
    EXPECT_FLOAT_EQ(a[0].u0, 0.0625f);
    EXPECT_FLOAT_EQ(a[0].v0, 0.1875f);
    EXPECT_FLOAT_EQ(a[1].u0, 0.0625f);
    EXPECT_FLOAT_EQ(a[1].v0, 0.125f);
    EXPECT_FLOAT_EQ(a[2].u0, 0.0f);
    EXPECT_FLOAT_EQ(a[2].v0, 0.1875f);
    EXPECT_FLOAT_EQ(a[3].u0, 0.0f);
    EXPECT_FLOAT_EQ(a[3].v0, 0.125f);
    EXPECT_FLOAT_EQ(draws[1]->Vertices()[3].u0, 0.0625f);  // "B" is the next cell
    for (const Vertex& v : a) EXPECT_EQ(v.color, 0xFFFFFFFFu);
}

TEST_F(TextLayerTest, CharactersWithoutGlyphsOnlyAdvance)
{
    // Space, line feed (no new line is started), a tab and a code above 127 draw nothing.
    auto layer = Make<TextLayer>({{"Texture", "font.png"}, {"Text", " A\nB\tC\xC9" "D"}, {"XScale", "0.5"}});
    layer->DrawWithFade(1.0f);
    const auto draws = Draws();
    ASSERT_EQ(draws.size(), 4u);
    const float expected[] = {1.0f, 2.0f, 3.0f, 4.0f};
    for (size_t i = 0; i < 4; ++i) EXPECT_FLOAT_EQ(CentreX(draws[i]), expected[i]) << i;
    EXPECT_FLOAT_EQ(draws[3]->Vertices()[0].x - draws[3]->Vertices()[2].x, 1.0f);  // width 2 x XScale
}

TEST_F(TextLayerTest, BlurredAndSharpPassesFollowTheFade)
{
    auto layer = Make<TextLayer>({{"Texture", "font.png"}, {"BlurryMap", "blur.png"}, {"Text", "Hi!"}});
    const struct {
        float fade;
        std::vector<Pass> passes;
    } frames[] = {
        {0.2f, {{"blur.png", 163u, 3}}},                       // trunc(sin(0.2 pi / 0.9) x 255)
        {0.6f, {{"blur.png", 220u, 3}, {"font.png", 109u, 3}}},  // trunc(0.3 x 364.395)
        {0.95f, {{"font.png", 236u, 3}}},
    };
    for (const auto& frame : frames) {
        device.ClearCalls();
        layer->DrawWithFade(frame.fade);
        const auto passes = Passes(device.calls);
        ASSERT_EQ(passes.size(), frame.passes.size()) << frame.fade;
        for (size_t i = 0; i < passes.size(); ++i) {
            EXPECT_EQ(passes[i].image, frame.passes[i].image) << frame.fade;
            EXPECT_EQ(passes[i].alpha, frame.passes[i].alpha) << frame.fade;
            EXPECT_EQ(passes[i].glyphs, frame.passes[i].glyphs) << frame.fade;
        }
        // Each pass starts from the working quad's place.
        const auto draws = Draws();
        EXPECT_FLOAT_EQ(CentreX(draws.back()), 3.0f) << frame.fade;
        EXPECT_FLOAT_EQ(CentreX(draws[0]), 1.0f) << frame.fade;
    }

    // Without a blurred image the sharp glyphs simply fade.
    auto plain = Make<TextLayer>({{"Texture", "font.png"}, {"Text", "Hi"}});
    device.ClearCalls();
    plain->DrawWithFade(0.2f);
    const auto passes = Passes(device.calls);
    ASSERT_EQ(passes.size(), 1u);
    EXPECT_EQ(passes[0].image, "font.png");
    EXPECT_EQ(passes[0].alpha, 51u);
}

TEST_F(TextLayerTest, AdditiveTextIsDimmedThroughTheMaterial)
{
    auto layer = Make<TextLayer>(
        {{"Texture", "font.png"}, {"BlurryMap", "blur.png"}, {"Text", "A"}, {"AlphaType", "1"}});
    layer->DrawWithFade(0.6f);
    const auto materials = device.All(Op::SetMaterial);
    ASSERT_EQ(materials.size(), 3u);
    EXPECT_FLOAT_EQ(materials[0]->As<MaterialRecord>().emissiveR, 0.6f);
    EXPECT_NEAR(materials[1]->As<MaterialRecord>().diffuseG, std::sin(0.6 * M_PI * 1.1111111), 1e-5);
    EXPECT_NEAR(materials[2]->As<MaterialRecord>().ambientB, 0.3 * 1.429, 1e-5);
    for (const RecordedCall* draw : Draws())
        for (const Vertex& v : draw->Vertices()) EXPECT_EQ(v.color, 0x00FFFFFFu);
    EXPECT_EQ(device.calls[device.Find(Op::EnableLighting)].As<bool>(), true);
    EXPECT_EQ(device.calls[device.Find(Op::SetSrcBlend)].As<BlendFactor>(), BlendFactor::One);
}

TEST_F(TextLayerTest, MotionUsesOneMinusFadeInBothDirections)
{
    auto layer = Make<TextLayer>({{"Texture", "font.png"},
                                  {"Text", "A"},
                                  {"XOffsetStart", "1"},
                                  {"XScaleStart", "1"},
                                  {"XOffsetEnd", "2"},
                                  {"YOffset", "0.5"},
                                  {"ZOffset", "2"},
                                  {"ZOffsetStart", "4"}});
    layer->DrawWithFade(0.5f);  // rising: a = 0.5, sx = 1.5, dx = 0.5, dz = 2
    auto v = Draws()[0]->Vertices();
    EXPECT_FLOAT_EQ(v[0].x, 1.5f + 0.5f + 1.0f);
    EXPECT_FLOAT_EQ(v[2].x, -1.5f + 0.5f + 1.0f);
    EXPECT_FLOAT_EQ(v[0].y, -0.5f);
    EXPECT_FLOAT_EQ(v[0].z, 4.0f);

    layer->DrawWithFade(1.0f);
    device.ClearCalls();
    layer->DrawWithFade(0.5f);  // falling: still a = 1 - fade = 0.5, now with the End terms
    v = Draws()[0]->Vertices();
    EXPECT_FLOAT_EQ(v[0].x, 1.0f + 1.0f + 1.0f);
    EXPECT_FLOAT_EQ(v[0].z, 2.0f);

    // A fade that stays put counts as not decreasing: the Start terms again.
    device.ClearCalls();
    layer->DrawWithFade(0.5f);
    v = Draws()[0]->Vertices();
    EXPECT_FLOAT_EQ(v[0].x, 1.5f + 0.5f + 1.0f);
    EXPECT_FLOAT_EQ(v[0].z, 4.0f);
}

TEST_F(TextLayerTest, DrawsThroughTheCameraAndRestoresTheTransforms)
{
    auto layer = Make<TextLayer>({{"Texture", "font.png"}, {"Text", "A"}});
    device.SetOrtho(2.0f, 2.0f, 0.0f, 1.0f);
    const Matrix4 world = Matrix4::Translation(0.0f, 1.0f, 0.0f);
    device.SetWorld(world);
    const Matrix4 view = device.GetView();
    const Matrix4 projection = device.GetProjection();
    device.ClearCalls();

    layer->DrawWithFade(0.5f);
    EXPECT_EQ(device.calls.front().op, Op::SetWorld);
    EXPECT_EQ(device.calls.front().As<Matrix4>(), Matrix4::Identity());
    EXPECT_EQ(device.GetEye().z, -5.0f);
    EXPECT_EQ(device.Count(Op::SetOrtho), 0);
    EXPECT_EQ(device.Count(Op::SetTexture), 1);  // only for the glyph pass
    EXPECT_LT(device.Find(Op::SetDestBlend), device.Find(Op::SetTexture));
    EXPECT_EQ(device.stages[0].alphaOp, AlphaOp::Disable);
    EXPECT_EQ(device.GetWorld(), world);
    EXPECT_EQ(device.GetView(), view);
    EXPECT_EQ(device.GetProjection(), projection);
    EXPECT_EQ(device.GetTransformDepth(), 0u);

    const int live = device.liveTextures;
    auto blurred = Make<TextLayer>({{"Texture", "font.png"}, {"BlurryMap", "blur.png"}});
    EXPECT_EQ(device.liveTextures, live + 2);
    blurred->Release();
    layer->Release();
    EXPECT_EQ(device.liveTextures, live - 1);
}

TEST_F(TextLayerTest, TrembleStaysWithinOneHundredthOfAUnit)
{
    auto layer = Make<TextLayer>({{"Texture", "font.png"}, {"Text", "A"}, {"Effect", "1"}});
    std::srand(7);
    float minX = 1.0f, maxX = -1.0f, minY = 1.0f, maxY = -1.0f;
    for (int frame = 0; frame < 200; ++frame) {
        device.ClearCalls();
        layer->DrawWithFade(1.0f);
        const auto& v = Draws()[0]->Vertices();
        const float jx = CentreX(Draws()[0]) - 1.0f;
        const float jy = (v[0].y + v[1].y) * 0.5f;
        minX = std::min(minX, jx);
        maxX = std::max(maxX, jx);
        minY = std::min(minY, jy);
        maxY = std::max(maxY, jy);
    }
    EXPECT_GE(minX, -0.01f);
    EXPECT_LE(maxX, 0.01f);
    EXPECT_GE(minY, -0.01f);
    EXPECT_LE(maxY, 0.01f);
    EXPECT_GT(maxX - minX, 0.01f);  // it does move, over most of its range
    EXPECT_GT(maxY - minY, 0.01f);
}
