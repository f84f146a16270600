// Tests of the scene player layer on the recording device: modifiers from the script, Init, fog, camera, frame order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include "support/PlayerTestKit.h"
#include "engine/layers/LayerRegistry.h"
#include "engine/scene/OndesRadio.h"
#include "engine/scene/Smoke.h"

namespace {

using MDLPlayerTest = PlayerTest;

ParameterAssignment Set(const std::string& name, const std::string& value)
{
    return {name, value};
}

std::vector<std::string> ModifierNames(const MDLPlayer& player)
{
    std::vector<std::string> names;
    for (const auto& modifier : player.GetModifiers())
        names.push_back(modifier->GetName());
    return names;
}

}  // namespace

TEST_F(MDLPlayerTest, RegistryHoldsAllThirteenLayerTypes)
{
    EXPECT_EQ(LayerRegistry::Instance().GetNames(),
              (std::vector<std::string>{"CerclesLayer", "DotEffect", "Flash", "FocalGFX", "FocalMDL", "GFXLayer",
                                        "LineLayer", "MDLPlayer", "MetaballLayer", "OnduleGFXLayer",
                                        "ParasitesLayer", "TextLayer", "WaterText"}));
    const std::vector<LayerOperation> none;
    auto player = CreateLayer(device, none, "MDLPlayer");
    EXPECT_NE(dynamic_cast<MDLPlayer*>(player.get()), nullptr);
    EXPECT_EQ(player->GetName().rfind("MDLPlayer Layer [", 0), 0u) << player->GetName();
    EXPECT_TRUE(player->IsAutoDelete());
    EXPECT_EQ(CreateLayer(device, none, "FocalMDL")->GetName(), "");
    EXPECT_EQ(CreateLayer(device, none, "DotEffect")->GetName().rfind("MDLPlayer Layer [", 0), 0u);
}

TEST_F(MDLPlayerTest, ParametersAndDefaults)
{
    MDLPlayer player(device, nested_);
    EXPECT_EQ(player.ListParameters(), " - CurrentCamera\r\n - FarPlane\r\n - MDLFile\r\n - NearPlane\r\n"
                                       " - ShowBBoxes\r\n - ShowMesheCount\r\n - LifeTime\r\n - StartTime\r\n");
    EXPECT_EQ(player.FindAccessor("NearPlane")->get(), "1.00");
    EXPECT_EQ(player.FindAccessor("FarPlane")->get(), "1000.00");
    EXPECT_EQ(player.FindAccessor("ShowBBoxes")->get(), "No");
    EXPECT_EQ(player.FindAccessor("MDLFile")->id, 0);
    EXPECT_EQ(player.FindAccessor("ShowMesheCount")->id, 5);
}

TEST_F(MDLPlayerTest, ModifiersComeFromTheNestedCreatesInOrderBottomFirst)
{
    LayerOperation ignored = ModifierOperation("Smoke", "Ignored");
    ignored.kind = OperationKind::Update;
    auto player = Make({ModifierOperation("Smoke", "A", {Set("Texture", "spark.png"), Set("NBParticle", "3")}),
                        ModifierOperation("OndesRadio", "B", {Set("Texture", "spark.png")}), ignored,
                        ModifierOperation("Smoke", "C", {Set("Texture", "spark.png")}, true)});
    EXPECT_EQ(ModifierNames(*player), (std::vector<std::string>{"C", "A", "B"}));
    const auto& first = player->GetModifiers().front();
    ASSERT_NE(dynamic_cast<Smoke*>(first.get()), nullptr);
    // The assignments reached the modifier before its Init.
    const auto& a = *std::next(player->GetModifiers().begin());
    EXPECT_EQ(static_cast<Smoke&>(*a).GetParticles().size(), 3u);
    EXPECT_NE(dynamic_cast<OndesRadio*>(player->GetModifiers().back().get()), nullptr);
}

TEST_F(MDLPlayerTest, AModifierParameterErrorNamesTheModifierAndItsScriptLine)
{
    ParameterAssignment wrong{"NBParticles", "3", 14};
    nested_ = {ModifierOperation("Smoke", "S", {wrong})};
    const std::string text = FatalText([&] { MDLPlayer player(device, nested_); });
    EXPECT_EQ(text.rfind("Could not find Parameter [NBParticles]\r\n Available are : \r\n", 0), 0u) << text;
    const std::string place = "\r\n(modifier Smoke, script line 14)";
    ASSERT_GT(text.size(), place.size());
    EXPECT_EQ(text.substr(text.size() - place.size()), place) << text;
}

