// Tests of the scene model's loading rules: suffixes, materials, tracks, children, lights, streams, morphs, cameras.
#include <gtest/gtest.h>
#include "support/SceneTestKit.h"
#include "engine/device/Texture.h"
#include "engine/scene/NameRules.h"
#include "engine/scene/ObjectFlags.h"
#include "support/TestImages.h"

namespace {

std::string Png(uint8_t r, uint8_t g, uint8_t b)
{
    return EncodePng(4, 4, SolidRgb(4, 4, r, g, b));
}

MdlFile WithQuads(const std::vector<std::string>& names, const std::string& material = "")
{
    MdlFile file;
    file.frameCount = 100;
    for (const std::string& name : names)
        file.meshes.push_back(MakeQuadMesh(name, material, 1.0f, {}));
    return file;
}

MdlLightRecord Light(const std::string& name, Vector3 position = {}, float range = 1.0f)
{
    return MdlLightRecord{name, position, {0.5f, 0.5f, 0.5f}, range};
}

Mesh* MeshNamed(Scene& scene, const std::string& name)
{
    return static_cast<Mesh*>(scene.FindObject(name));
}

}  // namespace

TEST(SceneLoadingTest, SuffixesSetFlagsByContainmentAsWrittenOrInLowerCase)
{
    struct Case {
        const char* name;
        uint32_t flags;  // besides Visible
        bool isStatic;
    };
    const Case cases[] = {
        {"Plain", 0, true},
        {"Glass.Alpha", kFlagAlpha, true},
        {"box.AlphaMap", kFlagAlpha | kFlagAlphaMap, true},
        {"box.alphamap", kFlagAlpha | kFlagAlphaMap, true},
        {"Chrome.EnvMap", kFlagEnvMap, false},
        {"Ground.Floor", kFlagFloor, true},
        {"Grid.Wire", kFlagWire, true},
        {"Both.NoCull", kFlagNoCull, true},
        {"Dark.NoDynaLight", kFlagNoDynaLight, true},
        {"Ghost.Hide", kFlagHide, true},
        {"Sky.NoFog", kFlagNoFog, true},
        {"Mixed.nofog.Hide.NoCull", kFlagNoFog | kFlagHide | kFlagNoCull, true},
        {"a.NoCull.NoLight", kFlagNoCull, true},
        {"Not.NOCULL", 0, true},  // neither as written nor lower case
    };
    std::vector<std::string> names;
    for (const Case& c : cases)
        names.push_back(c.name);
    LoadedScene loaded(WithQuads(names));
    for (const Case& c : cases) {
        Mesh* mesh = MeshNamed(*loaded.scene, c.name);
        ASSERT_NE(mesh, nullptr) << c.name;
        EXPECT_EQ(mesh->flags & ~(kFlagVisible | kFlagMovedLast), c.flags) << c.name;
        EXPECT_TRUE(mesh->flags & kFlagVisible) << c.name;
        EXPECT_EQ(mesh->isStatic, c.isStatic) << c.name;
        EXPECT_EQ(mesh->GetVertexBuffer() != nullptr, c.isStatic) << c.name;
        EXPECT_EQ(FlagsFromName(c.name), c.flags) << c.name;
    }
    // ".NoLight" whitens the colours before the static copy.
    LoadedScene tinted([] {
        MdlFile file = WithQuads({"a.NoCull.NoLight", "b"});
        for (auto& mesh : file.meshes)
            for (auto& v : mesh.vertices)
                v.color = 0x102030;
        return file;
    }());
    auto* white = static_cast<RecordingVertexBuffer*>(MeshNamed(*tinted.scene, "a.NoCull.NoLight")->GetVertexBuffer());
    for (const Vertex& v : white->vertices)
        EXPECT_EQ(v.color, 0xFFFFFFu);
    for (const Vertex& v : MeshNamed(*tinted.scene, "b")->vertices)
        EXPECT_EQ(v.color, 0x102030u);
}

