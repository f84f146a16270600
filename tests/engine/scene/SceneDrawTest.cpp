// Tests of scene drawing on the recording device: time, camera, hierarchy, culling, order and states of meshes.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include "support/SceneTestKit.h"
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
        if (call.op == Op::SetWorld)
            x = call.As<Matrix4>()[3][0];
        if (call.op == Op::VertexBufferDraw || call.op == Op::DrawIndexed)
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
    EXPECT_EQ(loaded.device.Count(Op::SetView), 1);
    // The field of view and roll come from the file when the track has no such keys.
    EXPECT_FLOAT_EQ(loaded.device.GetFieldOfView(), 0.785398f);
    // Negative times leave the camera alone.
    Frame(loaded, -20);
    EXPECT_EQ(loaded.device.Count(Op::SetView), 0);
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
        for (Op call : {Op::SetView, Op::SetProjection})
            EXPECT_EQ(loaded.device.Count(call), 0) << call;
        EXPECT_FLOAT_EQ(loaded.device.GetEye().y, 2);
        EXPECT_FLOAT_EQ(loaded.scene->GetEye().z, 3);
        EXPECT_EQ(loaded.device.Count(Op::VertexBufferDraw), 1);
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

TEST(SceneDrawTest, ASharedChildTurnsWithEachOfItsParents)
{
    MdlFile file = FixedCameraScene({"Left", "Right", "Shared"});
    file.meshes[0].children = {"Shared"};
    file.meshes[1].children = {"Shared"};
    for (const char* name : {"Left", "Right"}) {
        MdlTrackRecord track = MakePositionTrack(name, {{0, {}}});
        track.rotation = {{0, {0, 0, 1}, kPi / 2, 0, 0}};  // a quarter turn each
        file.tracks.push_back(track);
    }
    file.tracks.push_back(MakePositionTrack("Shared", {{0, {0, 3, 0}}}));
    LoadedScene loaded(file);
    Frame(loaded, 0);
    // Two quarter turns about one axis are a half turn: (1, 0, 0) goes to (-1, 0, 0),
    // then the child's own translation (0, 3, 0) is added.
    const Vector4 p = TransformPoint(loaded.scene->FindObject("Shared")->world, {1, 0, 0});
    EXPECT_NEAR(p.x, -1.0f, 1e-5f);
    EXPECT_NEAR(p.y, 3.0f, 1e-5f);
    EXPECT_NEAR(p.z, 0.0f, 1e-5f);
}