TEST_F(MDLPlayerTest, UnknownModifierTypeIsFatalAtCreation)
{
    nested_ = {ModifierOperation("smoke")};
    const std::string text = FatalText([&] { MDLPlayer player(device, nested_); });
    EXPECT_EQ(text, "Could not find MDLModifier [smoke].\r\n Available are : \r\n - Flies\r\n - GlowEffect\r\n"
                    " - OndesRadio\r\n - ParticlesCollision\r\n - Smoke\r\n");
}

TEST_F(MDLPlayerTest, InitLoadsTheSceneAndTexturesAndGivesThemBack)
{
    const int before = device.liveTextures;
    auto player = Make({ModifierOperation("OndesRadio", "W", {Set("Texture", "spark.png")})});
    EXPECT_EQ(player->GetScene().GetMeshes().size(), 1u);
    ASSERT_NE(player->GetScene().GetMaterials()[0]->GetTexture(0), nullptr);
    EXPECT_EQ(player->GetScene().GetMaterials()[0]->GetTexture(0)->GetName(), "box.png");
    EXPECT_EQ(device.liveTextures, before + 2);  // the material's and the modifier's
    EXPECT_FALSE(player->IsFogOn());
    player->Release();
    EXPECT_EQ(device.liveTextures, before);
}

TEST_F(MDLPlayerTest, WithoutCurrentCameraTheFirstCameraIsUsed)
{
    auto player = Make();
    FrameAt(*player, 1.0);
    EXPECT_EQ(player->GetScene().GetCurrentCamera()->GetName(), "Camera01");
    EXPECT_NEAR(device.GetEye().z, -10.0f, 1e-4f);
}

TEST_F(MDLPlayerTest, EverySetOfCurrentCameraSelectsItAgain)
{
    auto player = Make({}, {{"CurrentCamera", "camera02"}});
    FrameAt(*player, 0.5);
    EXPECT_EQ(player->GetScene().GetCurrentCamera()->GetName(), "Camera02");
    EXPECT_NEAR(device.GetEye().x, 10.0f, 1e-4f);
    // Something else selects another camera; the same name set again wins it back.
    player->GetScene().SelectCamera("Camera01");
    FrameAt(*player, 0.6);
    EXPECT_EQ(player->GetScene().GetCurrentCamera()->GetName(), "Camera01");
    player->SetParameter("CurrentCamera", "camera02");
    FrameAt(*player, 0.7);
    EXPECT_EQ(player->GetScene().GetCurrentCamera()->GetName(), "Camera02");
    // An unknown name stops at the next frame.
    player->SetParameter("CurrentCamera", "Nobody");
    EXPECT_EQ(FatalText([&] { FrameAt(*player, 0.8); }),
              "Could not find any camera named [Nobody]\r\n Available are : \r\n - Camera01\r\n - Camera02\r\n");
}

TEST_F(MDLPlayerTest, LocalTimeBecomesSceneFramesAt33PerSecond)
{
    MdlFile file = PlayerScene();
    // Camera01's eye runs along x one unit per frame.
    std::vector<MdlVectorKey> keys;
    for (int f = 0; f <= 200; f += 10)
        keys.push_back({f, {static_cast<float>(f), 0, -10}});
    file.tracks[0] = MakePositionTrack("Camera01", keys);
    UseScene(file);
    auto player = Make();
    FrameAt(*player, 2.0);
    Vector3 expected;
    ASSERT_TRUE(player->GetScene().GetCameras()[0]->track->PositionAt(66.0f, expected));
    EXPECT_NEAR(device.GetEye().x, expected.x, 1e-3f);
    EXPECT_NEAR(expected.x, 66.0f, 1e-3f);
}

TEST_F(MDLPlayerTest, FrameStatesThenSceneThenFogOffThenModifiers)
{
    auto player = Make({ModifierOperation("OndesRadio", "W", {Set("Texture", "spark.png"), Set("ObjetName", "Box")})},
                       {{"NearPlane", "2"}, {"FarPlane", "300"}, {"ShowBBoxes", "Yes"}, {"ShowMesheCount", "Yes"}});
    FrameAt(*player, 0.5);  // inside the wave's first pulse window
    EXPECT_FLOAT_EQ(device.GetNearPlane(), 2.0f);
    EXPECT_FLOAT_EQ(device.GetFarPlane(), 300.0f);
    EXPECT_TRUE(player->GetScene().showBoundingBoxes);
    EXPECT_TRUE(player->GetScene().showMeshCount);
    EXPECT_EQ(device.Count(Op::SurfaceDraw), 3);  // "1/1" printed for the author
    const size_t depth = device.Find(Op::EnableDepth);
    const size_t mesh = device.Find(Op::VertexBufferDraw);
    const size_t fogOff = device.Find(Op::EnableFog, mesh);
    const size_t wave = device.Find(Op::Draw, fogOff);
    ASSERT_LT(wave, device.calls.size());
    EXPECT_LT(depth, mesh);
    EXPECT_EQ(device.calls[depth].As<bool>(), true);
    EXPECT_EQ(device.calls[fogOff].As<bool>(), false);
    // The wave is drawn at the box's resting place.
    EXPECT_NEAR(device.calls[wave].Vertices()[0].x, 2.0f + (1.0f + std::fabs(std::sin(0.5f))), 1e-4f);
}

