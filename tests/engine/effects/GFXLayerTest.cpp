// Tests of GFXLayer: quad arithmetic, envelope motion, blend presets, transforms, registration.
#include <gtest/gtest.h>

#include "support/FakeClock.h"
#include "support/ImageLayerTestKit.h"
#include "engine/effects/FocalGFX.h"
#include "engine/effects/Flash.h"
#include "engine/effects/GFXLayer.h"
#include "engine/effects/TextLayer.h"
#include "engine/layers/LayerRegistry.h"

namespace {

using GFXLayerTest = ImageLayerTest;


}  // namespace

TEST_F(GFXLayerTest, DeclaresItsParametersWithTheirIds)
{
    auto layer = Make<GFXLayer>({{"Texture", "pic.png"}});
    const std::pair<const char*, int> ids[] = {
        {"AlphaTexture", 0}, {"Texture", 1},       {"XOffset", 2},      {"YOffset", 3},
        {"XScale", 4},       {"YScale", 5},        {"XOffsetStart", 6}, {"YOffsetStart", 7},
        {"XOffsetEnd", 8},   {"YOffsetEnd", 10},   {"XScaleStart", 11}, {"YScaleStart", 12},
        {"XScaleEnd", 13},   {"YScaleEnd", 14},    {"AlphaType", 9}};
    EXPECT_EQ(layer->GetAccessorCount(), 15u);
    for (const auto& [name, id] : ids) {
        const auto* accessor = layer->FindAccessor(name);
        ASSERT_NE(accessor, nullptr) << name;
        EXPECT_EQ(accessor->id, id) << name;
    }
    EXPECT_EQ(layer->FindAccessor("XScale")->get(), "1.00");
    EXPECT_EQ(layer->GetName().rfind("Gfx Layer [", 0), 0u);
}

TEST_F(GFXLayerTest, DefaultQuadCoversTheScreenWithTruncatedAlpha)
{
    auto layer = Make<GFXLayer>({{"Texture", "pic.png"}});
    layer->DrawWithFade(1.0f);
    ASSERT_EQ(Draws().size(), 1u);
    const RecordedCall* draw = Draws()[0];
    EXPECT_EQ(draw->Draw().primitive, PrimitiveType::TriangleStrip);
    ASSERT_EQ(draw->Vertices().size(), 4u);
    const float expected[4][4] = {
        {0.5f, -0.5f, 0.998f, 0.998f}, {0.5f, 0.5f, 0.998f, 0.002f},
        {-0.5f, -0.5f, 0.002f, 0.998f}, {-0.5f, 0.5f, 0.002f, 0.002f}};
    for (int i = 0; i < 4; ++i) {
        const Vertex& v = draw->Vertices()[i];
        EXPECT_FLOAT_EQ(v.x, expected[i][0]);
        EXPECT_FLOAT_EQ(v.y, expected[i][1]);
        EXPECT_FLOAT_EQ(v.u0, expected[i][2]);
        EXPECT_FLOAT_EQ(v.v0, expected[i][3]);
        EXPECT_EQ(v.z, 0.0f);
        EXPECT_EQ(v.color, 0xFFFFFFFFu);
    }

    // The alpha byte is fade x 255 truncated toward zero, never rounded up.
    const std::pair<float, uint32_t> alphas[] = {{0.999f, 254u}, {0.5f, 127u}, {0.0f, 0u}};
    for (const auto& [fade, alpha] : alphas) {
        device.ClearCalls();
        layer->DrawWithFade(fade);
        for (const Vertex& v : Draws()[0]->Vertices()) EXPECT_EQ(v.color, (alpha << 24) | 0x00FFFFFFu) << fade;
    }
}