TEST(SceneDrawTest, ChildrenSharedOverAndOverStillDrawAFrame)
{
    // Forty diamonds in a row: 2^40 paths from the top to the bottom, 121 objects.
    std::vector<std::string> names{"L0"};
    for (int i = 1; i <= 40; ++i)
        for (const char* prefix : {"A", "B", "L"})
            names.push_back(prefix + std::to_string(i));
    MdlFile file = FixedCameraScene(names);
    for (int i = 1; i <= 40; ++i) {
        const std::string level = std::to_string(i);
        file.meshes[3 * (i - 1)].children = {"A" + level, "B" + level};
        file.meshes[3 * i - 2].children = {"L" + level};
        file.meshes[3 * i - 1].children = {"L" + level};
    }
    MdlTrackRecord top = MakePositionTrack("L0", {{0, {}}});
    top.rotation = {{0, {0, 0, 1}, kPi / 2, 0, 0}};
    file.tracks.push_back(top);
    LoadedScene loaded(file);
    Frame(loaded, 0);
    EXPECT_TRUE(loaded.scene->FindObject("A1")->flags & kFlagDriven);
    EXPECT_NEAR(TransformPoint(loaded.scene->FindObject("A1")->world, {1, 0, 0}).z, 1.0f, 1e-5f);
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
    EXPECT_EQ(loaded.device.Count(Op::VertexBufferDraw), drawn);
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
    std::vector<Op> names = loaded.device.Ops(loaded.device.Find(Op::ApplyStateBlock));
    names.resize(23);
    const std::vector<Op> expected = {
        Op::ApplyStateBlock, Op::SetSrcBlend, Op::SetDestBlend, Op::SetColorOp, Op::SetColorArg1, Op::SetColorArg2,
        Op::SetAlphaOp, Op::EnableDepth, Op::SetCullMode, Op::EnableAlphaBlend,  // the scene's block
        Op::SetWorld, Op::SetTexture, Op::SetTexture, Op::SetMaterial,
        Op::ApplyStateBlock, Op::SetCullMode, Op::EnableAlphaBlend,  // the mesh's block
        Op::VertexBufferDraw, Op::SetCullMode, Op::VertexBufferDraw, Op::EnableAlphaBlend,
        Op::ApplyStateBlock, Op::SetSrcBlend};  // the next mesh
    EXPECT_EQ(names, expected);
    const auto blocks = loaded.device.All(Op::ApplyStateBlock);
    EXPECT_EQ(blocks[0]->As<StateBlockArgs>().handle, sceneBlock);
    EXPECT_EQ(blocks[1]->As<StateBlockArgs>().handle, glass.GetStateBlock());
    const auto culls = loaded.device.All(Op::SetCullMode);
    EXPECT_EQ(culls[1]->As<CullMode>(), CullMode::CounterClockwise);
    EXPECT_EQ(culls[2]->As<CullMode>(), CullMode::Clockwise);
    EXPECT_FALSE(loaded.device.alphaBlend);
    const RecordedCall* material = loaded.device.All(Op::SetMaterial)[0];
    EXPECT_EQ(material->As<MaterialRecord>().diffuseR, 0);
    EXPECT_EQ(material->As<MaterialRecord>().emissiveB, 0);
}

