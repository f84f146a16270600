// The production's three scene files load as the players load them, keep their budgets, use every
// naming rule between them, and offer every object and camera the script asks of them; the dot
// screen's copy of the station is its exact mirror image.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/ProductionData.h"
#include "engine/core/Log.h"
#include "engine/scene/MDLPlayer.h"
#include "engine/scene/Mesh.h"
#include "engine/scene/ObjectFlags.h"
#include "engine/scene/ParticleStream.h"
#include "engine/scene/Scene.h"
#include "engine/scene/SceneLight.h"
#include "engine/scene/Track.h"
#include "script/ScriptData.h"
#include "script/ScriptParser.h"
#include "support/RecordingDevice.h"
#include "support/TestPak.h"

namespace {

const char* const kScenes[] = {"crater.mdl", "observatory.mdl", "station.mdl"};

std::vector<std::string>* g_log = nullptr;

void CollectLine(const char* text)
{
    if (g_log)
        g_log->push_back(text);
}

// One scene loaded from the data folder as a player loads it, with its log lines.
struct LoadedProductionScene {
    RecordingDevice device;
    std::vector<std::string> log;
    std::unique_ptr<Scene> scene;

    explicit LoadedProductionScene(const std::string& file)
    {
        device.Open(640, 480, 32);
        g_log = &log;
        const LogCallback previous = GetLogCallback();
        SetLogCallback(CollectLine);
        scene = std::make_unique<Scene>(device);
        scene->Load(file.c_str());
        scene->LoadTextures();
        SetLogCallback(previous);
        g_log = nullptr;
    }
};

class ProductionScenesTest : public ::testing::Test {
protected:
    ScopedTestPak pak_{ProductionDataFiles()};
};

bool HasKeysEveryTenFrames(const std::vector<TrackKey>& keys, uint32_t frames)
{
    if (keys.size() < 2 || keys.back().frame != static_cast<int32_t>(frames))
        return false;
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i].frame != static_cast<int32_t>(i * 10))
            return false;
    return true;
}

}  // namespace

TEST_F(ProductionScenesTest, EachLoadsWithoutWarningsAndIsAShotWithTwoSampledCameras)
{
    for (const char* file : kScenes) {
        SCOPED_TRACE(file);
        LoadedProductionScene loaded(file);
        const Scene& scene = *loaded.scene;
        for (const std::string& line : loaded.log)
            EXPECT_EQ(line.find("arning"), std::string::npos) << line;
        EXPECT_LT(scene.GetTotalFaces(), 20000u);
        EXPECT_GT(scene.GetTotalFaces(), 2000u) << "a scene of a few boxes is no shot";
        // 20 to 30 seconds of scene time at 33 frames a second.
        EXPECT_GE(scene.GetFrameCount(), 20u * 33u);
        EXPECT_LE(scene.GetFrameCount(), 30u * 33u);
        EXPECT_FALSE(scene.GetMeshes().empty());

        ASSERT_GE(scene.GetCameras().size(), 2u) << "a second camera for the cut";
        for (const Camera* camera : scene.GetCameras()) {
            SCOPED_TRACE(camera->GetName());
            ASSERT_NE(camera->track, nullptr);
            ASSERT_NE(camera->target->track, nullptr);
            EXPECT_TRUE(HasKeysEveryTenFrames(camera->track->position, scene.GetFrameCount()));
            EXPECT_TRUE(HasKeysEveryTenFrames(camera->target->track->position, scene.GetFrameCount()));
        }
        // Every camera draws the whole shot, wrap included.
        for (const Camera* camera : scene.GetCameras()) {
            loaded.scene->SelectCamera(camera->GetName().c_str());
            for (float frame : {0.0f, 0.5f * static_cast<float>(scene.GetFrameCount()),
                                static_cast<float>(scene.GetFrameCount()) + 10.0f}) {
                loaded.device.ClearCalls();
                loaded.scene->Draw(frame);
                EXPECT_GT(loaded.scene->GetMeshesDrawn(), 0) << camera->GetName() << " at frame " << frame;
            }
        }
    }
}

