// Tests of mdlconvert: scenes built in code (and written as glTF or OBJ) converted, then read back by the player.
#ifdef STARFALL_MDLCONVERT
#include <gtest/gtest.h>
#include <assimp/Exporter.hpp>
#include <assimp/scene.h>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include "engine/scene/ObjectFlags.h"
#include "support/PlayerProcess.h"
#include "support/SceneTestKit.h"
#include "support/TestImages.h"
#include "tools/mdlconvert/SceneConverter.h"

namespace fs = std::filesystem;

namespace {

constexpr float kPi = 3.14159265f;
// Positions read back match within this many units at the sampled keys, and within the
// larger one between keys (where the player's curves only approximate the motion).
constexpr float kAtKeys = 2e-3f;
constexpr float kBetweenKeys = 5e-2f;

// ---- Scenes built in code ---------------------------------------------------------------

aiMesh* NewMesh(const std::vector<aiVector3D>& positions, const std::vector<std::array<unsigned, 3>>& faces,
                unsigned material = 0)
{
    aiMesh* mesh = new aiMesh;
    mesh->mPrimitiveTypes = aiPrimitiveType_TRIANGLE;
    mesh->mMaterialIndex = material;
    mesh->mNumVertices = static_cast<unsigned>(positions.size());
    mesh->mVertices = new aiVector3D[positions.size()];
    mesh->mNormals = new aiVector3D[positions.size()];
    mesh->mTextureCoords[0] = new aiVector3D[positions.size()];
    mesh->mNumUVComponents[0] = 2;
    for (size_t i = 0; i < positions.size(); ++i) {
        mesh->mVertices[i] = positions[i];
        mesh->mNormals[i] = aiVector3D(positions[i]).NormalizeSafe();
        mesh->mTextureCoords[0][i] = aiVector3D(0.25f * static_cast<float>(i), 0.125f * static_cast<float>(i), 0);
    }
    mesh->mNumFaces = static_cast<unsigned>(faces.size());
    mesh->mFaces = new aiFace[faces.size()];
    for (size_t f = 0; f < faces.size(); ++f) {
        mesh->mFaces[f].mNumIndices = 3;
        mesh->mFaces[f].mIndices = new unsigned[3]{faces[f][0], faces[f][1], faces[f][2]};
    }
    return mesh;
}

// count vertices in separate triangles: nothing the importer could merge.
aiMesh* NewSeparateTriangles(unsigned count)
{
    std::vector<aiVector3D> positions;
    std::vector<std::array<unsigned, 3>> faces;
    for (unsigned i = 0; i < count; i += 3) {
        const float x = static_cast<float>(i);
        positions.insert(positions.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}});
        faces.push_back({i, i + 1, i + 2});
    }
    return NewMesh(positions, faces);
}

// An irregular tetrahedron: four vertices that pin down position and orientation.
aiMesh* NewTetrahedron()
{
    return NewMesh({{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {0, 0, 0.5f}}, {{0, 2, 1}, {0, 1, 3}, {0, 3, 2}, {1, 2, 3}});
}

aiNode* NewNode(aiNode* parent, const char* name, const aiMatrix4x4& transform, std::vector<unsigned> meshes = {})
{
    aiNode* node = new aiNode(name);
    node->mTransformation = transform;
    if (!meshes.empty()) {
        node->mNumMeshes = static_cast<unsigned>(meshes.size());
        node->mMeshes = new unsigned[meshes.size()];
        std::copy(meshes.begin(), meshes.end(), node->mMeshes);
    }
    parent->addChildren(1, &node);
    return node;
}

aiMatrix4x4 Translation(aiVector3D v)
{
    aiMatrix4x4 m;
    return aiMatrix4x4::Translation(v, m);
}

aiMatrix4x4 Rotation(aiVector3D axis, float angle)
{
    aiMatrix4x4 m;
    return aiMatrix4x4::Rotation(angle, axis, m);
}

// A channel moving along position(t) and turning about axis by angle(t), keys every second
// over [0, seconds] (in ticks of 1 s).
aiNodeAnim* NewChannel(const char* node, double seconds, std::function<aiVector3D(double)> position, aiVector3D axis,
                       std::function<float(double)> angle)
{
    aiNodeAnim* channel = new aiNodeAnim;
    channel->mNodeName = node;
    const unsigned count = static_cast<unsigned>(seconds) + 1;
    channel->mNumPositionKeys = channel->mNumRotationKeys = channel->mNumScalingKeys = count;
    channel->mPositionKeys = new aiVectorKey[count];
    channel->mRotationKeys = new aiQuatKey[count];
    channel->mScalingKeys = new aiVectorKey[count];
    for (unsigned k = 0; k < count; ++k) {
        const double t = static_cast<double>(k);
        channel->mPositionKeys[k] = aiVectorKey(t, position(t));
        channel->mRotationKeys[k] = aiQuatKey(t, aiQuaternion(axis, angle(t)));
        channel->mScalingKeys[k] = aiVectorKey(t, aiVector3D(1, 1, 1));
    }
    return channel;
}

aiScene* NewScene()
{
    aiScene* scene = new aiScene;
    scene->mRootNode = new aiNode("Root");
    scene->mNumMaterials = 1;
    scene->mMaterials = new aiMaterial*[1]{new aiMaterial};
    const aiString name("Stone");
    scene->mMaterials[0]->AddProperty(&name, AI_MATKEY_NAME);
    return scene;
}

void SetMeshes(aiScene& scene, std::vector<aiMesh*> meshes)
{
    scene.mNumMeshes = static_cast<unsigned>(meshes.size());
    scene.mMeshes = new aiMesh*[meshes.size()];
    std::copy(meshes.begin(), meshes.end(), scene.mMeshes);
}

// An animation in ticks of 1 s.
aiAnimation* NewAnimation(const char* name, double seconds, std::vector<aiNodeAnim*> channels)
{
    aiAnimation* animation = new aiAnimation;
    animation->mName = name;
    animation->mDuration = seconds;
    animation->mTicksPerSecond = 1.0;
    animation->mNumChannels = static_cast<unsigned>(channels.size());
    animation->mChannels = new aiNodeAnim*[channels.size()];
    std::copy(channels.begin(), channels.end(), animation->mChannels);
    return animation;
}

void SetAnimation(aiScene& scene, double seconds, std::vector<aiNodeAnim*> channels)
{
    scene.mNumAnimations = 1;
    scene.mAnimations = new aiAnimation*[1]{NewAnimation("Take", seconds, std::move(channels))};
}

// The motion of the round-trip scene, written out by hand (source axes, seconds).
aiVector3D SpinnerPosition(double t)
{
    return aiVector3D(6.0f * static_cast<float>(t), 1.0f, -3.0f * static_cast<float>(t));
}
float SpinnerAngle(double t)
{
    return kPi / 3 * static_cast<float>(t);
}
float ArmAngle(double t)
{
    return kPi / 6 * static_cast<float>(t);
}
const aiVector3D kArmOffset(3, 0, 0);
const aiMatrix4x4 kStill = Translation({5, 1, 2}) * Rotation({0, 0, 1}, 0.5f);

// Root > Spinner.NoCull (moves along a line, turns about y) > Arm (fixed offset, turns
// about its x) and Root > Still (never moves), three seconds long.
aiScene* NewMovingScene()
{
    aiScene* scene = NewScene();
    SetMeshes(*scene, {NewTetrahedron(), NewTetrahedron(), NewTetrahedron()});
    aiNode* spinner = NewNode(scene->mRootNode, "Spinner.NoCull", Translation(SpinnerPosition(0)), {0});
    NewNode(spinner, "Arm", Translation(kArmOffset), {1});
    NewNode(scene->mRootNode, "Still", kStill, {2});
    SetAnimation(*scene, 3.0,
                 {NewChannel("Spinner.NoCull", 3.0, SpinnerPosition, {0, 1, 0}, SpinnerAngle),
                  NewChannel("Arm", 3.0, [](double) { return kArmOffset; }, {1, 0, 0}, ArmAngle)});
    return scene;
}

// Where the source places each object at t seconds (source axes).
aiMatrix4x4 ExpectedGlobal(const std::string& name, double t)
{
    const aiMatrix4x4 spinner = Translation(SpinnerPosition(t)) * Rotation({0, 1, 0}, SpinnerAngle(t));
    if (name == "Spinner.NoCull")
        return spinner;
    if (name == "Arm")
        return spinner * Translation(kArmOffset) * Rotation({1, 0, 0}, ArmAngle(t));
    return kStill;
}

Vector3 Mirror(const aiVector3D& v)
{
    return {v.x, v.y, -v.z};
}

// ---- Reading back -----------------------------------------------------------------------

float Distance(Vector3 a, Vector3 b)
{
    return Length(a - b);
}

Vector3 Transformed(const Matrix4& world, const Vertex& v)
{
    const Vector4 p = TransformPoint(world, {v.x, v.y, v.z});
    return {p.x, p.y, p.z};
}

// Every vertex of the player's mesh at frame against the source's tetrahedron placed by
// expected: the pivot (position) and every vertex (orientation) within tolerance.
void ExpectPlaced(const Mesh& mesh, const aiMatrix4x4& expected, float tolerance)
{
    static const aiVector3D kCorners[4] = {{0, 0, 0}, {2, 0, 0}, {0, 1, 0}, {0, 0, 0.5f}};
    ASSERT_EQ(mesh.restVertices.size(), 4u);
    const Vector3 pivot{mesh.world.m[3][0], mesh.world.m[3][1], mesh.world.m[3][2]};
    EXPECT_LT(Distance(pivot, Mirror(expected * aiVector3D(0, 0, 0))), tolerance) << "position of " << mesh.GetName();
    // Some formats keep the corners in another order: each corner needs one vertex on it.
    for (size_t i = 0; i < 4; ++i) {
        float nearest = 1e30f;
        for (const Vertex& vertex : mesh.restVertices)
            nearest = std::min(nearest, Distance(Transformed(mesh.world, vertex), Mirror(expected * kCorners[i])));
        EXPECT_LT(nearest, tolerance) << mesh.GetName() << " corner " << i;
    }
}

Mesh& MeshNamed(const Scene& scene, const std::string& name)
{
    for (Mesh* mesh : scene.GetMeshes())
        if (mesh->GetName() == name)
            return *mesh;
    throw std::runtime_error("no mesh " + name);
}

class MdlConvertTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::path(STARFALL_TEST_OUTPUT_DIR) / "mdlconvert" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    std::string Path(const std::string& name) const { return (root_ / name).string(); }
    void Write(const std::string& name, const std::string& text) { std::ofstream(root_ / name) << text; }
    // Runs the tool; its exit status, standard output and error in output.
    int Run(const std::vector<std::string>& arguments, std::string& output)
    {
        const PlayerRun run = RunProcess(MDLCONVERT_EXE, arguments, root_.string(), {}, 120.0);
        output = run.out + run.err;
        return run.exitCode;
    }
    // Reads an MDL file written by the tool as a player would.
    static MdlFile ReadBack(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        return ReadMdl(bytes, path.c_str());
    }

    fs::path root_;
};