TEST(SceneLoadingTest, StaticMeshesAreCopiedOnceRelativeToTheirPivot)
{
    MdlFile file;
    file.meshes.push_back(MakeBoxMesh("Box", "", {1, 2, 3}, {3, 6, 5}, {2, 2, 2}));
    LoadedScene loaded(file);
    Mesh* mesh = MeshNamed(*loaded.scene, "Box");
    // Bounds and centre in file coordinates, vertices relative to the pivot.
    EXPECT_FLOAT_EQ(mesh->box[0].x, 1);
    EXPECT_FLOAT_EQ(mesh->box[7].y, 6);
    EXPECT_FLOAT_EQ(mesh->center.x, 2);
    EXPECT_FLOAT_EQ(mesh->center.y, 4);
    EXPECT_FLOAT_EQ(mesh->center.z, 4);
    EXPECT_FLOAT_EQ(mesh->vertices[0].x, -1);
    EXPECT_FLOAT_EQ(mesh->restVertices[7].z, 3);
    auto* buffer = static_cast<RecordingVertexBuffer*>(mesh->GetVertexBuffer());
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->vertices.size(), 8u);
    EXPECT_FLOAT_EQ(buffer->vertices[7].y, 4);
    EXPECT_EQ(buffer->indices, mesh->indices);
    EXPECT_EQ(mesh->indices.size(), 36u);
    EXPECT_EQ(loaded.device.Count(Op::VertexBufferCreate), 1);
    // Both texture stages carry the file's coordinates.
    EXPECT_FLOAT_EQ(mesh->vertices[3].u1, mesh->vertices[3].u0);
    EXPECT_FLOAT_EQ(mesh->vertices[3].v1, -1);
    EXPECT_EQ(loaded.scene->GetTotalFaces(), 12u);
    EXPECT_EQ(loaded.scene->GetTotalVertices(), 8u);
}

TEST(SceneLoadingTest, MaterialsBindByExactNameAndUnusedOnesAreRemoved)
{
    MdlFile file = WithQuads({"A", "B", "C"});
    file.meshes[0].material = "Wood";
    file.meshes[1].material = "wood";
    file.meshes[2].material = "";
    file.materials = {MakeMaterial("Stone"), MakeMaterial("Metal"), MakeMaterial("Wood", {"first.png"}),
                      MakeMaterial("Wood", {"second.png"}), MakeMaterial("wood"), MakeMaterial("Unused")};
    LogCapture log;
    LoadedScene loaded(file);
    Scene& scene = *loaded.scene;
    // Two unused in a row are both removed; the second "Wood" is unused because the first serves.
    EXPECT_EQ(log.CountOf("*** Warning !!! Removing unused material [Stone] !! ***"), 1);
    EXPECT_EQ(log.CountOf("*** Warning !!! Removing unused material [Metal] !! ***"), 1);
    EXPECT_EQ(log.CountOf("*** Warning !!! Removing unused material [Wood] !! ***"), 1);
    EXPECT_EQ(log.CountOf("*** Warning !!! Removing unused material [Unused] !! ***"), 1);
    ASSERT_EQ(scene.GetMaterials().size(), 2u);
    EXPECT_EQ(MeshNamed(scene, "A")->material->textureNames, std::vector<std::string>{"first.png"});
    EXPECT_EQ(MeshNamed(scene, "B")->material->name, "wood");
    EXPECT_EQ(MeshNamed(scene, "C")->material, nullptr);
}

TEST(SceneLoadingTest, AlphaMeshesMoveToTheEndInTheirOrder)
{
    LoadedScene loaded(WithQuads({"G1.Alpha", "A", "G2.AlphaMap", "B"}));
    std::vector<std::string> order;
    for (Mesh* mesh : loaded.scene->GetMeshes())
        order.push_back(mesh->GetName());
    EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "G1.Alpha", "G2.AlphaMap"}));
    EXPECT_TRUE(MeshNamed(*loaded.scene, "G1.Alpha")->flags & kFlagMovedLast);
    EXPECT_FALSE(MeshNamed(*loaded.scene, "A")->flags & kFlagMovedLast);
}