TEST_F(ProductionScenesTest, BetweenThemTheScenesUseEveryNamingRule)
{
    uint32_t flags = 0;
    bool whiteNoLight = false, drivenHierarchy = false, handKeyed = false, quotedHalo = false;
    bool morphWithEnd = false, fog = false;
    size_t halos = 0, dynamicLights = 0, streams = 0;
    for (const char* file : kScenes) {
        LoadedProductionScene loaded(file);
        const Scene& scene = *loaded.scene;
        for (const Mesh* mesh : scene.GetMeshes()) {
            flags |= mesh->flags;
            if (mesh->GetName().find(".NoLight") != std::string::npos) {
                whiteNoLight = true;
                for (const Vertex& v : mesh->vertices)
                    whiteNoLight = whiteNoLight && (v.color & 0xFFFFFFu) == 0xFFFFFFu;
            }
            if (mesh->flags & kFlagMorph) {
                ASSERT_GE(mesh->morph.targets.size(), 3u) << mesh->GetName() << ": a sequence, not one step";
                morphWithEnd = morphWithEnd || mesh->morph.targets.back()->morph.endFrame > 0;
            }
            // Children turned by their parent's hand-keyed rotation.
            const Track* track = mesh->track;
            if (!mesh->children.empty() && track && track->rotation.size() >= 3)
                drivenHierarchy = true;
            if (track && track->rotation.size() >= 3)
                for (const TrackKey& key : track->rotation)
                    handKeyed = handKeyed || key.frame % 10 != 0;
        }
        for (const SceneLight* light : scene.GetLights()) {
            quotedHalo = quotedHalo || (light->isHalo && light->GetName().find(".m\"") != std::string::npos);
            MDLPlayer::Fog settings;
            fog = fog || (MDLPlayer::FogFromLight(*light, settings) && settings.end > settings.start);
        }
        halos += scene.GetHalos().size();
        dynamicLights += scene.GetDynamicLights().size();
        streams += scene.GetStreams().size();
    }
    const std::map<uint32_t, const char*> rules = {
        {kFlagAlpha, ".Alpha"},   {kFlagAlphaMap, ".AlphaMap"}, {kFlagEnvMap, ".EnvMap"},
        {kFlagFloor, ".Floor"},   {kFlagNoCull, ".NoCull"},     {kFlagNoDynaLight, ".NoDynaLight"},
        {kFlagHide, ".Hide"},     {kFlagNoFog, ".NoFog"},       {kFlagMorph, ".MorphSrc"},
        {kFlagMorphDest, ".MorphDest"}};
    for (const auto& [bit, rule] : rules)
        EXPECT_TRUE(flags & bit) << "no mesh uses " << rule;
    EXPECT_TRUE(whiteNoLight) << "no .NoLight mesh, or one whose colours are not white";
    EXPECT_TRUE(morphWithEnd) << "no morph sequence ends with .e";
    EXPECT_TRUE(drivenHierarchy) << "no children under a rotating parent";
    EXPECT_TRUE(handKeyed) << "no rotation keyed off the 10-frame grid";
    EXPECT_TRUE(quotedHalo) << "no halo names its texture in quotes";
    EXPECT_TRUE(fog) << "no fog light";
    EXPECT_GT(halos, 0u);
    EXPECT_GT(dynamicLights, 0u);
    EXPECT_GT(streams, 0u);
}

