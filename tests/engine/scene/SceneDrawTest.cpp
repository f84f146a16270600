// Tests of scene drawing on the recording device: time, camera, hierarchy, culling, order and states of meshes.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include "SceneTestKit.h"
#include "engine/core/Font.h"
#include "engine/scene/ObjectFlags.h"
#include "support/TestImages.h"

namespace {

constexpr float kPi = 3.14159265f;

// A camera whose eye runs along x one unit per frame (keys every 10 frames) looking at +z.
MdlFile MovingCameraScene(uint32_t frames)
{
    MdlFile file;
    file.frameCount = frames;
    file.cameras.push_back({"Camera01", {}, {}, 0.785398f, 0});
    std::vector<MdlVectorKey> eye, target;
    for (int f = 0; f <= static_cast<int>(frames); f += 10) {
        eye.push_back({f, {static_cast<float>(f), 0, -10}});
        target.push_back({f, {static_cast<float>(f), 0, 0}});
    }
    file.tracks = {MakePositionTrack("Camera01", eye), MakePositionTrack("Camera01.target", target)};
    return file;
}

// A scene seen by a fixed camera at (0, 0, -10) looking at the origin, with quads.
MdlFile FixedCameraScene(const std::vector<std::string>& quads)
{
    MdlFile file;
    file.frameCount = 100;
    AddTrackedCamera(file, "Camera01", {0, 0, -10}, {0, 0, 0});
    for (const std::string& name : quads)
        file.meshes.push_back(MakeQuadMesh(name, "", 1.0f, {}));
    return file;
}

void Frame(LoadedScene& loaded, float frame)
{
    loaded.device.ClearCalls();
    loaded.scene->Draw(frame);
}

// The world translation a mesh was drawn with, per draw, in draw order.
std::vector<float> DrawnX(const RecordingDevice& device)
{
    std::vector<float> xs;
    float x = 0;
    for (const RecordedCall& call : device.calls) {
        if (call.name == "SetWorld")
            x = call.matrix[3][0];
        if (call.name == "VertexBuffer::Draw" || call.name == "DrawIndexed")
            xs.push_back(x);
    }
    return xs;
}

}  // namespace

TEST(SceneDrawTest, TimeWrapsAtTheFrameCountBeforeTheCameraIsPlaced)
{
    LoadedScene loaded(MovingCameraScene(1400));
    Track& track = *const_cast<Track*>(loaded.scene->GetCameras()[0]->track);
    Vector3 at50;
    ASSERT_TRUE(track.PositionAt(50, at50));
    Frame(loaded, 1450);
    EXPECT_FLOAT_EQ(loaded.device.GetEye().x, at50.x);
    EXPECT_FLOAT_EQ(loaded.device.GetTarget().z, 0);
    EXPECT_EQ(CallCount(loaded.device, "SetView"), 1);
    // The field of view and roll come from the file when the track has no such keys.
    EXPECT_FLOAT_EQ(loaded.device.GetFieldOfView(), 0.785398f);
    // Negative times leave the camera alone.
    Frame(loaded, -20);
    EXPECT_EQ(CallCount(loaded.device, "SetView"), 0);
}

TEST(SceneDrawTest, CameraTracksGiveFieldOfViewAndRoll)
{
    MdlFile file = MovingCameraScene(100);
    file.tracks[0].fieldOfView = {{0, 0.5f}, {100, 0.5f}};
    file.tracks[0].roll = {{0, kPi / 2}};
    LoadedScene loaded(file);
    Frame(loaded, 10);
    EXPECT_FLOAT_EQ(loaded.device.GetFieldOfView(), 0.5f);
    EXPECT_NEAR(loaded.device.GetUpHint().x, 1.0f, 1e-6f);
}

TEST(SceneDrawTest, ScenesWithoutAUsableCameraLeaveTheDeviceCameraAlone)
{
    MdlFile none = FixedCameraScene({"Quad"});
    none.cameras.clear();
    none.tracks.clear();
    MdlFile bare = FixedCameraScene({"Quad"});
    bare.tracks.clear();  // the first camera is current but has no tracks
    for (const MdlFile* file : {&none, &bare}) {
        LoadedScene loaded(*file);
        loaded.device.SetEye(1, 2, 3);
        Frame(loaded, 5);
        for (const char* call : {"SetView", "SetProjection"})
            EXPECT_EQ(CallCount(loaded.device, call), 0) << call;
        EXPECT_FLOAT_EQ(loaded.device.GetEye().y, 2);
        EXPECT_FLOAT_EQ(loaded.scene->GetEye().z, 3);
        EXPECT_EQ(CallCount(loaded.device, "VertexBuffer::Draw"), 1);
    }
}