TEST(SceneLoadingTest, TracksBindByNameIgnoringCaseAndCameraTargetsBySuffix)
{
    MdlFile file = WithQuads({"Box01", "Box02"});
    file.cameras.push_back({"Camera01", {}, {}, 0.5f, 0});
    file.cameras.push_back({"Camera02", {}, {}, 0.5f, 0});
    file.lights.push_back(Light("Omni01"));
    file.tracks = {MakePositionTrack("camera01", {{0, {1, 0, 0}}}), MakePositionTrack("Camera01.Target", {{0, {}}}),
                   MakePositionTrack("CAMERA02.CIBLE", {{0, {}}}), MakePositionTrack("box01", {{0, {}}}),
                   MakePositionTrack("BOX01", {{0, {}}}), MakePositionTrack("OMNI01", {{0, {}}}),
                   MakePositionTrack("CAMERA01", {{0, {}}}), MakePositionTrack("camera01.cible", {{0, {}}})};
    LoadedScene loaded(file);
    Scene& scene = *loaded.scene;
    const auto& tracks = scene.GetTracks();
    // A camera and its target take every matching track in turn: the last one stays.
    EXPECT_EQ(scene.GetCameras()[0]->track, tracks[6].get());
    EXPECT_EQ(scene.GetCameras()[0]->target->track, tracks[7].get());
    EXPECT_EQ(scene.GetCameras()[1]->track, nullptr);
    EXPECT_EQ(scene.GetCameras()[1]->target->track, tracks[2].get());
    EXPECT_EQ(scene.FindObject("Box01")->track, tracks[3].get());  // the first of two
    EXPECT_EQ(scene.FindObject("Box02")->track, nullptr);
    EXPECT_EQ(scene.FindObject("omni01")->track, tracks[5].get());
    // Split: objects with a track (or a parent) are animated; the others sit at their position.
    EXPECT_EQ(scene.GetAnimatedObjects().size(), 4u);  // both targets, Box01, the light
    ASSERT_EQ(scene.GetStaticObjects().size(), 1u);
    EXPECT_EQ(scene.GetStaticObjects()[0]->GetName(), "Box02");
    // Cameras are not in the object list; their targets are, without names.
    EXPECT_EQ(scene.FindObject("Camera01"), nullptr);
    EXPECT_EQ(scene.GetObjects().size(), 5u);
    EXPECT_EQ(scene.GetCurrentCamera(), scene.GetCameras()[0]);
}

TEST(SceneLoadingTest, ChildrenLinkToEveryParentWithoutCycles)
{
    MdlFile file = WithQuads({"Arm", "Hand", "Finger", "Palm"});
    file.meshes[0].children = {"Hand", "Nobody"};
    file.meshes[1].children = {"Finger", "Arm"};  // Arm above Hand: a cycle is not made
    file.meshes[2].children = {"Finger"};         // nor a self-link
    file.meshes[3].children = {"Finger"};         // a second parent for Finger
    LoadedScene loaded(file);
    Scene& scene = *loaded.scene;
    SceneObject* arm = scene.FindObject("Arm");
    SceneObject* hand = scene.FindObject("Hand");
    SceneObject* finger = scene.FindObject("Finger");
    SceneObject* palm = scene.FindObject("Palm");
    EXPECT_EQ(arm->children, std::vector<SceneObject*>{hand});
    EXPECT_EQ(hand->children, std::vector<SceneObject*>{finger});
    EXPECT_EQ(palm->children, std::vector<SceneObject*>{finger});
    EXPECT_TRUE(finger->children.empty());
    EXPECT_EQ(arm->parent, nullptr);
    EXPECT_TRUE(arm->pendingChildren.empty());
    // Hand and Finger have parents: animated. Arm and Palm have neither parent nor track: static.
    EXPECT_EQ(scene.GetAnimatedObjects(), (std::vector<SceneObject*>{hand, finger}));
}

TEST(SceneLoadingTest, ACycleThroughAnEarlierParentIsRefused)
{
    // Top > Mid > Low, and Side > Low; Low naming Top would close Top > Mid > Low > Top,
    // though Low's later parent (Side) hangs below nothing.
    MdlFile file = WithQuads({"Top", "Mid", "Side", "Low"});
    file.meshes[0].children = {"Mid"};
    file.meshes[1].children = {"Low"};
    file.meshes[2].children = {"Low"};
    file.meshes[3].children = {"Top"};
    LoadedScene loaded(file);
    Scene& scene = *loaded.scene;
    SceneObject* low = scene.FindObject("Low");
    EXPECT_TRUE(low->children.empty());
    EXPECT_EQ(scene.FindObject("Top")->parent, nullptr);
    EXPECT_EQ(scene.FindObject("Side")->children, std::vector<SceneObject*>{low});
}