TEST(SceneDrawTest, MeshStateBlocksFollowTheFlags)
{
    struct Case {
        const char* name;
        std::vector<Op> block;
    };
    const Case cases[] = {
        {"Plain", {}},
        {"G.Alpha", {Op::SetCullMode, Op::EnableAlphaBlend}},
        {"G.AlphaMap",
         {Op::SetCullMode, Op::EnableAlphaBlend, Op::SetCullMode, Op::EnableAlphaBlend, Op::SetSrcBlend,
          Op::SetDestBlend, Op::SetAlphaOp, Op::SetAlphaArg1}},
        {"F.Floor", {Op::EnableAlphaBlend, Op::SetSrcBlend, Op::SetDestBlend}},
        {"E.EnvMap",
         {Op::SetSrcBlend, Op::SetDestBlend, Op::SetColorOp, Op::SetColorArg1, Op::SetColorArg2, Op::SetAlphaOp,
          Op::SetAlphaArg1, Op::SetColorOp, Op::SetColorArg1, Op::SetColorArg2, Op::SetAlphaOp, Op::SetAlphaArg1,
          Op::SetAlphaArg2}},
        {"N.NoCull.NoDynaLight", {Op::SetCullMode, Op::EnableLighting}},
    };
    for (const Case& c : cases) {
        LoadedScene loaded(FixedCameraScene({c.name}));
        const Mesh& mesh = *loaded.scene->GetMeshes()[0];
        loaded.device.ClearCalls();
        loaded.device.ApplyStateBlock(mesh.GetStateBlock());
        std::vector<Op> names = loaded.device.Ops();
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
    std::vector<std::string> fogAndDraws;
    for (const RecordedCall& call : loaded.device.calls)
        if (call.op == Op::EnableFog || call.op == Op::VertexBufferDraw)
            fogAndDraws.push_back(call.op == Op::EnableFog ? "EnableFog" + std::to_string(call.As<bool>())
                                                           : "VertexBuffer::Draw");
    EXPECT_EQ(fogAndDraws, (std::vector<std::string>{"VertexBuffer::Draw", "EnableFog0", "VertexBuffer::Draw",
                                                     "EnableFog1"}));
    loaded.device.EnableFog(false);
    Frame(loaded, 0);
    EXPECT_EQ(loaded.device.Count(Op::EnableFog), 0);
}

TEST(SceneDrawTest, DynamicLightsFollowTheirTracksAndSwitchLightingOn)
{
    MdlFile file = FixedCameraScene({"Lit", "Dark.NoDynaLight"});
    file.lights = {{"Omni01.Dyna", {1, 1, 1}, {1, 0, 0}, 2.0f}, {"Plain", {}, {}, 1.0f},
                   {"Omni02.dyna", {4, 4, 4}, {0, 1, 0}, 0.5f}};
    file.tracks.push_back(MakePositionTrack("omni02.DYNA", {{0, {9, 8, 7}}}));
    LoadedScene loaded(file);
    Frame(loaded, 0);
    const auto lights = loaded.device.All(Op::SetLight);
    ASSERT_EQ(lights.size(), 2u);
    EXPECT_EQ(lights[0]->As<LightArgs>().index, 0);
    EXPECT_FLOAT_EQ(lights[0]->As<LightArgs>().light.x, 1);
    EXPECT_FLOAT_EQ(lights[0]->As<LightArgs>().light.range, 2);
    EXPECT_EQ(lights[1]->As<LightArgs>().index, 1);
    EXPECT_FLOAT_EQ(lights[1]->As<LightArgs>().light.x, 9);
    EXPECT_FLOAT_EQ(lights[1]->As<LightArgs>().light.g, 1);
    // Lighting goes on before the meshes; the ".NoDynaLight" mesh turns it off and it comes back.
    std::vector<int> lighting;
    for (const RecordedCall& call : loaded.device.calls)
        if (call.op == Op::EnableLighting)
            lighting.push_back(call.As<bool>());
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
    const auto draws = loaded.device.All(Op::Draw);
    ASSERT_EQ(draws.size(), 3u);
    EXPECT_EQ(draws[0]->Draw().primitive, PrimitiveType::LineStrip);
    EXPECT_EQ(draws[1]->Draw().primitive, PrimitiveType::LineStrip);
    EXPECT_EQ(draws[2]->Draw().primitive, PrimitiveType::LineList);
    ASSERT_EQ(draws[0]->Vertices().size(), 5u);
    ASSERT_EQ(draws[2]->Vertices().size(), 8u);
    EXPECT_EQ(draws[0]->Vertices()[0].color, 0xFFFFFFFFu);
    // Closed rectangles: first and last points coincide; corners relative to the pivot.
    EXPECT_FLOAT_EQ(draws[0]->Vertices()[4].x, draws[0]->Vertices()[0].x);
    EXPECT_FLOAT_EQ(draws[0]->Vertices()[0].x, 0);
    EXPECT_FLOAT_EQ(draws[0]->Vertices()[0].y, 1);
    EXPECT_FLOAT_EQ(draws[1]->Vertices()[0].y, 3);
    EXPECT_FLOAT_EQ(draws[2]->Vertices()[7].z, 5);
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
    const RecordedCall* draw = loaded.device.All(Op::DrawIndexed)[0];
    EXPECT_FLOAT_EQ(draw->Vertices()[0].u1, mesh.vertices[0].u1);
    const auto textures = loaded.device.All(Op::SetTexture);
    EXPECT_EQ(textures[0]->As<StageArgs>().texture, mesh.material->textures[0]);
    EXPECT_EQ(textures[1]->As<StageArgs>().texture, mesh.material->textures[1]);

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
    LoadedScene loaded(FixedCameraScene({"A", "B", "Off.Hide"}), {{"font1.png", SceneTestFont()}});
    Frame(loaded, 0);
    EXPECT_EQ(loaded.device.Count(Op::SurfaceDraw), 0);  // off by default
    loaded.scene->showMeshCount = true;
    Frame(loaded, 0);
    const auto glyphs = loaded.device.All(Op::SurfaceDraw);
    ASSERT_EQ(glyphs.size(), 3u);  // "2/3"
    EXPECT_EQ(glyphs[0]->As<SurfaceDrawArgs>().x, 200);
    EXPECT_EQ(glyphs[0]->As<SurfaceDrawArgs>().y, 10);
    EXPECT_GT(glyphs[1]->As<SurfaceDrawArgs>().x, 200);
}
