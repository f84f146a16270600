// Tests of the MDL reader: round trips through the writer, truncation, absurd counts, version and extension rules.
#include <gtest/gtest.h>
#include <algorithm>
#include <cmath>
#include "SceneTestKit.h"
#include "engine/scene/MdlFile.h"
#include "support/AllocationProbe.h"
#include "support/TestImages.h"

namespace {

// A small scene touching every section and every key list.
MdlFile SmallScene()
{
    MdlFile file;
    file.frameCount = 700;
    file.cameras.push_back({"Camera01", {1, 2, 3}, {4, 5, 6}, 0.785398f, 0.25f});
    file.lights.push_back({"Omni01.Halo.mFlare.png", {7, 8, 9}, {0.5f, 0.25f, 1}, 2.0f});
    MdlMeshRecord mesh = MakeQuadMesh("Quad01", "Wood", 2.0f, {1, 1, 1});
    mesh.vertices[1].color = 0x123456;
    mesh.children = {"Child"};
    file.meshes.push_back(mesh);
    file.markers.push_back({"Marker01", 0xDEADBEEF, {3, 2, 1}});
    MdlMaterialRecord material = MakeMaterial("Wood", {"C:\\maps\\wood.jpg", "woodalpha.png"});
    material.colors[1] = {0.1f, 0.2f, 0.3f};
    material.flag = 1;
    material.mode = 2;
    file.materials.push_back(material);
    MdlTrackRecord track = MakePositionTrack("Quad01", {{0, {0, 0, 0}}, {10, {1, 0, 0}}});
    track.roll = {{0, 0.5f}};
    track.fieldOfView = {{0, 0.7f}, {10, 0.8f}};
    track.rotation = {{0, {0, 0, 1}, 0.0f, 25.0f, 25.0f}};
    track.scale = {{5, {2, 2, 2}}};
    file.tracks.push_back(track);
    return file;
}

std::vector<uint8_t> SmallBytes()
{
    return WriteMdl(SmallScene());
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

const char* const kInvalid = "File [t.mdl] is not a valid MDL file.";

}  // namespace

TEST(MdlReaderTest, WriterOutputReadsBackFieldForField)
{
    const MdlFile in = SmallScene();
    const MdlFile out = ReadMdl(WriteMdl(in), "t.mdl");
    EXPECT_EQ(out.frameCount, 700u);
    ASSERT_EQ(out.cameras.size(), 1u);
    EXPECT_EQ(out.cameras[0].name, "Camera01");
    EXPECT_FLOAT_EQ(out.cameras[0].target.z, 6.0f);
    EXPECT_FLOAT_EQ(out.cameras[0].roll, 0.25f);
    ASSERT_EQ(out.lights.size(), 1u);
    EXPECT_EQ(out.lights[0].name, "Omni01.Halo.mFlare.png");
    EXPECT_FLOAT_EQ(out.lights[0].color.y, 0.25f);
    EXPECT_FLOAT_EQ(out.lights[0].range, 2.0f);
    ASSERT_EQ(out.meshes.size(), 1u);
    const MdlMeshRecord& mesh = out.meshes[0];
    EXPECT_EQ(mesh.material, "Wood");
    ASSERT_EQ(mesh.vertices.size(), 4u);
    EXPECT_EQ(mesh.vertices[1].color, 0x123456u);
    EXPECT_FLOAT_EQ(mesh.vertices[3].v, -1.0f);
    EXPECT_FLOAT_EQ(mesh.vertices[2].normal.z, -1.0f);
    ASSERT_EQ(mesh.faces.size(), 2u);
    EXPECT_EQ(mesh.faces[1].index[2], 3u);
    EXPECT_FLOAT_EQ(mesh.pivot.y, 1.0f);
    EXPECT_EQ(mesh.children, std::vector<std::string>{"Child"});
    ASSERT_EQ(out.markers.size(), 1u);
    EXPECT_EQ(out.markers[0].value, 0xDEADBEEFu);
    ASSERT_EQ(out.materials.size(), 1u);
    EXPECT_EQ(out.materials[0].textures, (std::vector<std::string>{"C:\\maps\\wood.jpg", "woodalpha.png"}));
    EXPECT_FLOAT_EQ(out.materials[0].colors[1].z, 0.3f);
    EXPECT_EQ(out.materials[0].flag, 1);
    EXPECT_EQ(out.materials[0].mode, 2u);
    ASSERT_EQ(out.tracks.size(), 1u);
    const MdlTrackRecord& track = out.tracks[0];
    EXPECT_EQ(track.position.size(), 2u);
    EXPECT_EQ(track.position[1].frame, 10);
    EXPECT_FLOAT_EQ(track.roll[0].value, 0.5f);
    EXPECT_FLOAT_EQ(track.fieldOfView[1].value, 0.8f);
    EXPECT_FLOAT_EQ(track.rotation[0].e2, 25.0f);
    EXPECT_EQ(track.scale[0].frame, 5);
    EXPECT_EQ(WriteMdl(out), WriteMdl(in));
}

TEST(MdlReaderTest, EveryTruncationPointIsAnInvalidFile)
{
    const std::vector<uint8_t> bytes = SmallBytes();
    // Cut before the last byte at every length; a cut inside the magic is a wrong magic,
    // which is the same message.
    for (size_t length = 0; length < bytes.size(); ++length) {
        const std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(length));
        EXPECT_EQ(FatalText([&] { ReadMdl(cut, "t.mdl"); }), kInvalid) << "length " << length;
    }
    EXPECT_EQ(FatalText([&] { ReadMdl(bytes, "t.mdl"); }), "");
}