TEST(SceneDrawTest, ADrivenParentTurnsItsDescendants)
{
    MdlFile file = FixedCameraScene({"Parent", "Child", "Grandchild", "Loose"});
    file.meshes[0].children = {"Child"};
    file.meshes[1].children = {"Grandchild"};
    MdlTrackRecord parent = MakePositionTrack("Parent", {{0, {5, 0, 0}}});
    parent.rotation = {{0, {0, 0, 1}, kPi / 2, 0, 0}};  // a quarter turn about the scene's y
    file.tracks.push_back(parent);
    file.tracks.push_back(MakePositionTrack("Child", {{0, {0, 3, 0}}}));
    file.meshes[2].pivot = {0, 0, 7};
    LoadedScene loaded(file);
    Frame(loaded, 0);
    Scene& scene = *loaded.scene;
    Quaternion q;
    ASSERT_TRUE(scene.FindObject("Parent")->track->RotationAt(0, q));
    const Matrix4 r = RotationMatrix(q);
    const SceneObject* p = scene.FindObject("Parent");
    const SceneObject* c = scene.FindObject("Child");
    const SceneObject* g = scene.FindObject("Grandchild");
    const Matrix4 expectedParent = r * Matrix4::Translation(5, 0, 0);
    const Matrix4 expectedChild = r * Matrix4::Translation(0, 3, 0);
    const Matrix4 expectedGrandchild = r * Matrix4::Translation(0, 0, 7);  // its pivot: no track
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            EXPECT_NEAR(p->world[i][j], expectedParent[i][j], 1e-6f);
            EXPECT_NEAR(c->world[i][j], expectedChild[i][j], 1e-6f);
            EXPECT_NEAR(g->world[i][j], expectedGrandchild[i][j], 1e-6f);
        }
    }
    // The key's angle is reversed on loading: the child's (1, 0, 0) is turned to +z.
    EXPECT_NEAR(TransformPoint(c->world, {1, 0, 0}).z, 1.0f, 1e-6f);
    for (const SceneObject* o : {p, c, g})
        EXPECT_TRUE(o->flags & kFlagDriven) << o->GetName();
    EXPECT_FALSE(scene.FindObject("Loose")->flags & kFlagDriven);
    // Drawn again, matrices are rebuilt from identity, not multiplied twice.
    Frame(loaded, 0);
    EXPECT_NEAR(c->world[3][1], expectedChild[3][1], 1e-6f);
    EXPECT_NEAR(g->world[2][2], expectedGrandchild[2][2], 1e-6f);
}

TEST(SceneDrawTest, StaticMeshesOutOfViewAreCulled)
{
    MdlFile file = FixedCameraScene({});
    struct Case {
        const char* name;
        Vector3 low, high;
        bool visible;
    };
    const Case cases[] = {
        {"InFront", {-1, -1, 5}, {1, 1, 6}, true},
        {"FarLeft", {-80, -1, 5}, {-70, 1, 6}, false},
        {"Above", {-1, 50, 5}, {1, 60, 6}, false},
        {"Behind", {-1, -1, -30}, {1, 1, -20}, false},
        {"PartlyInside", {-30, -1, 5}, {0, 1, 6}, true},
        {"Surrounding", {-500, -500, -500}, {500, 500, 500}, true},
        {"BeyondFarInSight", {-1, -1, 5000}, {1, 1, 5001}, true},  // the centre rule keeps it
        {"Hidden.Hide", {-1, -1, 5}, {1, 1, 6}, true},
    };
    for (const Case& c : cases)
        file.meshes.push_back(MakeBoxMesh(c.name, "", c.low, c.high, {}));
    LoadedScene loaded(file);
    loaded.device.SetFarPlane(1000);
    Frame(loaded, 0);
    int drawn = 0;
    for (const Case& c : cases) {
        const SceneObject* mesh = loaded.scene->FindObject(c.name);
        EXPECT_EQ((mesh->flags & kFlagVisible) != 0, c.visible) << c.name;
        drawn += c.visible && !(mesh->flags & kFlagHide);
    }
    EXPECT_EQ(loaded.scene->GetMeshesDrawn(), drawn);
    EXPECT_EQ(CallCount(loaded.device, "VertexBuffer::Draw"), drawn);
}