// The converted moving scene against the source: names, hierarchy, tracks, and where every
// object stands at sampled frames, on keys and between them.
void ExpectMovingScene(const MdlFile& file, float atKeys)
{
    EXPECT_EQ(file.frameCount, 99u) << "three seconds at 33 frames per second";
    LoadedScene loaded(file);
    const Scene& scene = *loaded.scene;
    ASSERT_EQ(scene.GetMeshes().size(), 3u);
    Mesh& spinner = MeshNamed(scene, "Spinner.NoCull");
    Mesh& arm = MeshNamed(scene, "Arm");
    Mesh& still = MeshNamed(scene, "Still");
    EXPECT_TRUE(spinner.flags & kFlagNoCull) << "names are kept exactly, so their suffixes work";
    ASSERT_EQ(spinner.children.size(), 1u);
    EXPECT_EQ(spinner.children[0], &arm) << "the hierarchy is kept";
    EXPECT_EQ(still.track, nullptr) << "what never moves has no track";
    ASSERT_NE(spinner.track, nullptr);
    EXPECT_EQ(spinner.track->rotation.front().frame, 0);
    EXPECT_EQ(spinner.track->rotation.back().frame, 99) << "a key every 10 frames and one at the end";
    EXPECT_EQ(spinner.track->rotation.size(), 11u);

    struct Sample {
        float frame;
        float tolerance;
    } samples[] = {{0, atKeys},         {10, atKeys},        {40, atKeys},        {90, atKeys},
                   {5, kBetweenKeys},   {33, kBetweenKeys},  {47.5f, kBetweenKeys}, {77, kBetweenKeys},
                   {98.5f, kBetweenKeys}};
    for (const Sample& sample : samples) {
        SCOPED_TRACE(testing::Message() << "frame " << sample.frame);
        loaded.scene->Draw(sample.frame);
        const double seconds = sample.frame / 33.0;
        ExpectPlaced(spinner, ExpectedGlobal("Spinner.NoCull", seconds), sample.tolerance);
        ExpectPlaced(arm, ExpectedGlobal("Arm", seconds), sample.tolerance);
        ExpectPlaced(still, ExpectedGlobal("Still", seconds), atKeys);
    }
}

}  // namespace

// glTF, Collada and FBX, each written by the import library's own exporter.
TEST_F(MdlConvertTest, RoundTripsKeepPositionsAndOrientationsOfAHierarchyAtSampledFrames)
{
    const struct {
        const char* exporterId;
        const char* fileName;
        float atKeys;
    } formats[] = {{"gltf2", "moving.gltf", kAtKeys},
                   {"collada", "moving.dae", kAtKeys},
                   // The library's FBX reader places some keys up to 5 ms off their times
                   // (its binary FBX writer's files it cannot read back at all).
                   {"fbxa", "moving.fbx", 1.5e-2f}};
    for (const auto& format : formats) {
        SCOPED_TRACE(format.fileName);
        std::unique_ptr<aiScene> source(NewMovingScene());
        Assimp::Exporter exporter;
        ASSERT_EQ(exporter.Export(source.get(), format.exporterId, Path(format.fileName)), AI_SUCCESS)
            << exporter.GetErrorString();
        std::string output;
        ASSERT_EQ(Run({Path(format.fileName), Path("moving.mdl")}, output), 0) << output;
        EXPECT_NE(output.find("3 meshes"), std::string::npos) << output;
        ExpectMovingScene(ReadBack(Path("moving.mdl")), format.atKeys);
    }
}