TEST(MdlReaderTest, AbsurdCountsStopBeforeAnythingIsAllocatedForThem)
{
    const std::vector<uint8_t> good = SmallBytes();
    // Offsets of counts in the small scene: the seven header counts, then the mesh's
    // vertex and face counts and child count, the material's texture count, the track's five.
    const size_t meshAt = 33 + (1 + 8 + 24 + 8) + (1 + 22 + 28);
    const size_t vertexCountAt = meshAt + 1 + 6 + 1 + 4;
    const size_t faceCountAt = vertexCountAt + 4;
    const size_t childCountAt = faceCountAt + 4 + 4 * 24 + 2 * 24 + 4 * 12 + 12;
    const size_t markerAt = childCountAt + 4 + 1 + 5;
    const size_t textureCountAt = markerAt + (1 + 8 + 4 + 12) + 1 + 4;
    const size_t trackAt = textureCountAt + 4 + (1 + 16) + (1 + 13) + 36 + 1 + 4;
    ASSERT_EQ(good[trackAt], 6) << "the track's name length";
    std::vector<size_t> countOffsets = {5, 9, 13, 21, 25, 29, vertexCountAt, faceCountAt, childCountAt, textureCountAt};
    for (size_t k = 0; k < 5; ++k)
        countOffsets.push_back(trackAt + 1 + 6 + 4 * k);
    for (uint32_t absurd : {0x7FFFFFFFu, 0xFFFFFFFFu, 0x01000000u}) {
        for (size_t at : countOffsets) {
            std::vector<uint8_t> bytes = good;
            PutU32(bytes, at, absurd);
            AllocationProbe probe;
            const std::string text = FatalText([&] { ReadMdl(bytes, "t.mdl"); });
            EXPECT_TRUE(text == kInvalid || text.find("vertices; at most 65536") != std::string::npos)
                << "count at " << at << ": " << text;
            EXPECT_LT(probe.Largest(), 64u * 1024u) << "count at " << at << " = " << absurd;
        }
    }
}

TEST(MdlReaderTest, MagicAndVersionAreChecked)
{
    std::vector<uint8_t> bytes = WriteMdl(MdlFile{});
    bytes[3] = 3;
    bytes[4] = 0;
    EXPECT_EQ(FatalText([&] { ReadMdl(bytes, "t.mdl"); }),
              "Wrong MDL Version for file [t.mdl]\n (is 0.3, should be 3.0)");
    bytes = WriteMdl(MdlFile{});
    bytes[2] = 'X';
    EXPECT_EQ(FatalText([&] { ReadMdl(bytes, "t.mdl"); }), kInvalid);
}