TEST(SceneDrawTest, MeshesDrawLastToFirstWithTheirStatesAndRestores)
{
    MdlFile file = FixedCameraScene({"A", "Glass.Alpha", "B"});
    file.meshes[0].pivot = {1, 0, 0};
    file.meshes[1].pivot = {2, 0, 0};
    file.meshes[2].pivot = {3, 0, 0};
    LoadedScene loaded(file);
    Frame(loaded, 0);
    // The alpha mesh was moved last, so it is drawn first, twice.
    EXPECT_EQ(DrawnX(loaded.device), (std::vector<float>{2, 2, 3, 1}));
    const uint32_t sceneBlock = loaded.scene->GetStateBlock();
    const Mesh& glass = *static_cast<Mesh*>(loaded.scene->FindObject("Glass.Alpha"));
    std::vector<std::string> names = NamesFrom(loaded.device, "ApplyStateBlock");
    names.resize(23);
    const std::vector<std::string> expected = {
        "ApplyStateBlock", "SetSrcBlend", "SetDestBlend", "SetColorOp", "SetColorArg1", "SetColorArg2",
        "SetAlphaOp", "EnableDepth", "SetCullMode", "EnableAlphaBlend",  // the scene's block
        "SetWorld", "SetTexture", "SetTexture", "SetMaterial",
        "ApplyStateBlock", "SetCullMode", "EnableAlphaBlend",  // the mesh's block
        "VertexBuffer::Draw", "SetCullMode", "VertexBuffer::Draw", "EnableAlphaBlend",
        "ApplyStateBlock", "SetSrcBlend"};  // the next mesh
    EXPECT_EQ(names, expected);
    const auto blocks = CallsNamed(loaded.device, "ApplyStateBlock");
    EXPECT_EQ(static_cast<uint32_t>(blocks[0]->Arg(0)), sceneBlock);
    EXPECT_EQ(static_cast<uint32_t>(blocks[1]->Arg(0)), glass.GetStateBlock());
    const auto culls = CallsNamed(loaded.device, "SetCullMode");
    EXPECT_EQ(culls[1]->IntArg(0), static_cast<int>(CullMode::CounterClockwise));
    EXPECT_EQ(culls[2]->IntArg(0), static_cast<int>(CullMode::Clockwise));
    EXPECT_FALSE(loaded.device.alphaBlend);
    const RecordedCall* material = CallsNamed(loaded.device, "SetMaterial")[0];
    EXPECT_EQ(material->material.diffuseR, 0);
    EXPECT_EQ(material->material.emissiveB, 0);
}

TEST(SceneDrawTest, MeshStateBlocksFollowTheFlags)
{
    struct Case {
        const char* name;
        std::vector<std::string> block;
    };
    const Case cases[] = {
        {"Plain", {}},
        {"G.Alpha", {"SetCullMode", "EnableAlphaBlend"}},
        {"G.AlphaMap",
         {"SetCullMode", "EnableAlphaBlend", "SetCullMode", "EnableAlphaBlend", "SetSrcBlend", "SetDestBlend",
          "SetAlphaOp", "SetAlphaArg1"}},
        {"F.Floor", {"EnableAlphaBlend", "SetSrcBlend", "SetDestBlend"}},
        {"E.EnvMap",
         {"SetSrcBlend", "SetDestBlend", "SetColorOp", "SetColorArg1", "SetColorArg2", "SetAlphaOp", "SetAlphaArg1",
          "SetColorOp", "SetColorArg1", "SetColorArg2", "SetAlphaOp", "SetAlphaArg1", "SetAlphaArg2"}},
        {"N.NoCull.NoDynaLight", {"SetCullMode", "EnableLighting"}},
    };
    for (const Case& c : cases) {
        LoadedScene loaded(FixedCameraScene({c.name}));
        const Mesh& mesh = *loaded.scene->GetMeshes()[0];
        loaded.device.ClearCalls();
        loaded.device.ApplyStateBlock(mesh.GetStateBlock());
        std::vector<std::string> names = CallNames(loaded.device);
        names.erase(names.begin());
        EXPECT_EQ(names, c.block) << c.name;
    }
    LoadedScene loaded(FixedCameraScene({"G.AlphaMap"}));
    loaded.device.ApplyStateBlock(loaded.scene->GetMeshes()[0]->GetStateBlock());
    EXPECT_EQ(loaded.device.srcBlend, BlendFactor::SrcAlpha);
    EXPECT_EQ(loaded.device.destBlend, BlendFactor::InvSrcAlpha);
    EXPECT_EQ(loaded.device.stages[0].alphaOp, AlphaOp::SelectArg1);
    EXPECT_EQ(loaded.device.stages[0].alphaArg1, AlphaArg::Texture);
    EXPECT_EQ(loaded.device.cullMode, CullMode::CounterClockwise);
}