namespace {

aiCamera* NewCamera(const char* name, float horizontalAngle, float aspect)
{
    aiCamera* camera = new aiCamera;
    camera->mName = name;
    camera->mLookAt = aiVector3D(0, 0, -1);
    camera->mHorizontalFOV = horizontalAngle;
    camera->mAspect = aspect;
    return camera;
}

aiLight* NewLight(const char* name, aiColor3D colour)
{
    aiLight* light = new aiLight;
    light->mName = name;
    light->mType = aiLightSource_POINT;
    light->mColorDiffuse = colour;
    return light;
}

// Signed area of a triangle after the device's view and projection (y up): its winding as seen.
float ScreenWinding(const RenderDevice& device, Vector3 a, Vector3 b, Vector3 c)
{
    const Matrix4 viewProjection = device.GetView() * device.GetProjection();
    auto project = [&](Vector3 p) {
        const Vector4 q = TransformPoint(viewProjection, p);
        return std::pair<float, float>(q.x / q.w, q.y / q.w);
    };
    const auto [ax, ay] = project(a);
    const auto [bx, by] = project(b);
    const auto [cx, cy] = project(c);
    return (bx - ax) * (cy - ay) - (by - ay) * (cx - ax);
}

}  // namespace

TEST_F(MdlConvertTest, CamerasAndLightsKeepWhatTheySeeAndWhereTheyAre)
{
    std::unique_ptr<aiScene> scene(NewScene());
    // A wall to the front camera's left, facing it (counter-clockwise as the source sees it).
    SetMeshes(*scene, {NewMesh({{-3, -1, -10}, {-1, -1, -10}, {-2, 1, -10}}, {{0, 1, 2}})});
    NewNode(scene->mRootNode, "Wall", aiMatrix4x4(), {0});
    NewNode(scene->mRootNode, "Front", aiMatrix4x4());
    NewNode(scene->mRootNode, "Tilted", Translation({1, 1, 5}) * Rotation({0, 0, 1}, 0.4f));
    NewNode(scene->mRootNode, "Mover", aiMatrix4x4());
    NewNode(scene->mRootNode, "Lamp.Dyna", Translation({2, 3, -4}));
    aiNode* carrier = NewNode(scene->mRootNode, "Carrier", aiMatrix4x4());
    NewNode(carrier, "Orbiter.Dyna", Translation({0, 0, 2}));
    auto moverPosition = [](double t) { return aiVector3D(4.0f * static_cast<float>(t), 2, 10); };
    auto moverAngle = [](double t) { return 0.2f * static_cast<float>(t); };
    auto carrierAngle = [](double t) { return kPi / 2 * static_cast<float>(t); };
    SetAnimation(*scene, 3.0,
                 {NewChannel("Mover", 3.0, moverPosition, {0, 1, 0}, moverAngle),
                  NewChannel("Carrier", 3.0, [](double) { return aiVector3D(); }, {0, 1, 0}, carrierAngle)});
    scene->mNumCameras = 3;
    scene->mCameras = new aiCamera*[3]{NewCamera("Front", 1.0f, 4.0f / 3.0f), NewCamera("Tilted", 1.0f, 0.0f),
                                       NewCamera("Mover", 1.2f, 16.0f / 9.0f)};
    scene->mNumLights = 2;
    scene->mLights = new aiLight*[2]{NewLight("Lamp.Dyna", {3.0f, 1.5f, 0.75f}), NewLight("Orbiter.Dyna", {1, 1, 1})};

    const ConvertResult result = ConvertScene(*scene, ConvertOptions{});
    const MdlFile& file = result.file;
    ASSERT_EQ(file.cameras.size(), 3u);
    // Every camera, moving or not, has position, roll, field-of-view and target tracks of two
    // keys or more.
    for (const MdlCameraRecord& camera : file.cameras) {
        SCOPED_TRACE(camera.name);
        const MdlTrackRecord* own = nullptr;
        const MdlTrackRecord* target = nullptr;
        for (const MdlTrackRecord& track : file.tracks) {
            own = track.name == camera.name ? &track : own;
            target = track.name == camera.name + ".Target" ? &track : target;
        }
        ASSERT_TRUE(own && target);
        EXPECT_GE(own->position.size(), 2u);
        EXPECT_GE(own->roll.size(), 2u);
        EXPECT_GE(own->fieldOfView.size(), 2u);
        EXPECT_GE(target->position.size(), 2u);
    }
    ASSERT_EQ(file.lights.size(), 2u);
    EXPECT_EQ(file.lights[0].name, "Lamp.Dyna");
    EXPECT_LT(Distance(file.lights[0].color, {1.0f, 0.5f, 0.25f}), 1e-6f) << "scaled into 0..1, hue kept";

    LoadedScene loaded(file);
    Scene& player = *loaded.scene;
    RenderDevice& device = loaded.device;

    // What the front camera sees: the wall on the left, with the winding the player's culling
    // keeps (that of the writer's quad, seen from its front).
    player.SelectCamera("Front");
    player.Draw(0);
    EXPECT_NEAR(device.GetFieldOfView(), 2 * std::atan(std::tan(0.5f) * 0.75f), 1e-4f) << "the vertical angle";
    const Mesh& wall = MeshNamed(player, "Wall");
    Vector3 corners[3];
    for (int i = 0; i < 3; ++i) {
        corners[i] = Transformed(wall.world, wall.restVertices[wall.faces[0][static_cast<size_t>(i)]]);
        const Vector4 q = TransformPoint(device.GetView() * device.GetProjection(), corners[i]);
        EXPECT_LT(q.x / q.w, 0.0f) << "left stays left";
    }
    const float converted = ScreenWinding(device, corners[0], corners[1], corners[2]);
    RecordingDevice reference;
    reference.Open(640, 480, 32);
    reference.SetEye(0, 0, -10);
    reference.SetTarget(0, 0, 0);
    reference.SetRoll(0);
    reference.UpdateCamera();
    const MdlMeshRecord quad = MakeQuadMesh("Quad", "", 2, {});
    const uint32_t* front = quad.faces[0].index;
    const float kept = ScreenWinding(reference, quad.vertices[front[0]].position, quad.vertices[front[1]].position,
                                     quad.vertices[front[2]].position);
    EXPECT_GT(converted * kept, 0.0f) << "the face the source shows is not culled";

    // The tilted camera's up direction.
    player.SelectCamera("Tilted");
    player.Draw(0);
    const Matrix4& view = device.GetView();
    const Vector3 up{view.m[0][1], view.m[1][1], view.m[2][1]};
    EXPECT_LT(Distance(up, {-std::sin(0.4f), std::cos(0.4f), 0.0f}), 1e-3f);
    EXPECT_LT(Distance(device.GetEye(), {1, 1, -4}), 1e-3f) << "one unit ahead of (1, 1, -5), looking down +z";

    // The moving camera, at keys and between them.
    player.SelectCamera("Mover");
    for (float frame : {0.0f, 20.0f, 50.0f, 90.0f, 7.0f, 64.5f}) {
        SCOPED_TRACE(testing::Message() << "frame " << frame);
        player.Draw(frame);
        const double t = frame / 33.0;
        Vector3 forward = device.GetTarget() - device.GetEye();
        forward = forward * (1.0f / Length(forward));
        const float angle = moverAngle(t);
        const aiVector3D sourceForward(-std::sin(angle), 0, -std::cos(angle));
        EXPECT_LT(Distance(forward, Mirror(sourceForward)), 1e-3f);
        EXPECT_LT(Distance(device.GetEye(), Mirror(moverPosition(t) + sourceForward)), kAtKeys)
            << "one unit ahead of the source camera";
        EXPECT_NEAR(device.GetFieldOfView(), 2 * std::atan(std::tan(0.6f) * 9.0f / 16.0f), 1e-4f);
    }

    // A light carried round by a turning parent follows its track; a still one has none.
    SceneLight* orbiter = nullptr;
    for (SceneLight* light : player.GetLights())
        orbiter = light->GetName() == "orbiter.dyna" ? light : orbiter;
    ASSERT_NE(orbiter, nullptr);
    ASSERT_NE(orbiter->track, nullptr);
    EXPECT_EQ(player.GetLights()[0]->track, nullptr);
    for (float frame : {0.0f, 30.0f, 45.0f, 80.0f}) {
        const float angle = carrierAngle(frame / 33.0);
        EXPECT_LT(Distance(orbiter->GetPosition(frame), Mirror(aiVector3D(2 * std::sin(angle), 0, 2 * std::cos(angle)))),
                  kBetweenKeys)
            << "frame " << frame;
    }
}

