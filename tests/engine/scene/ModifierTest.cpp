// Tests of the modifier base and registry: type listing, parameters, timing window, lifetime, object look-up.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include "support/PlayerTestKit.h"
#include "engine/scene/Flies.h"
#include "engine/scene/ParticlesCollision.h"
#include "engine/scene/Smoke.h"

namespace {

class ModifierTest : public PlayerTest {
protected:
    // A lone modifier on the loaded scene, parameters set, initialised.
    void SetUp() override
    {
        scene_ = std::make_unique<Scene>(device);
        scene_->Load("scene.mdl");
    }

    std::unique_ptr<MDLModifier> Modifier(const std::string& type,
                                          const std::vector<std::pair<std::string, std::string>>& parameters)
    {
        auto modifier = MDLModifierRegistry::Instance().Create(device, *scene_, type);
        modifier->SetName(type + " test");
        for (const auto& [name, value] : parameters)
            modifier->SetParameter(name, value);
        modifier->Init();
        return modifier;
    }

    // Draws counted in one frame of modifier at local clock time seconds after origin.
    int DrawsAt(MDLModifier& modifier, double seconds)
    {
        SetClock(modifier.GetOrigin() + seconds);
        device.ClearCalls();
        modifier.Frame();
        return device.Count(Op::Draw);
    }

    std::unique_ptr<Scene> scene_;
};

// The captured lines that hold text.
std::vector<std::string> LinesWith(const LogCapture& log, const std::string& text)
{
    std::vector<std::string> found;
    for (const std::string& line : log.Lines())
        if (line.find(text) != std::string::npos)
            found.push_back(line);
    return found;
}

}  // namespace

TEST_F(ModifierTest, RegistryListsTheFiveTypesAndEachMakesItsClass)
{
    EXPECT_EQ(MDLModifierRegistry::Instance().GetNames(),
              (std::vector<std::string>{"Flies", "GlowEffect", "OndesRadio", "ParticlesCollision", "Smoke"}));
    Scene scene(device);
    EXPECT_NE(dynamic_cast<Smoke*>(MDLModifierRegistry::Instance().Create(device, scene, "Smoke").get()), nullptr);
    EXPECT_NE(dynamic_cast<Flies*>(MDLModifierRegistry::Instance().Create(device, scene, "Flies").get()), nullptr);
    EXPECT_EQ(FatalText([&] { MDLModifierRegistry::Instance().Create(device, scene, "Glow"); }),
              "Could not find MDLModifier [Glow].\r\n Available are : \r\n - Flies\r\n - GlowEffect\r\n"
              " - OndesRadio\r\n - ParticlesCollision\r\n - Smoke\r\n");
}

TEST_F(ModifierTest, EachTypeAcceptsItsParametersWithTheirDefaults)
{

    struct Case {
        const char* type;
        std::vector<std::string> own;  // besides the common ones and XScale, YScale
        std::vector<std::pair<std::string, std::string>> defaults;
    } cases[] = {
        {"OndesRadio", {"NBOndes", "RotateX", "RotateY", "RotateZ", "Width"},
         {{"XScale", "1.00"}, {"NBOndes", "1"}, {"Width", "2.00"}, {"RotateZ", "0.00"}, {"LifeTime", "-1.00"}}},
        {"ParticlesCollision", {"Gravity", "NBParticules", "SensX", "SensY", "SensZ"},
         {{"NBParticules", "1"}, {"Gravity", "0.90"}, {"SensY", "0.00"}}},
        {"Smoke",
         {"AlphaType", "AmplitudeX", "AmplitudeY", "AmplitudeZ", "Effect", "Gravity", "LifeTimeParticules",
          "MaxIntensity", "NBParticle", "SensX", "SensY", "SensZ"},
         {{"NBParticle", "1"}, {"LifeTimeParticules", "1.00"}, {"Effect", "0"}, {"AlphaType", "0"},
          {"MaxIntensity", "255.00"}, {"YScale", "1.00"}}},
        {"GlowEffect", {"TimeRatio", "ZScale"}, {{"ZScale", "1.00"}, {"TimeRatio", "1.00"}, {"StartTime", "0.00"}}},
        {"Flies", {"NBFlies", "ZoneMax", "ZoneMin"}, {{"NBFlies", "1"}, {"ZoneMin", "0.00"}, {"ZoneMax", "1.00"}}},
    };
    Scene scene(device);
    for (const Case& c : cases) {
        auto modifier = MDLModifierRegistry::Instance().Create(device, scene, c.type);
        std::vector<std::string> names = {"AlphaTexture", "LifeTime", "ObjetName", "StartTime", "Texture",
                                          "XScale", "YScale"};
        names.insert(names.end(), c.own.begin(), c.own.end());
        std::sort(names.begin(), names.end());
        std::string listing;
        for (const std::string& name : names)
            listing += " - " + name + "\r\n";
        EXPECT_EQ(modifier->ListParameters(), listing) << c.type;
        for (const auto& [name, value] : c.defaults)
            EXPECT_EQ(modifier->FindAccessor(name)->get(), value) << c.type << " " << name;
        // Floats are read with "%f": unreadable text keeps the value.
        modifier->SetParameter("StartTime", "2.5");
        modifier->SetParameter("StartTime", "abc");
        EXPECT_EQ(modifier->FindAccessor("StartTime")->get(), "2.50") << c.type;
    }

}