TEST(SceneDrawTest, FogIsOffForNoFogMeshesOnlyWhileTheyDraw)
{
    LoadedScene loaded(FixedCameraScene({"Sky.NoFog", "Ground"}));
    loaded.device.EnableFog(true);
    Frame(loaded, 0);
    // Ground (last) first: no fog calls; then the sky turns fog off and back on.
    const std::vector<std::string> all = CallNames(loaded.device);
    std::vector<std::string> fogAndDraws;
    for (const RecordedCall& call : loaded.device.calls)
        if (call.name == "EnableFog" || call.name == "VertexBuffer::Draw")
            fogAndDraws.push_back(call.name + (call.name == "EnableFog" ? std::to_string(call.IntArg(0)) : ""));
    EXPECT_EQ(fogAndDraws, (std::vector<std::string>{"VertexBuffer::Draw", "EnableFog0", "VertexBuffer::Draw",
                                                     "EnableFog1"}));
    loaded.device.EnableFog(false);
    Frame(loaded, 0);
    EXPECT_EQ(CallCount(loaded.device, "EnableFog"), 0);
}

TEST(SceneDrawTest, DynamicLightsFollowTheirTracksAndSwitchLightingOn)
{
    MdlFile file = FixedCameraScene({"Lit", "Dark.NoDynaLight"});
    file.lights = {{"Omni01.Dyna", {1, 1, 1}, {1, 0, 0}, 2.0f}, {"Plain", {}, {}, 1.0f},
                   {"Omni02.dyna", {4, 4, 4}, {0, 1, 0}, 0.5f}};
    file.tracks.push_back(MakePositionTrack("omni02.DYNA", {{0, {9, 8, 7}}}));
    LoadedScene loaded(file);
    Frame(loaded, 0);
    const auto lights = CallsNamed(loaded.device, "SetLight");
    ASSERT_EQ(lights.size(), 2u);
    EXPECT_EQ(lights[0]->IntArg(0), 0);
    EXPECT_FLOAT_EQ(lights[0]->light.x, 1);
    EXPECT_FLOAT_EQ(lights[0]->light.range, 2);
    EXPECT_EQ(lights[1]->IntArg(0), 1);
    EXPECT_FLOAT_EQ(lights[1]->light.x, 9);
    EXPECT_FLOAT_EQ(lights[1]->light.g, 1);
    // Lighting goes on before the meshes; the ".NoDynaLight" mesh turns it off and it comes back.
    std::vector<int> lighting;
    for (const RecordedCall& call : loaded.device.calls)
        if (call.name == "EnableLighting")
            lighting.push_back(call.IntArg(0));
    EXPECT_EQ(lighting, (std::vector<int>{1, 0, 1}));
    EXPECT_TRUE(loaded.device.IsLightingEnabled());
}

TEST(SceneDrawTest, BoundingBoxesAreWhiteLinesAroundThePivot)
{
    MdlFile file = FixedCameraScene({});
    file.meshes.push_back(MakeBoxMesh("Box", "", {1, 2, 3}, {2, 4, 6}, {1, 1, 1}));
    LoadedScene loaded(file);
    loaded.scene->showBoundingBoxes = true;
    Frame(loaded, 0);
    const auto draws = CallsNamed(loaded.device, "Draw");
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0]->IntArg(0), static_cast<int>(PrimitiveType::LineStrip));
    EXPECT_EQ(draws[1]->IntArg(0), static_cast<int>(PrimitiveType::LineStrip));
    EXPECT_EQ(draws[2]->IntArg(0), static_cast<int>(PrimitiveType::LineList));
    ASSERT_EQ(draws[0]->vertices.size(), 5u);
    ASSERT_EQ(draws[2]->vertices.size(), 8u);
    EXPECT_EQ(draws[0]->vertices[0].color, 0xFFFFFFFFu);
    // Closed rectangles: first and last points coincide; corners relative to the pivot.
    EXPECT_FLOAT_EQ(draws[0]->vertices[4].x, draws[0]->vertices[0].x);
    EXPECT_FLOAT_EQ(draws[0]->vertices[0].x, 0);
    EXPECT_FLOAT_EQ(draws[0]->vertices[0].y, 1);
    EXPECT_FLOAT_EQ(draws[1]->vertices[0].y, 3);
    EXPECT_FLOAT_EQ(draws[2]->vertices[7].z, 5);
    EXPECT_EQ(loaded.device.stages[0].texture, nullptr);
    EXPECT_EQ(loaded.device.depthFunc, CompareFunc::LessEqual);
}