TEST_F(MdlConvertTest, ObjFileBecomesMeshesWithMaterialsTexturesAndColours)
{
    Write("scene.obj",
          "mtllib scene.mtl\n"
          "o Leaf.AlphaMap\n"
          "v -1 0 -5\nv 1 0 -5\nv 1 2 -5\nv -1 2 -5\n"
          "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n"
          "usemtl leaf\n"
          "f 1/1 2/2 3/3 4/4\n"
          "o Rock\n"
          "v 0 0 0\nv 1 0 0\nv 0 1 0\n"
          "usemtl rock\n"
          "f 5 6 7\n"
          "o Bark\n"
          "v 0 0 1\nv 1 0 1\nv 0 1 1\n"
          "usemtl bark\n"
          "f 8 9 10\n"
          "usemtl rock\n"
          "f 8 10 9\n");
    Write("scene.mtl",
          "newmtl leaf\nKd 1 1 1\nmap_Kd textures/leaf.png\nmap_d textures/leafalpha.png\n"
          "newmtl rock\nKd 0.5 0.25 0\n"
          "newmtl bark\nKd 1 1 1\nmap_Kd bark.jpg\nmap_d barkmask.png\n");
    std::string output;
    ASSERT_EQ(Run({Path("scene.obj"), Path("scene.mdl")}, output), 0) << output;
    EXPECT_NE(output.find("warning: material [bark]: opacity map [barkmask.png] is left out"), std::string::npos)
        << output;

    const MdlFile file = ReadBack(Path("scene.mdl"));
    EXPECT_TRUE(file.tracks.empty());
    const MdlMeshRecord* leaf = nullptr;
    const MdlMeshRecord* rock = nullptr;
    for (const MdlMeshRecord& mesh : file.meshes) {
        leaf = mesh.name == "Leaf.AlphaMap" ? &mesh : leaf;
        rock = mesh.name == "Rock" ? &mesh : rock;
    }
    ASSERT_TRUE(leaf && rock) << output;
    std::vector<std::string> names;
    for (const MdlMeshRecord& mesh : file.meshes)
        names.push_back(mesh.name);
    EXPECT_EQ(names, (std::vector<std::string>{"Leaf.AlphaMap", "Rock", "Bark", "Bark#2"}))
        << "one mesh per material; the second keeps the node's name with #2";
    EXPECT_EQ(leaf->faces.size(), 2u) << "the quad is triangulated";
    ASSERT_EQ(leaf->vertices.size(), 4u);
    bool found = false;
    for (const MdlVertexRecord& v : leaf->vertices) {
        if (Distance(v.position, {1, 2, 5}) < 1e-6f) {
            found = true;
            EXPECT_EQ(v.u, 1.0f);
            EXPECT_EQ(v.v, -1.0f) << "v is stored negated";
            EXPECT_LT(Distance(v.normal, {0, 0, -1}), 1e-5f) << "made where missing, mirrored with the rest";
        }
        EXPECT_EQ(v.color, 0xFFFFFFu);
    }
    EXPECT_TRUE(found) << "z is mirrored: (1, 2, -5) is stored as (1, 2, 5)";
    for (const MdlVertexRecord& v : rock->vertices)
        EXPECT_EQ(v.color, 0x804000u) << "no vertex colours: the material's diffuse colour";

    for (const MdlMaterialRecord& material : file.materials) {
        if (material.name == "leaf") {
            EXPECT_EQ(material.textures, (std::vector<std::string>{"textures/leaf.png", "textures/leafalpha.png"}));
        }
        if (material.name == "bark") {
            EXPECT_EQ(material.textures, (std::vector<std::string>{"bark.jpg"}));
        }
    }

    // The player binds the material, reads the suffixes and draws the leaf with its alpha.
    LoadedScene loaded(file);
    const Mesh& player = MeshNamed(*loaded.scene, "Leaf.AlphaMap");
    ASSERT_NE(player.material, nullptr);
    EXPECT_EQ(player.material->name, "leaf");
    EXPECT_EQ(player.flags & (kFlagAlpha | kFlagAlphaMap), kFlagAlpha | kFlagAlphaMap);
}

