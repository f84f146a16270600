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

void SetAnimation(aiScene& scene, double seconds, std::vector<aiNodeAnim*> channels)
{
    aiAnimation* animation = new aiAnimation;
    animation->mName = "Take";
    animation->mDuration = seconds;
    animation->mTicksPerSecond = 1.0;
    animation->mNumChannels = static_cast<unsigned>(channels.size());
    animation->mChannels = new aiNodeAnim*[channels.size()];
    std::copy(channels.begin(), channels.end(), animation->mChannels);
    scene.mNumAnimations = 1;
    scene.mAnimations = new aiAnimation*[1]{animation};
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
             // Distinct vertices in separate triangles: nothing the importer could merge.
             std::vector<aiVector3D> positions;
             std::vector<std::array<unsigned, 3>> faces;
             for (unsigned i = 0; i < 66000; i += 3) {
                 const float x = static_cast<float>(i);
                 positions.insert(positions.end(), {{x, 0, 0}, {x + 1, 0, 0}, {x, 1, 0}});
                 faces.push_back({i, i + 1, i + 2});
             }
             SetMeshes(scene, {NewMesh(positions, faces)});
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
#endif
