// Tests of the Flash layer: material at half the fade, camera and state restored, lifetime from the phases.
#include <gtest/gtest.h>

#include "support/FakeClock.h"
#include "support/ImageLayerTestKit.h"
#include "engine/effects/Flash.h"

namespace {

using FlashTest = ImageLayerTest;

}  // namespace

TEST_F(FlashTest, AddsWhiteThroughTheMaterialAtHalfTheFade)
{
    auto flash = Make<Flash>({});
    const float fades[] = {1.0f, 0.5f, 0.0f};
    for (const float fade : fades) {
        device.ClearCalls();
        flash->DrawWithFade(fade);
        const RecordedCall* material = device.Last(Op::SetMaterial);
        ASSERT_NE(material, nullptr);
        EXPECT_FLOAT_EQ(material->As<MaterialRecord>().diffuseR, fade * 0.5f);
        EXPECT_FLOAT_EQ(material->As<MaterialRecord>().ambientB, fade * 0.5f);
        EXPECT_FLOAT_EQ(material->As<MaterialRecord>().emissiveG, fade * 0.5f);
        EXPECT_EQ(material->As<MaterialRecord>().specularR, 0.0f);
        EXPECT_LT(device.Find(Op::SetMaterial), device.Find(Op::Draw));

        // The 20 x 20 quad is drawn as stored, white with alpha 0, whatever the fade.
        ASSERT_EQ(Draws().size(), 1u);
        const auto& v = Draws()[0]->Vertices();
        ASSERT_EQ(v.size(), 4u);
        EXPECT_EQ(v[0].x, 10.0f);
        EXPECT_EQ(v[0].y, -10.0f);
        EXPECT_FLOAT_EQ(v[0].u0, 0.002f);
        EXPECT_EQ(v[3].x, -10.0f);
        EXPECT_EQ(v[3].y, 10.0f);
        EXPECT_FLOAT_EQ(v[3].u0, 0.998f);
        for (const Vertex& vertex : v) EXPECT_EQ(vertex.color, 0x00FFFFFFu);
    }
    EXPECT_EQ(BoundImage(device.Last(Op::SetTexture)), "white.jpg");
    // Only the envelope's timings shape a flash: it declares no parameters of its own.
    EXPECT_EQ(flash->GetAccessorCount(), 0u);
}

TEST_F(FlashTest, DrawsAdditivelyThroughTheCameraAndRestoresTheMatrices)
{
    auto flash = Make<Flash>({});
    device.SetOrtho(640.0f, 480.0f, 0.0f, 1.0f);
    const Matrix4 world = Matrix4::Translation(3.0f, 0.0f, 1.0f);
    device.SetWorld(world);
    const Matrix4 view = device.GetView();
    const Matrix4 projection = device.GetProjection();
    device.ClearCalls();

    flash->DrawWithFade(0.8f);

    // While drawing: identity world, the eye 5 units in front, additive lit blending.
    const size_t draw = device.Find(Op::Draw);
    ASSERT_LT(draw, device.calls.size());
    const RecordedCall& firstWorld = device.calls[device.Find(Op::SetWorld)];
    EXPECT_EQ(firstWorld.As<Matrix4>(), Matrix4::Identity());
    EXPECT_EQ(device.GetEye().z, -5.0f);
    EXPECT_FLOAT_EQ(device.GetFieldOfView(), 0.7853982f);
    EXPECT_EQ(device.GetFarPlane(), 1500.0f);
    EXPECT_EQ(device.calls[device.Find(Op::EnableLighting)].As<bool>(), true);
    EXPECT_EQ(device.calls[device.Find(Op::SetSrcBlend)].As<BlendFactor>(), BlendFactor::One);
    EXPECT_EQ(device.calls[device.Find(Op::SetDestBlend)].As<BlendFactor>(), BlendFactor::One);
    EXPECT_EQ(device.calls[device.Find(Op::EnableDepth)].As<bool>(), false);
    EXPECT_LT(device.Find(Op::SetTexture), draw);

    // Afterwards: lighting and blending off, the transforms of before the flash.
    EXPECT_FALSE(device.IsLightingEnabled());
    EXPECT_FALSE(device.alphaBlend);
    EXPECT_EQ(device.GetWorld(), world);
    EXPECT_EQ(device.GetView(), view);
    EXPECT_EQ(device.GetProjection(), projection);
    EXPECT_EQ(device.GetTransformDepth(), 0u);
    const std::vector<Op> closing = {Op::EnableLighting, Op::EnableAlphaBlend, Op::SetProjection, Op::SetView,
                                     Op::SetWorld};
    EXPECT_EQ(device.Ops(draw + 1), closing);
}

TEST_F(FlashTest, LivesForItsPhasesAndPeaksAtTheEndOfTheRise)
{
    FakeClock clock;
    auto flash = std::make_unique<Flash>(device, nested);
    flash->SetParameter("RisingTime", "0.25");
    flash->SetParameter("StableTime", "0");
    flash->SetParameter("FallingTime", "0.5");
    flash->SetParameter("LifeTime", "10");  // replaced by the phases
    flash->Init();
    flash->Restart(0.0f);
    EXPECT_FLOAT_EQ(*static_cast<float*>(flash->FindBound("LifeTime")->target), 0.75f);

    const std::pair<double, float> frames[] = {{0.125, 0.25f}, {0.25, 0.5f}, {0.5, 0.25f}};
    for (const auto& [now, level] : frames) {
        clock.Set(now);
        device.ClearCalls();
        flash->Frame();
        ASSERT_NE(device.Last(Op::SetMaterial), nullptr) << now;
        EXPECT_FLOAT_EQ(device.Last(Op::SetMaterial)->As<MaterialRecord>().diffuseR, level) << now;
    }
    clock.Set(0.8);
    EXPECT_FALSE(flash->IsAlive());
    const int live = device.liveTextures;
    flash->Release();
    EXPECT_EQ(device.liveTextures, live - 1);
}