TEST_F(ModifierTest, WindowRunsFromStartTimeToStartPlusLifeTimeInclusive)
{
    auto flies = Modifier("Flies", {{"Texture", "spark.png"}, {"ObjetName", "Box"}, {"StartTime", "2"},
                                    {"LifeTime", "3"}});
    flies->Restart(0.0f);
    struct Step {
        double at;
        int draws;
        bool alive;
    } steps[] = {{1.99, 0, true}, {2.0, 1, true}, {3.5, 1, true}, {5.0, 1, true}, {5.01, 0, false}};
    for (const Step& step : steps) {
        EXPECT_EQ(DrawsAt(*flies, step.at), step.draws) << step.at;
        EXPECT_EQ(flies->IsAlive(), step.alive) << step.at;
    }
    // Restart with -1 takes the clock's now as the new origin.
    const float now = ClockNow();
    flies->Restart(-1.0f);
    EXPECT_FLOAT_EQ(flies->GetOrigin(), now);
    EXPECT_TRUE(flies->IsAlive());
}

TEST_F(ModifierTest, LifeTimeMinusOneNeverEnds)
{
    auto forever = Modifier("Flies", {{"Texture", "spark.png"}, {"ObjetName", "Box"}});
    auto almost = Modifier("Flies", {{"Texture", "spark.png"}, {"ObjetName", "Box"}, {"LifeTime", "-0.999"}});
    forever->Restart(0.0f);
    almost->Restart(0.0f);
    EXPECT_EQ(DrawsAt(*forever, 10000.0), 1);
    EXPECT_TRUE(forever->IsAlive());
    EXPECT_FALSE(almost->IsAlive());
}

TEST_F(ModifierTest, ObjectIsFoundByExactNameAndAMissingOneIsWarnedOnce)
{
    {
        LogCapture log;
        auto found = Modifier("Flies", {{"Texture", "spark.png"}, {"ObjetName", "Box"}});
        EXPECT_NE(found->GetObject(), nullptr);
        EXPECT_TRUE(LinesWith(log, "Warning").empty());
    }
    LogCapture log;
    auto missing = Modifier("Flies", {{"Texture", "spark.png"}, {"ObjetName", "box"}});
    EXPECT_EQ(missing->GetObject(), nullptr);
    const std::vector<std::string> warnings = LinesWith(log, "Warning");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("[Flies test]"), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find("[box]"), std::string::npos) << warnings[0];
    // The type is named too: an unnamed modifier's brackets are empty.
    EXPECT_NE(warnings[0].find("(modifier type Flies)"), std::string::npos) << warnings[0];
    // Without an object it draws at (0, 0, 0): at time 0 a fly sits on its object.
    missing->Restart(0.0f);
    DrawsAt(*missing, 0.0);
    const RecordedCall* draw = device.Last(Op::Draw);
    ASSERT_NE(draw, nullptr);
    float cx = 0, cy = 0, cz = 0;
    for (const Vertex& v : draw->Vertices()) {
        cx += v.x / 4;
        cy += v.y / 4;
        cz += v.z / 4;
    }
    EXPECT_LT(std::sqrt(cx * cx + cy * cy + cz * cz), 1e-5f);
}

TEST_F(ModifierTest, TextureLoadsWithOptionalAlphaAndIsGivenBack)
{
    const int before = device.liveTextures;
    auto plain = Modifier("OndesRadio", {{"Texture", "spark.png"}});
    auto alpha = Modifier("OndesRadio", {{"Texture", "spark.png"}, {"AlphaTexture", "sparka.png"}});
    EXPECT_EQ(plain->GetTexture()->GetName(), "spark.png");
    EXPECT_EQ(plain->GetTexture()->GetAlphaName(), "");
    EXPECT_EQ(alpha->GetTexture()->GetAlphaName(), "sparka.png");
    EXPECT_EQ(alpha->GetTexture()->GetAlphaMode(), 8);
    EXPECT_EQ(device.liveTextures, before + 2);
    plain->Release();
    EXPECT_EQ(device.liveTextures, before + 1);
    LogCapture log;
    alpha.reset();  // destroyed without Release: the texture still goes back
    EXPECT_EQ(device.liveTextures, before);
    EXPECT_TRUE(log.Contains("Destroying Modifier [OndesRadio test]"));
}

TEST_F(ModifierTest, WildCountsAreBoundedAndLogged)
{
    struct Case {
        const char* type;
        const char* parameter;
        const char* value;
        size_t expected;
    } cases[] = {
        {"Smoke", "NBParticle", "100000000", Smoke::kMaxParticles},
        {"Smoke", "NBParticle", "-5", 0},
        {"ParticlesCollision", "NBParticules", "0x7FFFFFFF", ParticlesCollision::kMaxParticles},
        {"Flies", "NBFlies", "99999999", Flies::kMaxFlies},
    };
    for (const Case& c : cases) {
        LogCapture log;
        auto modifier = Modifier(c.type, {{"Texture", "spark.png"}, {"ObjetName", "Box"}, {c.parameter, c.value}});
        size_t count = 0;
        if (auto* smoke = dynamic_cast<Smoke*>(modifier.get()))
            count = smoke->GetParticles().size();
        else if (auto* collision = dynamic_cast<ParticlesCollision*>(modifier.get()))
            count = collision->GetParticles().size();
        else
            count = static_cast<Flies&>(*modifier).GetFlies().size();
        EXPECT_EQ(count, c.expected) << c.type << " " << c.value;
        EXPECT_EQ(LinesWith(log, c.parameter).size(), 1u) << c.type << " " << c.value;
    }
}