TEST(SceneLoadingTest, LightNamesAreLowerCasedAndGiveRoles)
{
    MdlFile file;
    file.lights = {Light("Omni01.HALO.m\"Flare.Big.png\""), Light("Omni02.Halo"), Light("Spot.Dyna", {1, 2, 3}, 2.0f),
                   Light("Omni03.Fog.s60.e100.d10"), Light("Src.ParticleGenSrc.c3.m\"Dot.png\""),
                   Light("Src.ParticleGenDest"), Light("Other.ParticleGenDest"), Light("Bad.particlegensrc.c5"),
                   Light("Bad.particlegendest")};
    LogCapture log;
    LoadedScene loaded(file, {{"flare.big.png", Png(255, 255, 255)}, {"dot.png", Png(1, 2, 3)}});
    Scene& scene = *loaded.scene;
    const auto& lights = scene.GetLights();
    EXPECT_EQ(lights[0]->GetName(), "omni01.halo.m\"flare.big.png\"");
    EXPECT_TRUE(lights[0]->isHalo);
    EXPECT_TRUE(lights[2]->isDynamic);
    EXPECT_TRUE(lights[4]->isParticleSource);
    EXPECT_TRUE(lights[5]->isParticleDestination);
    // Halos: the quoted file name keeps its points; a halo without ".m" is skipped.
    ASSERT_EQ(scene.GetHalos().size(), 1u);
    ASSERT_NE(lights[0]->halo.texture, nullptr);
    EXPECT_EQ(lights[0]->halo.texture->GetName(), "flare.big.png");
    EXPECT_TRUE(log.Contains("Warning : Halo [omni02.halo] has no texture file, skipping."));
    // Dynamic lights are numbered in list order and enabled on the device.
    ASSERT_EQ(scene.GetDynamicLights().size(), 1u);
    EXPECT_TRUE(loaded.device.IsLightOn(0));
    LightRecord record = lights[2]->GetRecord();
    EXPECT_FLOAT_EQ(record.y, 2);
    EXPECT_FLOAT_EQ(record.range, 2);
    // Streams pair a source with every destination containing its key ("src").
    ASSERT_EQ(scene.GetStreams().size(), 1u);
    EXPECT_EQ(scene.GetStreams()[0]->GetParticles().size(), 3u);
    EXPECT_EQ(scene.GetStreams()[0]->GetTexture()->GetName(), "dot.png");
    EXPECT_TRUE(log.Contains("Warning : Particle Source [bad.particlegensrc.c5] does not contain Particle Count or "
                             "texture info, skipping."));
    // Fog markers are read as floats from the lower-cased name.
    float start = 0, end = 0, density = 0;
    EXPECT_TRUE(FindNameFloat(lights[3]->GetName(), ".s", start));
    EXPECT_TRUE(FindNameFloat(lights[3]->GetName(), ".e", end));
    EXPECT_TRUE(FindNameFloat(lights[3]->GetName(), ".d", density));
    EXPECT_EQ(start, 60.0f);
    EXPECT_EQ(end, 100.0f);
    EXPECT_EQ(density, 10.0f);
}

TEST(SceneLoadingTest, StreamCountsThatCannotBeSensibleAreSkipped)
{
    for (const char* name : {"s.particlegensrc.c0.mdot.png", "s.particlegensrc.c99999999.mdot.png",
                             "s.particlegensrc.c-4.mdot.png"}) {
        MdlFile file;
        file.lights = {Light(name), Light("s.particlegendest")};
        LogCapture log;
        LoadedScene loaded(file, {{"dot", Png(1, 2, 3)}});
        EXPECT_TRUE(loaded.scene->GetStreams().empty()) << name;
        EXPECT_EQ(log.CountOf("Warning : Particle Source [" + std::string(name) +
                              "] does not contain Particle Count or texture info, skipping."),
                  1)
            << name;
    }
}