TEST(SceneDrawTest, EnvironmentCoordinatesAndNormalsAreRebuiltEachFrame)
{
    MdlFile file = FixedCameraScene({"Chrome.EnvMap"});
    file.meshes[0].vertices[0].normal = {1, 0, 0};
    file.materials.push_back(MakeMaterial("Steel", {"base.png", "env.png"}));
    file.meshes[0].material = "Steel";
    LoadedScene loaded(file, {{"base.png", EncodePng(2, 2, SolidRgb(2, 2, 9, 9, 9))},
                              {"env.png", EncodePng(2, 2, SolidRgb(2, 2, 1, 1, 1))}});
    loaded.scene->LoadTextures();
    Frame(loaded, 0);
    const Mesh& mesh = *loaded.scene->GetMeshes()[0];
    const Matrix4& vp = loaded.scene->GetViewProjection();
    EXPECT_FLOAT_EQ(mesh.vertices[0].u1, (vp[0][0] + 1) / 2);
    EXPECT_FLOAT_EQ(mesh.vertices[0].v1, (1 - vp[0][1]) / 2);
    EXPECT_FLOAT_EQ(mesh.vertices[1].u1, (-vp[2][0] + 1) / 2);  // normal (0, 0, -1)
    // Drawn from memory with the material's second texture on stage 1.
    const RecordedCall* draw = CallsNamed(loaded.device, "DrawIndexed")[0];
    EXPECT_FLOAT_EQ(draw->vertices[0].u1, mesh.vertices[0].u1);
    const auto textures = CallsNamed(loaded.device, "SetTexture");
    EXPECT_EQ(textures[0]->object, mesh.material->textures[0]);
    EXPECT_EQ(textures[1]->object, mesh.material->textures[1]);

    Mesh normals(loaded.device);
    normals.vertices = {Vertex{0, 0, 0, 5, 5, 5, 0, 0, 0, 0, 0}, Vertex{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                        Vertex{0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, Vertex{0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0}};
    normals.faces = {{0, 1, 2}, {0, 3, 1}};
    normals.RecomputeNormals();
    // Vertex 0 shares a +z face and a +y face: (0, 1, 1) normalised.
    EXPECT_NEAR(normals.vertices[0].nx, 0, 1e-6f);
    EXPECT_NEAR(normals.vertices[0].ny, 0.7071068f, 1e-6f);
    EXPECT_NEAR(normals.vertices[0].nz, 0.7071068f, 1e-6f);
    EXPECT_NEAR(normals.vertices[2].nz, 1, 1e-6f);
    EXPECT_NEAR(normals.vertices[3].ny, 1, 1e-6f);
}

TEST(SceneDrawTest, MeshCountIsPrintedWithTheSceneFont)
{
    std::vector<std::vector<int>> rows;
    for (int k = 0; k < Font::kGlyphCount; ++k) {
        if (k % 16 == 0)
            rows.emplace_back();
        rows.back().push_back(3);
    }
    int w = 0, h = 0;
    const std::vector<uint8_t> sheet = DrawFontSheet(5, rows, w, h);
    LoadedScene loaded(FixedCameraScene({"A", "B", "Off.Hide"}), {{"font1.png", EncodePng(w, h, sheet)}});
    Frame(loaded, 0);
    EXPECT_EQ(CallCount(loaded.device, "Surface::Draw"), 0);  // off by default
    loaded.scene->showMeshCount = true;
    Frame(loaded, 0);
    const auto glyphs = CallsNamed(loaded.device, "Surface::Draw");
    ASSERT_EQ(glyphs.size(), 3u);  // "2/3"
    EXPECT_EQ(glyphs[0]->IntArg(0), 200);
    EXPECT_EQ(glyphs[0]->IntArg(1), 10);
    EXPECT_GT(glyphs[1]->IntArg(0), 200);
}
