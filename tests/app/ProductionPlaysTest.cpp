// The production in data/ plays from start to END: on a recording device with every layer type
// on screen and no blank stretch, and in the real player, headless, with every named file used.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "support/PlayerProcess.h"
#include "support/ProductionData.h"
#include "app/FixedStepClock.h"
#include "engine/core/Clock.h"
#include "engine/effects/CerclesLayer.h"
#include "engine/effects/DotEffect.h"
#include "engine/effects/Flash.h"
#include "engine/effects/FocalGFX.h"
#include "engine/effects/GFXLayer.h"
#include "engine/effects/LineLayer.h"
#include "engine/effects/MetaballLayer.h"
#include "engine/effects/OnduleGFXLayer.h"
#include "engine/effects/ParasitesLayer.h"
#include "engine/effects/TextLayer.h"
#include "engine/effects/WaterText.h"
#include "engine/layers/LayerRegistry.h"
#include "engine/scene/Flies.h"
#include "engine/scene/FocalMDL.h"
#include "engine/scene/GlowEffect.h"
#include "engine/scene/MDLModifier.h"
#include "engine/scene/MDLPlayer.h"
#include "engine/scene/OndesRadio.h"
#include "engine/scene/ParticlesCollision.h"
#include "engine/scene/Smoke.h"
#include "script/ScriptData.h"
#include "script/ScriptParser.h"
#include "script/Timeline.h"
#include "support/RecordingDevice.h"
#include "support/TestPak.h"

namespace fs = std::filesystem;

namespace {

const fs::path kData = kProductionData;

// The file names the script gives in quotes (images, scenes, the music, text maps).
std::set<std::string> NamedFiles(const std::string& script)
{
    std::set<std::string> names;
    static const std::regex quoted("\"([^\"]*)\"");
    static const std::regex file("[A-Za-z0-9_]+\\.(jpg|png|mp3|mdl)");
    for (auto q = std::sregex_iterator(script.begin(), script.end(), quoted); q != std::sregex_iterator(); ++q) {
        const std::string value = (*q)[1];
        for (auto f = std::sregex_iterator(value.begin(), value.end(), file); f != std::sregex_iterator(); ++f)
            names.insert((*f)[0]);
    }
    return names;
}

std::string TypeOf(Layer* layer)
{
    if (dynamic_cast<GFXLayer*>(layer)) return "GFXLayer";
    if (dynamic_cast<Flash*>(layer)) return "Flash";
    if (dynamic_cast<TextLayer*>(layer)) return "TextLayer";
    if (dynamic_cast<FocalGFX*>(layer)) return "FocalGFX";
    if (dynamic_cast<OnduleGFXLayer*>(layer)) return "OnduleGFXLayer";
    if (dynamic_cast<ParasitesLayer*>(layer)) return "ParasitesLayer";
    if (dynamic_cast<CerclesLayer*>(layer)) return "CerclesLayer";
    if (dynamic_cast<LineLayer*>(layer)) return "LineLayer";
    if (dynamic_cast<MetaballLayer*>(layer)) return "MetaballLayer";
    if (dynamic_cast<WaterText*>(layer)) return "WaterText";
    // DotEffect is a scene player too: asked first.
    if (dynamic_cast<DotEffect*>(layer)) return "DotEffect";
    if (dynamic_cast<MDLPlayer*>(layer)) return "MDLPlayer";
    if (dynamic_cast<FocalMDL*>(layer)) return "FocalMDL";
    return typeid(*layer).name();
}

std::string TypeOf(const MDLModifier& modifier)
{
    if (dynamic_cast<const Smoke*>(&modifier)) return "Smoke";
    if (dynamic_cast<const GlowEffect*>(&modifier)) return "GlowEffect";
    if (dynamic_cast<const Flies*>(&modifier)) return "Flies";
    if (dynamic_cast<const OndesRadio*>(&modifier)) return "OndesRadio";
    if (dynamic_cast<const ParticlesCollision*>(&modifier)) return "ParticlesCollision";
    return typeid(modifier).name();
}

float AccessorValue(const ParameterSet& parameters, const char* name)
{
    const auto* accessor = parameters.FindAccessor(name);
    return accessor ? std::stof(accessor->get()) : 0.0f;
}

// The modifier draws this frame (the same window its Frame opens).
bool InWindow(const MDLModifier& modifier)
{
    const float s = AccessorValue(modifier, "StartTime");
    const float l = AccessorValue(modifier, "LifeTime");
    const float local = ClockNow() - modifier.GetOrigin();
    return local >= s && (l == -1.0f || local <= s + l);
}

// Type names of every CREATE in the script: layers at the top of each block, modifiers nested in them.
void CreatedTypes(const Script& script, std::set<std::string>& layers, std::set<std::string>& modifiers,
                  std::set<std::string>& hosts)
{
    for (const TimeBlock& block : script.blocks)
        for (const LayerOperation& op : block.operations) {
            if (op.kind != OperationKind::Create)
                continue;
            layers.insert(op.target);
            for (const LayerOperation& child : op.children)
                if (child.kind == OperationKind::Create) {
                    modifiers.insert(child.target);
                    hosts.insert(op.target);
                }
        }
}

// The layer's window is open at this clock time (the same test its Frame makes).
bool InWindow(Layer* layer)
{
    const auto* start = layer->FindBound("StartTime");
    const auto* life = layer->FindBound("LifeTime");
    if (!start || !life)
        return false;
    const float s = *static_cast<const float*>(start->target);
    const float l = *static_cast<const float*>(life->target);
    const float local = ClockNow() - layer->GetClockOrigin();
    return local >= s && (l == -1.0f || local <= s + l);
}

class ProductionPlaysTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClockResetForTesting();
        ClockSetCounter(&counter_);
        ClockStart();
    }
    void TearDown() override
    {
        ClockSetCounter(nullptr);
        ClockResetForTesting();
    }

    FixedStepCounter counter_{10.0};
};

}  // namespace