TEST(SceneLoadingTest, MorphSequencesPairInSequenceOrderWithTheirIntervals)
{
    MdlFile file = WithQuads({"Blob.MorphSrc.f0.Loop", "Blob.MorphDest.f40.e90.c4", "Blob.MorphDest.f20.c2",
                              "BlobShadow", "Rock"});
    LogCapture log;
    LoadedScene loaded(file);
    Scene& scene = *loaded.scene;
    Mesh* source = MeshNamed(scene, "Blob.MorphSrc.f0.Loop");
    Mesh* second = MeshNamed(scene, "Blob.MorphDest.f20.c2");
    Mesh* last = MeshNamed(scene, "Blob.MorphDest.f40.e90.c4");
    EXPECT_EQ(source->flags & (kFlagMorph | kFlagRecomputeNormals | kFlagMorphLoop),
              kFlagMorph | kFlagRecomputeNormals | kFlagMorphLoop);
    EXPECT_FALSE(source->isStatic);
    EXPECT_EQ(last->flags & (kFlagMorphDest | kFlagVisible), kFlagMorphDest);
    // Gaps in ".c" are closed up: 2 then 4.
    EXPECT_EQ(source->morph.targets, (std::vector<Mesh*>{source, second, last}));
    EXPECT_FLOAT_EQ(source->morph.intervalStart, 0);
    EXPECT_FLOAT_EQ(source->morph.intervalEnd, 19);
    EXPECT_FLOAT_EQ(second->morph.intervalStart, 20);
    EXPECT_FLOAT_EQ(second->morph.intervalEnd, 39);
    EXPECT_FLOAT_EQ(last->morph.intervalStart, 40);
    EXPECT_FLOAT_EQ(last->morph.intervalEnd, 90);
    EXPECT_EQ(log.CountOf("**** Warning : found a non-morph object using same PREFIX as an morph object. ignoring."), 1);
}

TEST(SceneLoadingTest, MalformedMorphsAreFatalWithTheirNames)
{
    struct Case {
        std::vector<std::string> names;
        std::string message;
    };
    const Case cases[] = {
        {{"Blob.MorphSrc"}, "Error : Could not find start frame for Morph object [Blob.MorphSrc]."},
        {{"Blob.MorphSrc.fx"}, "Error : Could not find start frame for Morph object [Blob.MorphSrc.fx]."},
        {{"Blob.MorphSrc.f0", "Blob.MorphDest.f10"},
         "Error : Could not find start frame for Morph object [Blob.MorphDest.f10]."},
        {{"Blob.MorphSrc.f0", "Blob.MorphDest.c1"},
         "Error : Could not find start frame for Morph object [Blob.MorphDest.c1]."},
        {{"Blob.MorphSrc.f0", "Other"}, "Can't find destination morph meshe for [Blob.MorphSrc.f0]."},
        {{"Blob.MorphSrc.f0", "Blob.MorphDest.f10.c3"},
         "Morph destination [Blob.MorphDest.f10.c3] has the position 3 in its sequence, beyond the 2 meshes of the "
         "scene."},
    };
    for (const Case& c : cases) {
        const MdlFile file = WithQuads(c.names);
        EXPECT_EQ(FatalText([&] { LoadedScene loaded(file); }), c.message);
    }
    MdlFile file = WithQuads({"Blob.MorphSrc.f0", "Blob.MorphDest.f10.c0"});
    file.meshes[1] = MakeBoxMesh("Blob.MorphDest.f10.c0", "", {}, {1, 1, 1}, {});
    EXPECT_EQ(FatalText([&] { LoadedScene loaded(file); }),
              "Morph Meshes [Blob.MorphSrc.f0] and [Blob.MorphDest.f10.c0] must have the same number of vertices "
              "(Is 4 and 8).");
}

TEST(SceneLoadingTest, CameraSelectionChecksNameAndTracks)
{
    MdlFile file;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {});
    file.cameras.push_back({"Bare", {}, {}, 0.5f, 0});
    file.cameras.push_back({"HalfTracked", {}, {}, 0.5f, 0});
    file.tracks.push_back(MakePositionTrack("HalfTracked", {{0, {}}}));
    file.cameras.push_back({"RollOnly", {}, {}, 0.5f, 0});
    MdlTrackRecord rollOnly;
    rollOnly.name = "RollOnly";
    rollOnly.roll = {{0, 1.0f}};
    file.tracks.push_back(rollOnly);
    LoadedScene loaded(file);
    Scene& scene = *loaded.scene;
    EXPECT_EQ(FatalText([&] { scene.SelectCamera("Camera02"); }),
              "Could not find any camera named [Camera02]\r\n Available are : \r\n - Camera01\r\n - Bare\r\n"
              " - HalfTracked\r\n - RollOnly\r\n");
    EXPECT_EQ(FatalText([&] { scene.SelectCamera("bare"); }), "Camera [Bare] has no source track.");
    EXPECT_EQ(FatalText([&] { scene.SelectCamera("RollOnly"); }), "Camera [RollOnly] has no source track.");
    EXPECT_EQ(FatalText([&] { scene.SelectCamera("HALFTRACKED"); }), "Camera [HalfTracked] has no target track.");
    EXPECT_EQ(FatalText([&] { scene.SelectCamera("camera01"); }), "<no fatal error>");
    EXPECT_EQ(scene.GetCurrentCamera()->GetName(), "Camera01");
}