TEST_F(MDLPlayerTest, FogComesFromTheFogLightAndIsOffAfterEverySceneDraw)
{
    MdlFile file = PlayerScene();
    file.lights.push_back({"Omni03.Fog.s60.e100.d10", {0, 0, 0}, {0.44f, 0.77f, 0.83f}, 5});
    UseScene(file);
    auto player = Make();
    ASSERT_TRUE(player->IsFogOn());
    EXPECT_TRUE(device.IsFogEnabled());
    EXPECT_EQ(device.fogMode, FogMode::Linear);
    EXPECT_FLOAT_EQ(device.fogStart, 60.0f);
    EXPECT_FLOAT_EQ(device.fogEnd, 100.0f);
    EXPECT_FLOAT_EQ(device.fogDensity, 10.0f);
    EXPECT_EQ(device.fogColor, PackColor(0.44f, 0.77f, 0.83f));

    device.EnableFog(false);
    device.SetFog(FogMode::Exp, 0, 0, 0);
    FrameAt(*player, 0.25);
    // Fog on (with its values) for the scene, off right after it.
    const size_t on = device.Find(Op::EnableFog);
    const size_t draw = device.Find(Op::VertexBufferDraw);
    ASSERT_LT(draw, device.calls.size());
    EXPECT_LT(on, draw);
    EXPECT_EQ(device.calls[on].As<bool>(), true);
    EXPECT_EQ(device.fogMode, FogMode::Linear);
    EXPECT_FALSE(device.IsFogEnabled());
    EXPECT_EQ(device.Last(Op::EnableFog)->As<bool>(), false);
}

TEST_F(MDLPlayerTest, FogNumbersAreReadFromTheLightName)
{
    struct Case {
        const char* name;
        bool fog;
        float start, end, density;
    } cases[] = {
        {"omni03.fog.s60.e100.d10", true, 60, 100, 10},
        {"spot.dyna.fog.s5.e9.d2", true, 5, 9, 2},      // ".d" of ".dyna" holds no number
        {"a.fog.s\"12.5\".e20", true, 12.5f, 20, 0},    // quotes allow a point; no density
        {"omni01", false, 0, 0, 0},
        {"foggy", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SceneLight light;
        light.SetName(c.name);
        MDLPlayer::Fog fog;
        EXPECT_EQ(MDLPlayer::FogFromLight(light, fog), c.fog) << c.name;
        if (!c.fog)
            continue;
        EXPECT_FLOAT_EQ(fog.start, c.start) << c.name;
        EXPECT_FLOAT_EQ(fog.end, c.end) << c.name;
        EXPECT_FLOAT_EQ(fog.density, c.density) << c.name;
    }
}

TEST_F(MDLPlayerTest, RestartReachesEveryModifier)
{
    auto player = Make({ModifierOperation("OndesRadio", "A", {Set("Texture", "spark.png")}),
                        ModifierOperation("Smoke", "B", {Set("Texture", "spark.png")})});
    player->Restart(12.5f);
    EXPECT_FLOAT_EQ(player->GetClockOrigin(), 12.5f);
    for (const auto& modifier : player->GetModifiers())
        EXPECT_FLOAT_EQ(modifier->GetOrigin(), 12.5f) << modifier->GetName();
}

TEST_F(MDLPlayerTest, ExpiredModifiersLeaveOnePerFrameAfterTheirWindow)
{
    auto wave = [](const std::string& name, const std::string& start, const std::string& life) {
        return ModifierOperation("OndesRadio", name,
                                 {Set("Texture", "spark.png"), Set("StartTime", start), Set("LifeTime", life)});
    };
    auto player = Make({wave("Forever", "0", "-1"), wave("X", "2", "3"), wave("Y", "0", "4")});
    player->Restart(ClockNow());
    LogCapture log;
    FrameAt(*player, 4.0);
    EXPECT_EQ(player->GetModifiers().size(), 3u);
    // Both X and Y are over: the first in the list leaves now, the other next frame.
    FrameAt(*player, 6.0);
    EXPECT_EQ(ModifierNames(*player), (std::vector<std::string>{"Forever", "Y"}));
    EXPECT_TRUE(log.Contains("Destroying Modifier [X]"));
    FrameAt(*player, 6.01);
    EXPECT_EQ(ModifierNames(*player), (std::vector<std::string>{"Forever"}));
    FrameAt(*player, 500.0);
    EXPECT_EQ(ModifierNames(*player), (std::vector<std::string>{"Forever"}));
}