TEST_F(GFXLayerTest, DrawsInScreenSpaceAndRestoresTheTransforms)
{
    auto layer = Make<GFXLayer>({{"Texture", "pic.png"}});
    const Matrix4 world = Matrix4::Translation(1.0f, 2.0f, 3.0f);
    const Matrix4 view = Matrix4::RotationY(0.5f);
    const Matrix4 projection = Matrix4::Scaling(2.0f, 3.0f, 4.0f);
    device.SetWorld(world);
    device.SetView(view);
    device.SetProjection(projection);
    device.ClearCalls();

    layer->DrawWithFade(0.5f);

    const RecordedCall* ortho = device.Last(Op::SetOrtho);
    ASSERT_NE(ortho, nullptr);
    EXPECT_EQ(ortho->As<OrthoArgs>(), (OrthoArgs{1.0f, 1.0f, 1.0f, -1.0f}));
    const size_t presetStart = device.Find(Op::EnableLighting);
    ASSERT_GT(presetStart, device.Find(Op::SetOrtho));
    const std::vector<Op> expected = {
        Op::EnableLighting, Op::EnableAlphaBlend, Op::EnableDepth, Op::SetAlphaOp, Op::SetAlphaArg1, Op::SetAlphaArg2,
        Op::SetSrcBlend, Op::SetDestBlend, Op::SetTexture, Op::Draw, Op::SetAlphaOp, Op::EnableLighting,
        Op::EnableAlphaBlend, Op::SetProjection, Op::SetView, Op::SetWorld};
    EXPECT_EQ(device.Ops(presetStart), expected);
    EXPECT_EQ(device.calls[presetStart].As<bool>(), false);
    EXPECT_EQ(device.Last(Op::SetSrcBlend)->As<BlendFactor>(), BlendFactor::SrcAlpha);
    EXPECT_EQ(device.Last(Op::SetDestBlend)->As<BlendFactor>(), BlendFactor::InvSrcAlpha);
    EXPECT_EQ(BoundImage(device.Last(Op::SetTexture)), "pic.png");

    // Afterwards the alpha stage, lighting and blending are off and the camera is back.
    EXPECT_EQ(device.stages[0].alphaOp, AlphaOp::Disable);
    EXPECT_FALSE(device.IsLightingEnabled());
    EXPECT_FALSE(device.alphaBlend);
    EXPECT_EQ(device.GetWorld(), world);
    EXPECT_EQ(device.GetView(), view);
    EXPECT_EQ(device.GetProjection(), projection);
    EXPECT_EQ(device.GetTransformDepth(), 0u);
}

TEST_F(GFXLayerTest, EntersFromTheRightWithXOffsetStart)
{
    auto layer = Make<GFXLayer>({{"Texture", "pic.png"}, {"XOffsetStart", "0.5"}});
    const std::pair<float, float> rising[] = {{0.0f, 0.5f}, {0.5f, 0.25f}, {1.0f, 0.0f}};
    for (const auto& [fade, shift] : rising) {
        device.ClearCalls();
        layer->DrawWithFade(fade);
        const auto& v = Draws()[0]->Vertices();
        EXPECT_FLOAT_EQ(v[0].x, 0.5f + shift) << fade;
        EXPECT_FLOAT_EQ(v[3].x, -0.5f + shift) << fade;
        EXPECT_FLOAT_EQ(v[0].y, -0.5f) << fade;
    }
    // The stable phase repeats fade 1: no displacement.
    device.ClearCalls();
    layer->DrawWithFade(1.0f);
    EXPECT_FLOAT_EQ(Draws()[0]->Vertices()[0].x, 0.5f);
}