TEST_F(ProductionScenesTest, ScriptsModifiersAndCameraCutsFindTheirObjectsInTheirScenes)
{
    Script script;
    ParseScriptText(ReadWholeFile(kProductionData / "script.txt"), script);
    std::map<std::string, std::string> sceneOfLayer;  // named players -> their MDL file
    size_t checkedModifiers = 0, checkedCuts = 0;
    for (const TimeBlock& block : script.blocks)
        for (const LayerOperation& op : block.operations) {
            if (op.kind != OperationKind::Create)
                continue;
            std::string file, camera;
            for (const ParameterAssignment& a : op.assignments) {
                if (a.name == "MDLFile")
                    file = a.value;
                if (a.name == "CurrentCamera")
                    camera = a.value;
            }
            if (file.empty())
                continue;
            if (!op.newName.empty())
                sceneOfLayer[op.newName] = file;
            LoadedProductionScene loaded(file);
            if (!camera.empty()) {
                EXPECT_NE(loaded.scene->FindCamera(camera), nullptr) << file << " has no " << camera;
            }
            for (const LayerOperation& modifier : op.children)
                for (const ParameterAssignment& a : modifier.assignments)
                    if (a.name == "ObjetName") {
                        EXPECT_NE(loaded.scene->FindObject(a.value), nullptr)
                            << modifier.target << " follows " << a.value << ", which " << file << " lacks";
                        ++checkedModifiers;
                    }
        }
    for (const TimeBlock& block : script.blocks)
        for (const LayerOperation& op : block.operations)
            for (const ParameterAssignment& a : op.assignments)
                if (op.kind == OperationKind::Update && a.name == "CurrentCamera") {
                    ASSERT_TRUE(sceneOfLayer.count(op.target)) << "a cut on an unknown player " << op.target;
                    LoadedProductionScene loaded(sceneOfLayer[op.target]);
                    EXPECT_NE(loaded.scene->FindCamera(a.value), nullptr) << op.target << " has no " << a.value;
                    ++checkedCuts;
                }
    EXPECT_GE(checkedModifiers, 5u);
    EXPECT_GE(checkedCuts, 3u);
}

// The dot screen turns its picture upside down, so it plays the station reflected in y = 0: as the
// engine loads the two files, every vertex, face, camera position and roll is the mirror image.
TEST_F(ProductionScenesTest, TheDotScreensStationIsTheStationReflectedTopToBottom)
{
    LoadedProductionScene station("station.mdl");
    LoadedProductionScene mirror("station_mirror.mdl");
    const auto& meshes = station.scene->GetMeshes();
    const auto& mirrored = mirror.scene->GetMeshes();
    ASSERT_EQ(mirrored.size(), meshes.size());
    for (size_t m = 0; m < meshes.size(); ++m) {
        const Mesh& a = *meshes[m];
        const Mesh& b = *mirrored[m];
        SCOPED_TRACE(a.GetName());
        ASSERT_EQ(b.GetName(), a.GetName());
        ASSERT_EQ(b.restVertices.size(), a.restVertices.size());
        ASSERT_EQ(b.faces.size(), a.faces.size());
        EXPECT_NEAR(b.GetPosition(0.0f).y, -a.GetPosition(0.0f).y, 1e-4f);
        for (size_t v = 0; v < a.restVertices.size(); ++v) {
            ASSERT_NEAR(b.restVertices[v].x, a.restVertices[v].x, 1e-3f);
            ASSERT_NEAR(b.restVertices[v].y, -a.restVertices[v].y, 1e-3f);
            ASSERT_NEAR(b.restVertices[v].ny, -a.restVertices[v].ny, 1e-4f);
            ASSERT_EQ(b.restVertices[v].color, a.restVertices[v].color) << "lit as the original";
        }
        // A reflection turns the winding over, so the faces run the other way round to face out.
        for (size_t f = 0; f < a.faces.size(); ++f)
            ASSERT_EQ(b.faces[f], (std::array<uint32_t, 3>{a.faces[f][2], a.faces[f][1], a.faces[f][0]}));
    }
    for (const Camera* camera : station.scene->GetCameras()) {
        const Camera* other = mirror.scene->FindCamera(camera->GetName());
        ASSERT_NE(other, nullptr) << camera->GetName();
        for (float frame : {0.0f, 125.0f, 250.0f, 600.0f}) {
            Vector3 eye, eyeMirrored;
            float roll = 0.0f, rollMirrored = 0.0f;
            ASSERT_TRUE(camera->track->PositionAt(frame, eye) && other->track->PositionAt(frame, eyeMirrored));
            EXPECT_NEAR(eyeMirrored.x, eye.x, 1e-3f);
            EXPECT_NEAR(eyeMirrored.y, -eye.y, 1e-3f);
            EXPECT_NEAR(eyeMirrored.z, eye.z, 1e-3f);
            if (camera->track->RollAt(frame, roll) && other->track->RollAt(frame, rollMirrored)) {
                EXPECT_NEAR(rollMirrored, -roll, 1e-5f) << camera->GetName();
            }
        }
    }
}