TEST_F(ProductionPlaysTest, ScriptIsCrLfAndNamesOnlyFilesThatShipInData)
{
    const std::string script = ReadWholeFile(kData / "script.txt");
    ASSERT_FALSE(script.empty()) << "data/script.txt is missing";
    size_t bareLineFeeds = 0;
    for (size_t i = 0; i < script.size(); ++i)
        if (script[i] == '\n' && (i == 0 || script[i - 1] != '\r'))
            ++bareLineFeeds;
    EXPECT_EQ(bareLineFeeds, 0u) << "a bare LF ends the block being read";

    for (const auto& entry : fs::directory_iterator(kData)) {
        const std::string name = entry.path().filename().string();
        std::string lower = name;
        for (char& c : lower)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        EXPECT_EQ(name, lower) << "archive names are lower case";
    }
    const std::set<std::string> named = NamedFiles(script);
    EXPECT_GT(named.size(), 20u);
    for (const std::string& name : named)
        EXPECT_TRUE(fs::exists(kData / name)) << name << " is named by the script but not in data/";
}

TEST_F(ProductionPlaysTest, EveryLayerAndBlockStartsOnTheSoundtracksSixteenthNoteGrid)
{
    // 125 BPM: a sixteenth note lasts 0.12 s. Only the END block (113 s) stands off the grid.
    constexpr double kSixteenth = 60.0 / 125.0 / 4.0;
    auto onGrid = [&](double t) {
        const double steps = t / kSixteenth;
        return std::abs(steps - std::round(steps)) < 0.01;
    };
    Script script;
    ParseScriptText(ReadWholeFile(kData / "script.txt"), script);
    EXPECT_EQ(script.musicFile, "starfall.mp3");
    EXPECT_FALSE(script.logScript);
    ASSERT_GE(script.blocks.size(), 3u);
    EXPECT_FLOAT_EQ(script.blocks.front().time, -1.0f);
    EXPECT_FALSE(script.blocks.front().description.empty()) << "the preload block has a DESC";

    int creates = 0, ends = 0;
    for (const TimeBlock& block : script.blocks) {
        for (const LayerOperation& op : block.operations) {
            if (op.kind == OperationKind::End) {
                ++ends;
                EXPECT_FLOAT_EQ(block.time, 113.0f);
                continue;
            }
            if (block.time >= 0.0f) {
                EXPECT_TRUE(onGrid(block.time)) << "block at " << block.time << " s";
            }
            if (op.kind != OperationKind::Create)
                continue;
            ++creates;
            for (const ParameterAssignment& a : op.assignments) {
                if (a.name == "StartTime") {
                    EXPECT_TRUE(onGrid(std::stod(a.value))) << op.target << " starting at " << a.value << " s";
                }
            }
        }
    }
    EXPECT_EQ(ends, 1);
    EXPECT_GT(creates, 100);
}