TEST_F(GFXLayerTest, DirectionFollowsTheChangeOfFadeNotThePhase)
{
    auto layer = Make<GFXLayer>({{"Texture", "pic.png"},
                                 {"XOffsetStart", "0.3"},
                                 {"XOffsetEnd", "0.5"},
                                 {"YOffsetEnd", "0.2"},
                                 {"XScaleEnd", "1"}});
    layer->DrawWithFade(1.0f);
    device.ClearCalls();
    layer->DrawWithFade(0.5f);  // going down: a = -0.5, End terms
    auto v = Draws()[0]->Vertices();
    EXPECT_FLOAT_EQ(v[0].x, 0.5f * 0.5f - 0.25f);
    EXPECT_FLOAT_EQ(v[3].x, -0.5f * 0.5f - 0.25f);
    EXPECT_FLOAT_EQ(v[0].y, -0.5f - 0.1f);

    // At the end of the fall the image has shrunk to width 0.
    device.ClearCalls();
    layer->DrawWithFade(0.0f);
    v = Draws()[0]->Vertices();
    EXPECT_FLOAT_EQ(v[0].x, -0.5f);
    EXPECT_FLOAT_EQ(v[3].x, -0.5f);

    // A fade that stays put uses the Start terms, here with a = 0.5.
    layer->DrawWithFade(0.5f);
    device.ClearCalls();
    layer->DrawWithFade(0.5f);
    v = Draws()[0]->Vertices();
    EXPECT_FLOAT_EQ(v[0].x, 0.5f + 0.15f);
    EXPECT_FLOAT_EQ(v[0].y, -0.5f);
}

TEST_F(GFXLayerTest, ScaleAndOffsetAreBuiltInOnceAndAppliedAgainEachFrame)
{
    auto layer = Make<GFXLayer>({{"Texture", "pic.png"}, {"XScale", "2"}, {"XOffset", "0.1"}});
    EXPECT_FLOAT_EQ(layer->GetQuad()[0].x, 1.1f);
    EXPECT_FLOAT_EQ(layer->GetQuad()[2].x, -0.9f);
    layer->DrawWithFade(1.0f);
    auto v = Draws()[0]->Vertices();
    EXPECT_FLOAT_EQ(v[0].x, 1.1f * 2.0f + 0.1f);
    EXPECT_FLOAT_EQ(v[2].x, -0.9f * 2.0f + 0.1f);
    EXPECT_FLOAT_EQ(v[0].x - v[2].x, 4.0f);  // four times the screen's width

    // A later change acts only through the per-frame terms.
    layer->SetParameter("XScale", "1");
    device.ClearCalls();
    layer->DrawWithFade(1.0f);
    EXPECT_FLOAT_EQ(Draws()[0]->Vertices()[0].x, 1.1f + 0.1f);
    EXPECT_FLOAT_EQ(layer->GetQuad()[0].x, 1.1f);
}

TEST_F(GFXLayerTest, AlphaTypeSelectsTheBlendPreset)
{
    auto additive = Make<GFXLayer>({{"Texture", "pic.png"}, {"AlphaType", "1"}});
    additive->DrawWithFade(0.6f);
    const RecordedCall* material = device.Last(Op::SetMaterial);
    ASSERT_NE(material, nullptr);
    EXPECT_FLOAT_EQ(material->As<MaterialRecord>().diffuseR, 0.6f);
    EXPECT_FLOAT_EQ(material->As<MaterialRecord>().ambientG, 0.6f);
    EXPECT_FLOAT_EQ(material->As<MaterialRecord>().emissiveB, 0.6f);
    EXPECT_EQ(material->As<MaterialRecord>().specularR, 0.0f);
    for (const Vertex& v : Draws()[0]->Vertices()) EXPECT_EQ(v.color, 0x00FFFFFFu);
    const size_t draw = device.Find(Op::Draw);
    EXPECT_EQ(device.calls[device.Find(Op::EnableLighting)].As<bool>(), true);
    EXPECT_EQ(device.Last(Op::SetSrcBlend)->As<BlendFactor>(), BlendFactor::One);
    EXPECT_EQ(device.Last(Op::SetDestBlend)->As<BlendFactor>(), BlendFactor::One);
    EXPECT_GT(device.Find(Op::SetAlphaOp), draw);  // only the closing Disable

    // Any other value leaves the blend state alone and keeps the vertex alpha.
    device.ClearCalls();
    auto untouched = Make<GFXLayer>({{"Texture", "pic.png"}, {"AlphaType", "2"}});
    untouched->DrawWithFade(0.6f);
    const size_t untouchedDraw = device.Find(Op::Draw);
    for (Op op : {Op::EnableLighting, Op::EnableAlphaBlend, Op::EnableDepth, Op::SetSrcBlend, Op::SetDestBlend,
                  Op::SetAlphaOp, Op::SetMaterial})
        EXPECT_GT(device.Find(op), untouchedDraw) << op;
    EXPECT_LT(device.Find(Op::SetTexture), untouchedDraw);  // the image is still bound
    EXPECT_EQ(Draws()[0]->Vertices()[0].color, 0x99FFFFFFu);
}

