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
#include <sys/wait.h>
#include "engine/scene/ObjectFlags.h"
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
    for (size_t i = 0; i < 4; ++i)
        EXPECT_LT(Distance(Transformed(mesh.world, mesh.restVertices[i]), Mirror(expected * kCorners[i])), tolerance)
            << mesh.GetName() << " vertex " << i;
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
    int Run(const std::string& arguments, std::string& output)
    {
        const std::string command = std::string(MDLCONVERT_EXE) + " " + arguments + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe)
            return -1;
        output.clear();
        char buffer[4096];
        size_t n;
        while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
            output.append(buffer, n);
        const int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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

}  // namespace

TEST_F(MdlConvertTest, GltfRoundTripKeepsPositionsAndOrientationsOfAHierarchyAtSampledFrames)
{
    std::unique_ptr<aiScene> source(NewMovingScene());
    Assimp::Exporter exporter;
    ASSERT_EQ(exporter.Export(source.get(), "gltf2", Path("moving.gltf")), AI_SUCCESS) << exporter.GetErrorString();
    std::string output;
    ASSERT_EQ(Run(Path("moving.gltf") + " " + Path("moving.mdl"), output), 0) << output;
    EXPECT_NE(output.find("3 meshes"), std::string::npos) << output;

    const MdlFile file = ReadBack(Path("moving.mdl"));
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
    } samples[] = {{0, kAtKeys},        {10, kAtKeys},       {40, kAtKeys},       {90, kAtKeys},
                   {5, kBetweenKeys},   {33, kBetweenKeys},  {47.5f, kBetweenKeys}, {77, kBetweenKeys},
                   {98.5f, kBetweenKeys}};
    for (const Sample& sample : samples) {
        SCOPED_TRACE(testing::Message() << "frame " << sample.frame);
        loaded.scene->Draw(sample.frame);
        const double seconds = sample.frame / 33.0;
        ExpectPlaced(spinner, ExpectedGlobal("Spinner.NoCull", seconds), sample.tolerance);
        ExpectPlaced(arm, ExpectedGlobal("Arm", seconds), sample.tolerance);
        ExpectPlaced(still, ExpectedGlobal("Still", seconds), kAtKeys);
    }
}
#endif