TEST(MdlReaderTest, MeshesTheIndicesCannotDrawAreRefusedWithTheirNames)
{
    MdlFile file;
    file.meshes.push_back(MakeQuadMesh("Quad01", "", 1.0f, {}));
    file.meshes[0].faces[1].index[1] = 4;  // one past the four vertices
    EXPECT_EQ(FatalText([&] { ReadMdl(WriteMdl(file), "t.mdl"); }),
              "Face 1 of mesh [Quad01] in file [t.mdl] uses vertex 4 of 4.");

    MdlFile big;
    MdlMeshRecord mesh;
    mesh.name = "Big";
    mesh.vertices.resize(65537);
    big.meshes.push_back(mesh);
    EXPECT_EQ(FatalText([&] { ReadMdl(WriteMdl(big), "t.mdl"); }),
              "Mesh [Big] of file [t.mdl] has 65537 vertices; at most 65536 can be drawn.");
    big.meshes[0].vertices.resize(65536);
    EXPECT_EQ(ReadMdl(WriteMdl(big), "t.mdl").meshes[0].vertices.size(), 65536u);
}

TEST(MdlReaderTest, TextStopsAtAZeroByteAndLongNamesAreCut)
{
    MdlFile file;
    file.markers.push_back({std::string("Ab\0cd", 5), 1, {}});
    file.markers.push_back({std::string(300, 'x'), 2, {}});
    const MdlFile out = ReadMdl(WriteMdl(file), "t.mdl");
    EXPECT_EQ(out.markers[0].name, "Ab");
    EXPECT_EQ(out.markers[1].name, std::string(255, 'x'));
    EXPECT_EQ(out.markers[1].value, 2u);
}

TEST(MdlReaderTest, OnlyNamesEndingInMdlAreLoaded)
{
    MdlFile file;
    file.frameCount = 1400;
    const std::string bytes = MdlBytes(file);
    ScopedTestPak pak({{"a.mdl", bytes}, {"b.mdl", bytes}, {"c.txt", bytes}, {"d.mdl.bak", bytes}});
    RecordingDevice device;
    device.Open();
    for (const char* name : {"a.mdl", "b.MdL"}) {
        Scene scene(device);
        scene.Load(name);
        EXPECT_EQ(scene.GetFrameCount(), 1400u) << name;
    }
    LogCapture log;
    for (const char* name : {"c.txt", "d.mdl.bak", "missing.jpg", "noextension"}) {
        Scene scene(device);
        scene.Load(name);
        EXPECT_EQ(scene.GetFrameCount(), 0u) << name;
        EXPECT_TRUE(scene.GetObjects().empty());
    }
    EXPECT_TRUE(log.Lines().empty());
    Scene scene(device);
    EXPECT_EQ(FatalText([&] { scene.Load("missing.mdl"); }), "Unable to open MDL file [missing.mdl]");
}

TEST(MdlReaderTest, EmptySceneKeepsItsFrameCountAndLogsItsStatistics)
{
    MdlFile file;
    file.frameCount = 720;
    LogCapture log;
    LoadedScene loaded(file);
    EXPECT_EQ(loaded.scene->GetFrameCount(), 720u);
    EXPECT_TRUE(loaded.scene->GetObjects().empty());
    EXPECT_EQ(loaded.scene->GetCurrentCamera(), nullptr);
    const std::vector<std::string> expected = {"--------------------------", "Statistics :", "Meshes  : 0",
                                               "Cameras : 0", "Lights  : 0", "Total Faces     : 0",
                                               "Total Vertices  : 0"};
    const std::vector<std::string>& lines = log.Lines();
    const auto first = std::find(lines.begin(), lines.end(), expected[0]);
    EXPECT_EQ(std::vector<std::string>(first, lines.end()), expected);
}