TEST_F(GFXLayerTest, LoadsTheAlphaMapFirstAndGivesTheTextureBack)
{
    const int before = device.liveTextures;
    auto layer = Make<GFXLayer>({{"Texture", "pic.png"}, {"AlphaTexture", "pica.png"}});
    EXPECT_EQ(device.liveTextures, before + 1);
    layer->DrawWithFade(1.0f);
    const auto* texture = static_cast<const Texture*>(device.Last(Op::SetTexture)->object);
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(texture->GetName(), "pic.png");
    EXPECT_EQ(texture->GetAlphaName(), "pica.png");
    EXPECT_EQ(texture->GetAlphaMode(), 8);
    layer->Release();
    EXPECT_EQ(device.liveTextures, before);

    auto plain = Make<GFXLayer>({{"Texture", "pic.png"}});
    plain->DrawWithFade(1.0f);
    EXPECT_EQ(static_cast<const Texture*>(device.Last(Op::SetTexture)->object)->GetAlphaName(), "");
}

TEST_F(GFXLayerTest, RegistryMakesEachTypeWithItsDefaultName)
{
    const std::pair<const char*, const char*> types[] = {
        {"GFXLayer", "Gfx Layer ["}, {"Flash", "Flash Layer ["}, {"TextLayer", "Gfx Text Layer ["}, {"FocalGFX", ""}};
    for (const auto& [type, prefix] : types) {
        auto layer = CreateLayer(device, nested, type);
        ASSERT_NE(layer, nullptr) << type;
        if (*prefix) {
            EXPECT_EQ(layer->GetName().rfind(prefix, 0), 0u) << type;
            EXPECT_EQ(layer->GetName().back(), ']') << type;
        } else {
            EXPECT_EQ(layer->GetName(), "") << type;
        }
    }
    EXPECT_NE(dynamic_cast<GFXLayer*>(CreateLayer(device, nested, "GFXLayer").get()), nullptr);
    EXPECT_NE(dynamic_cast<Flash*>(CreateLayer(device, nested, "Flash").get()), nullptr);
    EXPECT_NE(dynamic_cast<TextLayer*>(CreateLayer(device, nested, "TextLayer").get()), nullptr);
    EXPECT_NE(dynamic_cast<FocalGFX*>(CreateLayer(device, nested, "FocalGFX").get()), nullptr);
}

TEST_F(GFXLayerTest, FramesFollowTheEnvelopeOfTheClock)
{
    FakeClock clock;
    auto layer = CreateLayer(device, nested, "GFXLayer");
    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"Texture", "pic.png"}, {"RisingTime", "1"}, {"StableTime", "1"}, {"FallingTime", "1"},
             {"XOffsetStart", "0.5"}, {"XOffsetEnd", "-0.5"}})
        layer->SetParameter(name, value);
    layer->Init();
    layer->Restart(0.0f);
    // Rising at half way, stable, then half way down the fall.
    const struct {
        double now;
        uint32_t alpha;
        float shift;
    } frames[] = {{0.5, 127u, 0.25f}, {1.5, 255u, 0.0f}, {2.5, 127u, 0.25f}};
    for (const auto& frame : frames) {
        clock.Set(frame.now);
        device.ClearCalls();
        layer->Frame();
        ASSERT_EQ(Draws().size(), 1u) << frame.now;
        EXPECT_EQ(Draws()[0]->Vertices()[0].color >> 24, frame.alpha) << frame.now;
        EXPECT_FLOAT_EQ(Draws()[0]->Vertices()[0].x, 0.5f + frame.shift) << frame.now;
    }
    layer->Release();
}