TEST(SceneLoadingTest, MaterialTexturesTakeAlphaMapsAndBareNamesOfAbsolutePaths)
{
    MdlFile file = WithQuads({"A"}, "M");
    file.materials.push_back(MakeMaterial(
        "M", {"C:\\3dsmax\\maps\\wood.png", "C:\\3dsmax\\maps\\woodALPHA.png", "env.png", "maps/stone.png"}));
    LoadedScene loaded(file, {{"wood.png", Png(200, 100, 50)},
                              {"woodalpha.png", Png(128, 128, 128)},
                              {"env.png", Png(0, 0, 255)},
                              {"stone.png", Png(9, 9, 9)}});
    loaded.scene->LoadTextures();
    Material* material = MeshNamed(*loaded.scene, "A")->material;
    ASSERT_EQ(material->textures.size(), 3u);
    EXPECT_EQ(material->textures[0]->GetName(), "wood.png");
    EXPECT_EQ(material->textures[0]->GetAlphaName(), "woodALPHA.png");
    EXPECT_EQ(material->textures[1]->GetName(), "env.png");
    EXPECT_EQ(material->textures[1]->GetAlphaName(), "");
    EXPECT_EQ(material->textures[2]->GetName(), "stone.png");
    EXPECT_EQ(loaded.device.liveTextures, 3);
    loaded.scene->ReleaseTextures();
    EXPECT_TRUE(material->textures.empty());
    EXPECT_EQ(loaded.device.liveTextures, 0);
    EXPECT_EQ(ResolveTextureName("C:\\3dsmax\\maps\\wood.png"), "wood.png");
    EXPECT_EQ(ResolveTextureName("env.png"), "env.png");
}

TEST(SceneLoadingTest, DestroyingTheSceneGivesEveryDeviceResourceBack)
{
    MdlFile file = WithQuads({"A", "B.EnvMap"}, "M");
    file.materials.push_back(MakeMaterial("M", {"a.png"}));
    file.lights = {Light("h.halo.m\"a.png\""), Light("s.particlegensrc.c2.m\"a.png\""), Light("s.particlegendest")};
    RecordingDevice* device = nullptr;
    {
        LoadedScene loaded(file, {{"a.png", Png(1, 1, 1)}});
        loaded.scene->LoadTextures();
        device = &loaded.device;
        EXPECT_EQ(device->liveVertexBuffers, 1);
        EXPECT_EQ(device->liveTextures, 3);
        loaded.scene.reset();
        EXPECT_EQ(device->liveVertexBuffers, 0);
        EXPECT_EQ(device->liveTextures, 0);
        // Every state block made (scene, two meshes, each mesh again at its material) is deleted.
        EXPECT_EQ(device->Count(Op::EndStateBlock), device->Count(Op::DeleteStateBlock));
    }
}

TEST(SceneLoadingTest, MeshStoresPastTheirArraysAreFatal)
{
    RecordingDevice device;
    Mesh mesh(device);
    mesh.vertices.resize(2);
    mesh.restVertices.resize(2);
    mesh.faces.resize(1);
    mesh.SetVertex(1, {1, 2, 3}, {0, 0, 1});
    mesh.SetTextureCoordinates(1, 0.5f, -0.5f);
    mesh.SetColor(1, 0x123456);
    mesh.SetFace(0, 1, 0, 1);
    for (const auto* list : {&mesh.vertices, &mesh.restVertices}) {
        const Vertex& v = (*list)[1];
        EXPECT_EQ(v.y, 2);
        EXPECT_EQ(v.nz, 1);
        EXPECT_EQ(v.u1, 0.5f);
        EXPECT_EQ(v.v0, -0.5f);
        EXPECT_EQ(v.color, 0x123456u);
    }
    EXPECT_EQ(mesh.faces[0][0], 1u);
    EXPECT_EQ(FatalText([&] { mesh.SetVertex(2, {}, {}); }), "Overflow in vertex assignement");
    EXPECT_EQ(FatalText([&] { mesh.SetTextureCoordinates(2, 0, 0); }), "Overflow in vertex assignement");
    EXPECT_EQ(FatalText([&] { mesh.SetColor(7, 0); }), "Overflow in vertex assignement");
    EXPECT_EQ(FatalText([&] { mesh.SetFace(1, 0, 0, 0); }), "Overflow in Face assignement");
}
