// Tests of FocalGFX: blurred and sharp alphas over the envelope, screen-space frame, shared alpha map.
#include <gtest/gtest.h>

#include "support/ImageLayerTestKit.h"
#include "engine/effects/FocalGFX.h"

namespace {

using FocalGFXTest = ImageLayerTest;

}  // namespace

TEST_F(FocalGFXTest, BlurredPictureGivesWayToTheSharpOne)
{
    auto layer = Make<FocalGFX>({{"BlurryMap", "blur.png"}, {"OrigMap", "sharp.png"}});
    const struct {
        float fade;
        std::vector<std::pair<std::string, uint32_t>> draws;
    } frames[] = {
        {0.1f, {{"blur.png", 79u}}},
        {0.3f, {{"blur.png", 207u}, {"sharp.png", 0u}}},
        {0.5f, {{"blur.png", 254u}, {"sharp.png", 72u}}},
        {0.995f, {{"sharp.png", 253u}}},
        {1.0f, {{"sharp.png", 255u}}},
    };
    for (const auto& frame : frames) {
        device.ClearCalls();
        layer->DrawWithFade(frame.fade);
        std::vector<std::pair<std::string, uint32_t>> seen;
        std::string image;
        for (const RecordedCall& call : device.calls) {
            if (call.op == Op::SetTexture) image = BoundImage(&call);
            if (call.op != Op::Draw) continue;
            seen.emplace_back(image, call.Vertices()[0].color >> 24);
            for (const Vertex& v : call.Vertices()) EXPECT_EQ(v.color & 0x00FFFFFFu, 0x00FFFFFFu);
        }
        EXPECT_EQ(seen, frame.draws) << frame.fade;
    }
}

TEST_F(FocalGFXTest, DrawsInScreenSpaceWithTheScaledQuad)
{
    auto layer = Make<FocalGFX>({{"BlurryMap", "blur.png"}, {"OrigMap", "sharp.png"}, {"XScale", "2"},
                                 {"YScale", "0.5"}});
    EXPECT_EQ(layer->GetName(), "");
    const FocalGFX fresh(device, nested);
    const struct {
        const char* name;
        int id;
        const char* value;
    } parameters[] = {
        {"BlurryMap", 0, ""}, {"AlphaMap", 1, ""}, {"OrigMap", 2, ""}, {"XScale", 3, "1.00"}, {"YScale", 4, "1.00"}};
    EXPECT_EQ(fresh.GetAccessorCount(), 5u);
    for (const auto& parameter : parameters) {
        const auto* accessor = fresh.FindAccessor(parameter.name);
        ASSERT_NE(accessor, nullptr) << parameter.name;
        EXPECT_EQ(accessor->id, parameter.id) << parameter.name;
        EXPECT_EQ(accessor->get(), parameter.value) << parameter.name;
    }
    const Matrix4 world = Matrix4::Translation(1.0f, 1.0f, 1.0f);
    device.SetWorld(world);
    device.ClearCalls();

    layer->DrawWithFade(0.5f);
    EXPECT_EQ(device.Last(Op::SetOrtho)->As<OrthoArgs>(), (OrthoArgs{1.0f, 1.0f, 1.0f, -1.0f}));
    EXPECT_EQ(device.calls[device.Find(Op::SetSrcBlend)].As<BlendFactor>(), BlendFactor::SrcAlpha);
    EXPECT_EQ(device.calls[device.Find(Op::SetAlphaOp)].As<StageArgs>().alphaOp, AlphaOp::Modulate);
    const auto& v = Draws()[0]->Vertices();
    EXPECT_FLOAT_EQ(v[0].x, 1.0f);
    EXPECT_FLOAT_EQ(v[0].y, -0.25f);
    EXPECT_FLOAT_EQ(v[3].x, -1.0f);
    EXPECT_FLOAT_EQ(v[3].v0, 0.002f);
    EXPECT_EQ(device.GetWorld(), world);
    EXPECT_EQ(device.GetTransformDepth(), 0u);
    EXPECT_FALSE(device.alphaBlend);
}

TEST_F(FocalGFXTest, BothPicturesShareTheAlphaMapAndAreGivenBack)
{
    const int live = device.liveTextures;
    auto layer = Make<FocalGFX>({{"BlurryMap", "blur.png"}, {"OrigMap", "sharp.png"}, {"AlphaMap", "pica.png"}});
    EXPECT_EQ(device.liveTextures, live + 2);
    layer->DrawWithFade(0.5f);
    const auto textures = device.All(Op::SetTexture);
    ASSERT_EQ(textures.size(), 2u);
    for (const RecordedCall* call : textures)
        EXPECT_EQ(static_cast<const Texture*>(call->object)->GetAlphaName(), "pica.png");
    layer->Release();
    EXPECT_EQ(device.liveTextures, live);
}