TEST_F(ProductionPlaysTest, PlaysToEndAt113SecondsWithEveryLayerTypeOnScreenAndNoBlankFrame)
{
    ScopedTestPak pak(ProductionDataFiles());
    std::string script = ReadWholeFile(kData / "script.txt");
    // The music has its own check in the real player below; here no sound device is opened.
    const std::string music = "MUSICSTREAM \"starfall.mp3\";";
    const size_t at = script.find(music);
    ASSERT_NE(at, std::string::npos);
    script.erase(at, music.size());

    RecordingDevice device;
    device.Open(640, 480, 32);
    Timeline timeline(device);
    ParseScriptText(script, timeline.GetScript());
    timeline.Start();

    std::map<std::string, int> framesOnScreen, modifierFrames;
    std::vector<float> blank;
    float endedAt = -1.0f;
    for (int frame = 0; frame < 1300; ++frame) {
        counter_.Advance();
        device.ClearCalls();
        device.BeginScene();
        const bool more = timeline.Step();
        device.EndScene();
        const float t = timeline.GetElapsed();
        if (!more) {
            endedAt = t;
            break;
        }
        std::set<std::string> seen;
        for (size_t i = 0; i < timeline.GetLayers().Size(); ++i) {
            Layer* layer = timeline.GetLayers().At(i);
            if (!InWindow(layer))
                continue;
            seen.insert(TypeOf(layer));
            if (auto* player = dynamic_cast<MDLPlayer*>(layer))
                for (const auto& modifier : player->GetModifiers())
                    if (InWindow(*modifier))
                        seen.insert("modifier " + TypeOf(*modifier));
        }
        for (const std::string& type : seen)
            ++framesOnScreen[type];
        const int draws = device.Count(Op::Draw) + device.Count(Op::DrawIndexed) + device.Count(Op::VertexBufferDraw);
        if (t > 0.5f && t < 112.5f && draws == 0)
            blank.push_back(t);
    }
    EXPECT_GE(endedAt, 113.0f);
    EXPECT_LT(endedAt, 113.3f);
    EXPECT_TRUE(blank.empty()) << blank.size() << " frames draw nothing, the first at " << blank.front() << " s";

    // Frames (10 per second) that each layer type and each scene modifier should at least be on screen.
    const std::map<std::string, int> minimum = {
        {"GFXLayer", 900},      {"FocalGFX", 70},        {"TextLayer", 300},     {"Flash", 40},
        {"OnduleGFXLayer", 150}, {"ParasitesLayer", 30}, {"CerclesLayer", 40},   {"LineLayer", 30},
        {"MetaballLayer", 70},  {"WaterText", 110},      {"MDLPlayer", 450},     {"FocalMDL", 110},
        {"DotEffect", 75},      {"modifier Smoke", 90},  {"modifier GlowEffect", 75},
        {"modifier Flies", 150}, {"modifier OndesRadio", 300}, {"modifier ParticlesCollision", 150}};
    for (const auto& [type, frames] : minimum)
        EXPECT_GE(framesOnScreen[type], frames) << type;
    EXPECT_EQ(framesOnScreen.size(), minimum.size()) << "an unexpected layer type is on screen";
}

TEST_F(ProductionPlaysTest, ScriptUsesEveryRegisteredLayerTypeAndEveryModifierInsideAScenePlayer)
{
    Script script;
    ParseScriptText(ReadWholeFile(kData / "script.txt"), script);
    std::set<std::string> layers, modifiers, hosts;
    CreatedTypes(script, layers, modifiers, hosts);

    const std::vector<std::string> layerTypes = LayerRegistry::Instance().GetNames();
    const std::vector<std::string> modifierTypes = MDLModifierRegistry::Instance().GetNames();
    // Thirteen layer types and five modifiers: fewer means a registrar was left out of the link.
    EXPECT_EQ(layerTypes.size(), 13u);
    EXPECT_EQ(modifierTypes.size(), 5u);
    for (const std::string& type : layerTypes)
        EXPECT_TRUE(layers.count(type)) << "the script never creates a " << type;
    for (const std::string& type : modifierTypes)
        EXPECT_TRUE(modifiers.count(type)) << "the script never attaches a " << type;
    // Everything it creates exists, and modifiers hang only under players that run them.
    for (const std::string& type : layers)
        EXPECT_TRUE(LayerRegistry::Instance().Contains(type)) << type << " is not a layer type";
    for (const std::string& type : modifiers)
        EXPECT_NE(std::find(modifierTypes.begin(), modifierTypes.end(), type), modifierTypes.end())
            << type << " is not a modifier";
    for (const std::string& host : hosts)
        EXPECT_TRUE(host == "MDLPlayer" || host == "DotEffect") << host << " does not run modifiers";
}

TEST_F(ProductionPlaysTest, RealPlayerPlaysTheEmbeddedProductionHeadlessToItsEnd)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "production-plays";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const PlayerRun run = RunProcess(STARFALL_EXE,
                                     {"--headless", "--fps", "10", "--mode", "320x240x32", "--seed", "7",
                                      "LogWindow", "gfl"},
                                     dir.string(), {{"SDL_AUDIODRIVER", "dummy"}}, 540.0);
    ASSERT_FALSE(run.timedOut) << "the production did not reach its END in time";
    ASSERT_EQ(run.exitCode, 0) << run.err.substr(run.err.size() > 3000 ? run.err.size() - 3000 : 0);

    std::istringstream lines(run.err + run.out);
    std::string line;
    static const std::regex trouble("cannot open|missing|not found|unable|error|warning", std::regex::icase);
    while (std::getline(lines, line))
        EXPECT_FALSE(std::regex_search(line, trouble)) << line;

    // Every file the script names was really opened, the music included.
    const std::string used = ReadWholeFile(dir / "FileList.txt");
    ASSERT_FALSE(used.empty()) << "gfl wrote no FileList.txt";
    std::string usedLower = used;
    for (char& c : usedLower)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& name : NamedFiles(ReadWholeFile(kData / "script.txt")))
        EXPECT_NE(usedLower.find(name), std::string::npos) << name << " was never opened";
}