TEST_F(MdlConvertTest, WhatMdlCannotHoldIsRefusedWithAMessageAndNothingIsWritten)
{
    struct Case {
        const char* what;
        std::function<void(aiScene&)> build;
        const char* message;
    } cases[] = {
        {"too many vertices",
         [](aiScene& scene) {
             SetMeshes(scene, {NewSeparateTriangles(66000)});
             NewNode(scene.mRootNode, "Big", aiMatrix4x4(), {0});
         },
         "has 66000 vertices; an MDL mesh holds at most 65,536"},
        {"a vertex that is not a number",
         [](aiScene& scene) {
             SetMeshes(scene, {NewMesh({{0, 0, 0}, {1, 0, 0}, {0, std::nanf(""), 0}}, {{0, 1, 2}})});
             NewNode(scene.mRootNode, "Broken", aiMatrix4x4(), {0});
         },
         "mesh [Broken]: vertex 2 is not a finite number"},
        {"a name too long",
         [](aiScene& scene) {
             SetMeshes(scene, {NewTetrahedron()});
             NewNode(scene.mRootNode, std::string(300, 'n').c_str(), aiMatrix4x4(), {0});
         },
         "has a name of 300 bytes; MDL names hold at most 255"},
        {"a moving object named like another",
         [](aiScene& scene) {
             SetMeshes(scene, {NewTetrahedron(), NewTetrahedron()});
             NewNode(scene.mRootNode, "Door", aiMatrix4x4(), {0});
             NewNode(scene.mRootNode, "door", aiMatrix4x4(), {1});
             SetAnimation(scene, 1.0, {NewChannel("Door", 1.0, [](double t) { return aiVector3D(float(t), 0, 0); },
                                                  {0, 1, 0}, [](double) { return 0.0f; })});
         },
         "rename one of them"},
        {"a hierarchy too deep",
         [](aiScene& scene) {
             aiNode* node = scene.mRootNode;
             for (int i = 0; i < 1500; ++i)
                 node = NewNode(node, "Link", aiMatrix4x4());
         },
         "deeper than 1000 levels"},
        {"an endless animation",
         [](aiScene& scene) {
             SetMeshes(scene, {NewTetrahedron()});
             NewNode(scene.mRootNode, "Slow", aiMatrix4x4(), {0});
             SetAnimation(scene, 1e7, {NewChannel("Slow", 1.0, [](double) { return aiVector3D(); }, {0, 1, 0},
                                                  [](double) { return 0.0f; })});
         },
         "s can be converted"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<aiScene> scene(NewScene());
        c.build(*scene);
        try {
            ConvertScene(*scene, ConvertOptions{});
            ADD_FAILURE() << "converted";
        } catch (const ConvertError& error) {
            EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
        }
    }

    // The tool: a refused or unreadable input, or an output a player would not load, leaves
    // no file behind.
    Write("long.obj", "o " + std::string(256, 'n') + "\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    Write("garbage.gltf", "{ this is not glTF");
    Write("fine.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    std::string output;
    EXPECT_EQ(Run({Path("long.obj"), Path("long.mdl")}, output), 1);
    EXPECT_NE(output.find("mdlconvert: mesh [nnn"), std::string::npos) << output;
    EXPECT_NE(output.find("has a name of 256 bytes"), std::string::npos) << output;
    EXPECT_EQ(Run({Path("garbage.gltf"), Path("garbage.mdl")}, output), 1);
    EXPECT_NE(output.find("mdlconvert: Cannot import ["), std::string::npos) << output;
    EXPECT_EQ(Run({Path("fine.obj"), Path("fine.txt")}, output), 1);
    EXPECT_NE(output.find("does not end in .mdl"), std::string::npos) << output;
    EXPECT_EQ(Run({Path("fine.obj")}, output), 2) << "no output named";
    for (const char* left : {"long.mdl", "garbage.mdl", "fine.txt", "long.mdl.partial"})
        EXPECT_FALSE(fs::exists(root_ / left)) << left;
    EXPECT_EQ(Run({Path("fine.obj"), Path("fine.mdl")}, output), 0) << output;
    EXPECT_TRUE(fs::exists(root_ / "fine.mdl"));

    // glTF gives its vertical angle (times the aspect): kept exactly. Light colours with the
    // intensity folded in come back into 0..1.
    Write("camera.gltf", R"({"asset": {"version": "2.0"}, "scene": 0, "scenes": [{"nodes": [0, 1]}],
        "nodes": [{"name": "Cam", "camera": 0, "translation": [0, 0, 5]},
                  {"name": "Lamp.Dyna", "extensions": {"KHR_lights_punctual": {"light": 0}}}],
        "cameras": [{"type": "perspective", "perspective": {"yfov": 0.5, "aspectRatio": 1.5, "znear": 0.1}}],
        "extensionsUsed": ["KHR_lights_punctual"],
        "extensions": {"KHR_lights_punctual": {"lights": [{"type": "point", "color": [1, 0.5, 0.25], "intensity": 3}]}}})");
    ASSERT_EQ(Run({Path("camera.gltf"), Path("camera.mdl")}, output), 0) << output;
    const MdlFile cameras = ReadBack(Path("camera.mdl"));
    ASSERT_EQ(cameras.cameras.size(), 1u);
    EXPECT_NEAR(cameras.cameras[0].fieldOfView, 0.5f, 1e-5f);
    EXPECT_LT(Distance(cameras.cameras[0].position, {0, 0, -4}), 1e-5f) << "(0, 0, 5) mirrored, one unit ahead";
    ASSERT_EQ(cameras.lights.size(), 1u);
    EXPECT_EQ(cameras.lights[0].name, "Lamp.Dyna");
    EXPECT_LT(Distance(cameras.lights[0].color, {1.0f, 0.5f, 0.25f}), 1e-5f);

    EXPECT_EQ(Run({"--help"}, output), 0);
    EXPECT_NE(output.find("(x, y, -z)"), std::string::npos) << "the axes are documented";
}

namespace {

// Riser rises 2 units a second for 2 s (animation "Lift"); Spinner, at (5, 0, 0), turns
// about y by 60 degrees a second for 3 s (an unnamed animation).
aiScene* NewTwoAnimationScene()
{
    aiScene* scene = NewScene();
    SetMeshes(*scene, {NewTetrahedron(), NewTetrahedron()});
    NewNode(scene->mRootNode, "Riser", aiMatrix4x4(), {0});
    NewNode(scene->mRootNode, "Spinner", Translation({5, 0, 0}), {1});
    scene->mNumAnimations = 2;
    scene->mAnimations = new aiAnimation*[2]{
        NewAnimation("Lift", 2.0,
                     {NewChannel("Riser", 2.0, [](double t) { return aiVector3D(0, 2.0f * float(t), 0); }, {0, 1, 0},
                                 [](double) { return 0.0f; })}),
        NewAnimation("", 3.0, {NewChannel("Spinner", 3.0, [](double) { return aiVector3D(5, 0, 0); }, {0, 1, 0},
                                          [](double t) { return kPi / 3 * float(t); })})};
    return scene;
}

bool HasWarning(const ConvertResult& result, const std::string& text)
{
    for (const std::string& warning : result.warnings)
        if (warning.find(text) != std::string::npos)
            return true;
    return false;
}

std::string ReadFileBytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST_F(MdlConvertTest, EveryAnimationPlaysOnTheOneTimelineUnlessOneIsChosen)
{
    // Merged: each from frame 0, the scene as long as the longer (3 s).
    {
        std::unique_ptr<aiScene> source(NewTwoAnimationScene());
        const ConvertResult result = ConvertScene(*source, ConvertOptions{});
        EXPECT_EQ(result.file.frameCount, 99u);
        LoadedScene loaded(result.file);
        const struct {
            float frame;
            float riserY;        // 2 units a second, holding 4 after 2 s
            float spinnerAngle;  // 60 degrees a second
        } samples[] = {{0, 0, 0}, {30, 2 * 30 / 33.0f, kPi / 3 * 30 / 33}, {70, 4, kPi / 3 * 70 / 33},
                       {90, 4, kPi / 3 * 90 / 33}};
        for (const auto& sample : samples) {
            SCOPED_TRACE(testing::Message() << "frame " << sample.frame);
            loaded.scene->Draw(sample.frame);
            ExpectPlaced(MeshNamed(*loaded.scene, "Riser"), Translation({0, sample.riserY, 0}), kAtKeys);
            ExpectPlaced(MeshNamed(*loaded.scene, "Spinner"),
                         Translation({5, 0, 0}) * Rotation({0, 1, 0}, sample.spinnerAngle), kAtKeys);
        }
    }
    // Two animations moving one node: the first one's motion, named in a warning; an unnamed
    // animation is named by its place.
    {
        std::unique_ptr<aiScene> source(NewTwoAnimationScene());
        source->mAnimations[1]->mChannels[0]->mNodeName = "Riser";
        const ConvertResult result = ConvertScene(*source, ConvertOptions{});
        EXPECT_TRUE(HasWarning(result, "node [Riser] is moved by animations [Lift] and #2 (unnamed): only the motion of [Lift]"));
        LoadedScene loaded(result.file);
        loaded.scene->Draw(33);
        ExpectPlaced(MeshNamed(*loaded.scene, "Riser"), Translation({0, 2, 0}), kAtKeys);
    }
    // The tool on a glTF export: --animation by name or place, and a name the file lacks.
    std::unique_ptr<aiScene> source(NewTwoAnimationScene());
    Assimp::Exporter exporter;
    ASSERT_EQ(exporter.Export(source.get(), "gltf2", Path("two.gltf")), AI_SUCCESS) << exporter.GetErrorString();
    const struct {
        std::vector<std::string> options;
        int status;
        unsigned frames;        // of the scene written
        bool riserMoves, spinnerMoves;
        const char* message;    // in the output
    } cases[] = {
        {{}, 0, 99, true, true, "99 frames"},
        {{"--animation", "Lift"}, 0, 66, true, false, "only animation [Lift] of 2 is converted; these keep their rest pose: [Spinner]"},
        {{"--animation", "#2"}, 0, 99, false, true, "these keep their rest pose: [Riser]"},
        {{"--animation", "Jump"}, 1, 0, false, false, "no animation named [Jump]; the file has:\n - [Lift]\n - "},
        {{"--animation"}, 2, 0, false, false, "usage: mdlconvert"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        fs::remove(root_ / "two.mdl");
        std::vector<std::string> arguments = c.options;
        arguments.insert(arguments.end(), {Path("two.gltf"), Path("two.mdl")});
        std::string output;
        ASSERT_EQ(Run(arguments, output), c.status) << output;
        EXPECT_NE(output.find(c.message), std::string::npos) << output;
        if (c.status != 0) {
            EXPECT_FALSE(fs::exists(root_ / "two.mdl"));
            continue;
        }
        const MdlFile file = ReadBack(Path("two.mdl"));
        EXPECT_EQ(file.frameCount, c.frames);
        bool riser = false, spinner = false;
        for (const MdlTrackRecord& track : file.tracks) {
            riser = riser || track.name == "Riser";
            spinner = spinner || track.name == "Spinner";
        }
        EXPECT_EQ(riser, c.riserMoves);
        EXPECT_EQ(spinner, c.spinnerMoves);
    }
}

TEST_F(MdlConvertTest, UriEscapesAreDecoded)
{
    const std::pair<const char*, const char*> cases[] = {
        {"Duck%20Texture.png", "Duck Texture.png"},
        {"%41%62c.jpg", "Abc.jpg"},
        {"maps%2Fstone.png", "maps/stone.png"},
        {"100%", "100%"},
        {"50%.png", "50%.png"},
        {"%zz.png", "%zz.png"},
        {"end%2", "end%2"},
        {"plain.png", "plain.png"},
    };
    for (const auto& [uri, name] : cases)
        EXPECT_EQ(DecodeUri(uri), name) << uri;
}

namespace {

// A quad of edge 2 in the plane z = -8 facing +z, with material.
aiMesh* NewFacingQuad(unsigned material)
{
    aiMesh* mesh = NewMesh({{-1, -1, -8}, {1, -1, -8}, {1, 1, -8}, {-1, 1, -8}}, {{0, 1, 2}, {0, 2, 3}}, material);
    for (unsigned i = 0; i < 4; ++i)
        mesh->mNormals[i] = aiVector3D(0, 0, 1);
    return mesh;
}

aiMaterial* NewMaterial(const char* name, const char* texture, bool twoSided)
{
    aiMaterial* material = new aiMaterial;
    const aiString materialName(name);
    material->AddProperty(&materialName, AI_MATKEY_NAME);
    if (texture) {
        const aiString path(texture);
        material->AddProperty(&path, AI_MATKEY_TEXTURE_DIFFUSE(0));
    }
    const int sides = twoSided ? 1 : 0;
    material->AddProperty(&sides, 1, AI_MATKEY_TWOSIDED);
    return material;
}

aiTexture* NewEmbeddedImage(const std::string& bytes, const char* hint)
{
    aiTexture* texture = new aiTexture;
    texture->mWidth = static_cast<unsigned>(bytes.size());
    texture->mHeight = 0;
    std::snprintf(texture->achFormatHint, sizeof texture->achFormatHint, "%s", hint);
    texture->pcData = reinterpret_cast<aiTexel*>(new uint8_t[bytes.size()]);
    std::copy(bytes.begin(), bytes.end(), reinterpret_cast<uint8_t*>(texture->pcData));
    return texture;
}

// Quads on materials (one node each, named like its material's first word).
aiScene* NewMaterialScene(std::vector<aiMaterial*> materials, const std::vector<const char*>& nodes)
{
    aiScene* scene = new aiScene;
    scene->mRootNode = new aiNode("Root");
    scene->mNumMaterials = static_cast<unsigned>(materials.size());
    scene->mMaterials = new aiMaterial*[materials.size()];
    std::copy(materials.begin(), materials.end(), scene->mMaterials);
    std::vector<aiMesh*> meshes;
    for (unsigned i = 0; i < nodes.size(); ++i)
        meshes.push_back(NewFacingQuad(i));
    SetMeshes(*scene, meshes);
    for (unsigned i = 0; i < nodes.size(); ++i)
        NewNode(scene->mRootNode, nodes[i], aiMatrix4x4(), {i});
    return scene;
}

const MdlMaterialRecord* MaterialNamed(const MdlFile& file, const std::string& name)
{
    for (const MdlMaterialRecord& material : file.materials)
        if (material.name == name)
            return &material;
    return nullptr;
}

}  // namespace

TEST_F(MdlConvertTest, TextureFilesAreNamedDecodedAndMissingOnesAreWarnedPerMaterial)
{
    std::unique_ptr<aiScene> source(NewMaterialScene(
        {NewMaterial("Duck", "Duck%20Texture.png", false), NewMaterial("Ghost", "gone%20away.png", false)},
        {"Duck", "Ghost"}));
    Assimp::Exporter exporter;
    ASSERT_EQ(exporter.Export(source.get(), "gltf2", Path("duck.gltf")), AI_SUCCESS) << exporter.GetErrorString();
    Write("Duck Texture.png", EncodePng(2, 2, SolidRgb(2, 2, 200, 180, 0)));
    std::string output;
    ASSERT_EQ(Run({Path("duck.gltf"), Path("duck.mdl")}, output), 0) << output;
    const MdlFile file = ReadBack(Path("duck.mdl"));
    ASSERT_TRUE(MaterialNamed(file, "Duck") && MaterialNamed(file, "Ghost")) << output;
    EXPECT_EQ(MaterialNamed(file, "Duck")->textures, std::vector<std::string>{"Duck Texture.png"});
    EXPECT_EQ(MaterialNamed(file, "Ghost")->textures, std::vector<std::string>{"gone away.png"});
    EXPECT_NE(output.find("warning: material [Ghost]: texture [gone away.png] is not beside the source file"),
              std::string::npos)
        << output;
    EXPECT_EQ(output.find("[Duck Texture.png] is not beside"), std::string::npos) << output;
}

TEST_F(MdlConvertTest, ImagesHeldInTheSceneFileAreWrittenBesideTheOutputAndPlay)
{
    const std::string png = EncodePng(4, 4, SolidRgb(4, 4, 10, 200, 30));
    std::vector<uint8_t> grey(16, 128);
    const std::string jpeg = EncodeJpeg(4, 4, 1, grey);
    for (const char* format : {"glb2", "gltf2"}) {  // bytes in the binary chunk; a data URI
        SCOPED_TRACE(format);
        const fs::path folder = root_ / format;
        fs::create_directories(folder / "out");
        std::unique_ptr<aiScene> source(NewMaterialScene(
            {NewMaterial("Skin", "*0", false), NewMaterial("Alphabet soup", "*1", false),
             NewMaterial("Skin2", "*0", false)},
            {"Body", "Bowl", "Arm"}));
        source->mNumTextures = 2;
        source->mTextures = new aiTexture*[2]{NewEmbeddedImage(png, "png"), NewEmbeddedImage(jpeg, "jpg")};
        const std::string input = (folder / (std::string(format) == "glb2" ? "scene.glb" : "scene.gltf")).string();
        Assimp::Exporter exporter;
        ASSERT_EQ(exporter.Export(source.get(), format, input), AI_SUCCESS) << exporter.GetErrorString();
        std::string output;
        ASSERT_EQ(Run({input, (folder / "out" / "hall.mdl").string()}, output), 0) << output;
        EXPECT_EQ(output.find("warning"), std::string::npos) << output;
        const MdlFile file = ReadBack((folder / "out" / "hall.mdl").string());
        const struct {
            const char* material;
            const char* image;  // the output's stem, the material's name, as the player reads it
            const std::string& bytes;
        } expected[] = {{"Skin", "hall_Skin.png", png},
                        {"Alphabet soup", "hall_alfabet_soup.jpg", jpeg},
                        {"Skin2", "hall_Skin.png", png}};
        for (const auto& e : expected) {
            const MdlMaterialRecord* material = MaterialNamed(file, e.material);
            ASSERT_NE(material, nullptr) << e.material;
            EXPECT_EQ(material->textures, std::vector<std::string>{e.image}) << "one image written once";
            EXPECT_EQ(ReadFileBytes(folder / "out" / e.image), e.bytes) << "as stored";
        }
        // The player's check finds and loads them.
        const PlayerRun check = RunProcess(MDLTOOL_EXE, {"check", "hall.mdl"}, (folder / "out").string(), {}, 60.0);
        EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
        EXPECT_NE(check.out.find("Loaded [ hall_alfabet_soup.jpg ] map."), std::string::npos) << check.out;
    }
    // An image the player cannot read is left out, said once although asked for as the
    // colour and as the base colour texture.
    std::unique_ptr<aiScene> source(NewMaterialScene({NewMaterial("Tile", "*0", false)}, {"Floor"}));
    const aiString path("*0");
    source->mMaterials[0]->AddProperty(&path, _AI_MATKEY_TEXTURE_BASE, aiTextureType_BASE_COLOR, 0);
    source->mNumTextures = 1;
    source->mTextures = new aiTexture*[1]{NewEmbeddedImage("GIF89a\x01\x00\x01\x00", "gif")};
    ConvertResult result = ConvertScene(*source, ConvertOptions{});
    EXPECT_TRUE(result.images.empty());
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_NE(result.warnings[0].find("material [Tile]: an image held inside the scene file is neither PNG nor JPEG"),
              std::string::npos)
        << result.warnings[0];
    // An opacity map held inside is written with "alpha" in its name, which the player's
    // rule needs to load it as the colour texture's alpha.
    source.reset(NewMaterialScene({NewMaterial("Leaf", "*0", false)}, {"Twig"}));
    const aiString mask("*1");
    source->mMaterials[0]->AddProperty(&mask, AI_MATKEY_TEXTURE_OPACITY(0));
    source->mNumTextures = 2;
    source->mTextures = new aiTexture*[2]{NewEmbeddedImage(png, "png"), NewEmbeddedImage(jpeg, "jpg")};
    result = ConvertScene(*source, ConvertOptions{});
    ASSERT_EQ(result.file.materials.size(), 1u);
    EXPECT_EQ(result.file.materials[0].textures, (std::vector<std::string>{"Leaf.png", "Leaf_alpha.jpg"}));
    ASSERT_EQ(result.images.size(), 2u);
    EXPECT_EQ(std::string(result.images[1].bytes.begin(), result.images[1].bytes.end()), jpeg);
}

TEST_F(MdlConvertTest, DoubleSidedMaterialsShowTheirMeshesFromBothSides)
{
    const struct {
        const char* light;  // none, or a light of the scene
        const char* names[3];
        bool noCull[3];
        size_t faces[3];  // doubled: a turned copy of each face, lit from its own side
    } cases[] = {
        {nullptr, {"Banner.NoCull", "Wall", "Leaf.nocull"}, {true, false, true}, {2, 2, 2}},
        {"Lamp", {"Banner", "Wall", "Leaf.nocull"}, {false, false, true}, {4, 2, 2}},
        {"Glow.Halo", {"Banner.NoCull", "Wall", "Leaf.nocull"}, {true, false, true}, {2, 2, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.light ? c.light : "no light");
        std::unique_ptr<aiScene> source(NewMaterialScene(
            {NewMaterial("Cloth", nullptr, true), NewMaterial("Brick", nullptr, false), NewMaterial("Leaves", nullptr, true)},
            {"Banner", "Wall", "Leaf.nocull"}));
        if (c.light) {
            source->mNumLights = 1;
            source->mLights = new aiLight*[1]{NewLight(c.light, {1, 1, 1})};
        }
        const ConvertResult result = ConvertScene(*source, ConvertOptions{});
        LoadedScene loaded(result.file);
        ASSERT_EQ(loaded.scene->GetMeshes().size(), 3u);
        for (int i = 0; i < 3; ++i) {
            const Mesh& mesh = MeshNamed(*loaded.scene, c.names[i]);
            EXPECT_EQ((mesh.flags & kFlagNoCull) != 0, c.noCull[i]) << c.names[i];
            EXPECT_EQ(mesh.faces.size(), c.faces[i]) << c.names[i];
        }
    }
    // Too large to double in a lit scene: drawn from both sides unlit (black from behind otherwise).
    std::unique_ptr<aiScene> source(NewScene());
    SetMeshes(*source, {NewSeparateTriangles(33000)});
    const int twoSided = 1;
    source->mMaterials[0]->AddProperty(&twoSided, 1, AI_MATKEY_TWOSIDED);
    NewNode(source->mRootNode, "Sail", aiMatrix4x4(), {0});
    source->mNumLights = 1;
    source->mLights = new aiLight*[1]{NewLight("Lamp", {1, 1, 1})};
    const ConvertResult result = ConvertScene(*source, ConvertOptions{});
    ASSERT_EQ(result.file.meshes.size(), 1u);
    EXPECT_EQ(result.file.meshes[0].name, "Sail.NoCull.NoDynaLight");
    EXPECT_EQ(result.file.meshes[0].vertices.size(), 33000u);
    EXPECT_TRUE(HasWarning(result, "is double-sided and too large to be given back faces"));
}

TEST_F(MdlConvertTest, ConvertedCamerasProjectEveryPointWhereTheSourceCameraDoes)
{
    std::unique_ptr<aiScene> scene(NewScene());
    // A camera at (1, 2, 6) turned 0.3 rad about y, 1.2 rad across, 4:3.
    const aiMatrix4x4 placement = Translation({1, 2, 6}) * Rotation({0, 1, 0}, 0.3f);
    NewNode(scene->mRootNode, "Cam", placement);
    scene->mNumCameras = 1;
    scene->mCameras = new aiCamera*[1]{NewCamera("Cam", 1.2f, 4.0f / 3.0f)};
    const ConvertResult result = ConvertScene(*scene, ConvertOptions{});
    LoadedScene loaded(result.file);
    loaded.scene->SelectCamera("Cam");
    loaded.scene->Draw(0);
    const Matrix4 viewProjection = loaded.device.GetView() * loaded.device.GetProjection();
    // The source's pinhole: in the camera's frame (looking down -z) a point at depth d lands
    // at x / (d tan 0.6) across and y / (d tan 0.6 / (4/3)) up.
    aiMatrix4x4 toCamera = placement;
    toCamera.Inverse();
    const float across = std::tan(0.6f), up = across * 0.75f;
    const aiVector3D inCamera[] = {{0.5f, 0.2f, -1.5f}, {-1, 0.5f, -3}, {2, -1, -6}, {-4, 3, -20}, {10, 5, -80}};
    for (const aiVector3D& c : inCamera) {
        SCOPED_TRACE(testing::Message() << "depth " << -c.z);
        const aiVector3D world = placement * c;
        const Vector4 q = TransformPoint(viewProjection, Mirror(world));
        ASSERT_GT(q.w, 0.0f);
        EXPECT_NEAR(q.x / q.w, c.x / (-c.z * across), 1e-3f);
        EXPECT_NEAR(q.y / q.w, c.y / (-c.z * up), 1e-3f);
        const aiVector3D back = toCamera * world;
        EXPECT_NEAR(back.z, c.z, 1e-4f) << "the source's own matrix gives the point back";
    }
}

TEST_F(MdlConvertTest, LightsWithoutARoleLightTheSceneAsBrightlyAsTheSource)
{
    // One quad at z = -8 (source): the scene's centre, its radius sqrt 2.
    auto build = []() {
        aiScene* scene = NewMaterialScene({NewMaterial("Paint", nullptr, false)}, {"Board"});
        NewNode(scene->mRootNode, "Lamp", Translation({0, 0, -4}));
        NewNode(scene->mRootNode, "Sun", Rotation({1, 0, 0}, -kPi / 2));
        NewNode(scene->mRootNode, "Glow.Halo.m\"glow.png\"", Translation({0, 1, -8}));
        NewNode(scene->mRootNode, "Fill", aiMatrix4x4());
        NewNode(scene->mRootNode, "Bulb", Translation({0, 0, -8}));
        aiLight* lamp = NewLight("Lamp", {16, 8, 4});  // 4 units from the centre
        lamp->mAttenuationConstant = lamp->mAttenuationLinear = 0;
        lamp->mAttenuationQuadratic = 1;
        aiLight* sun = NewLight("Sun", {0.5f, 0.5f, 0.5f});
        sun->mType = aiLightSource_DIRECTIONAL;
        sun->mDirection = aiVector3D(0, 0, -1);  // turned to shine straight down
        aiLight* fill = NewLight("Fill", {1, 1, 1});
        fill->mType = aiLightSource_AMBIENT;
        aiLight* bulb = NewLight("Bulb", {2, 2, 2});  // amid the meshes
        bulb->mAttenuationConstant = bulb->mAttenuationLinear = 0;
        bulb->mAttenuationQuadratic = 1;
        scene->mNumLights = 5;
        scene->mLights = new aiLight*[5]{lamp, sun, NewLight("Glow.Halo.m\"glow.png\"", {2, 2, 1}), fill, bulb};
        return scene;
    };
    const float sunDistance = 10 * std::sqrt(2.0f);
    const struct {
        bool keepNames;
        const char* name;
        Vector3 position, colour;
        float range;
    } cases[] = {
        // 16 / 4^2 = 1 at the centre; the player gives colour / (0.01 * 4) there.
        {false, "Lamp.Dyna", {0, 0, 4}, {0.04f, 0.02f, 0.01f}, 1},
        // Far above against its downward direction; 0.5 at distance 10 sqrt 2.
        {false, "Sun.Dyna", {0, sunDistance, 8}, {0.005f * sunDistance, 0.005f * sunDistance, 0.005f * sunDistance}, 1},
        {false, "Glow.Halo.m\"glow.png\"", {0, 1, 8}, {1, 1, 0.5f}, 1},
        // At the centre: matched at half the radius, sqrt 2 / 2, where 2 / 0.5 is capped at 1.
        {false, "Bulb.Dyna", {0, 0, 8}, {0.01f / std::sqrt(2.0f), 0.01f / std::sqrt(2.0f), 0.01f / std::sqrt(2.0f)}, 1},
        {false, "Fill", {0, 0, 0}, {1, 1, 1}, 1},
        {true, "Lamp", {0, 0, 4}, {1, 0.5f, 0.25f}, 1},
        {true, "Sun", {0, 0, 0}, {0.5f, 0.5f, 0.5f}, 1},  // where its node is, as before
    };
    for (bool keepNames : {false, true}) {
        std::unique_ptr<aiScene> scene(build());
        ConvertOptions options;
        options.keepLightNames = keepNames;
        const ConvertResult result = ConvertScene(*scene, options);
        EXPECT_EQ(HasWarning(result, "light [Fill] is an ambient light"), !keepNames);
        for (const auto& c : cases) {
            if (c.keepNames != keepNames)
                continue;
            SCOPED_TRACE(c.name);
            const MdlLightRecord* light = nullptr;
            for (const MdlLightRecord& l : result.file.lights)
                light = l.name == c.name ? &l : light;
            ASSERT_NE(light, nullptr);
            EXPECT_LT(Distance(light->position, c.position), 1e-4f);
            EXPECT_LT(Distance(light->color, c.colour), 1e-5f);
            EXPECT_FLOAT_EQ(light->range, c.range);
        }
        LoadedScene loaded(result.file, {{"glow.png", EncodePng(2, 2, SolidRgb(2, 2, 255, 255, 255))}});
        size_t dynamic = 0;
        for (SceneLight* light : loaded.scene->GetLights())
            dynamic += light->isDynamic ? 1 : 0;
        EXPECT_EQ(dynamic, keepNames ? 0u : 3u);
    }
    // A light far from a large scene reaches all of it: 800 units per unit of range.
    std::unique_ptr<aiScene> far(build());
    far->mRootNode->mChildren[1]->mTransformation = Translation({0, 0, 1000});
    const ConvertResult result = ConvertScene(*far, ConvertOptions{});
    EXPECT_NEAR(result.file.lights[0].range, 1.5f * (1008 + std::sqrt(2.0f)) / 800, 1e-3f);
}
#endif
