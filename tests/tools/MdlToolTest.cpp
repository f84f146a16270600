// Tests of mdltool: the dump listing and the player-like check of scene files written with the MDL writer.
#include <gtest/gtest.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include "support/TestImages.h"
#include "tools/mdltool/MdlWriter.h"

namespace fs = std::filesystem;

namespace {

class MdlToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::path(STARFALL_TEST_OUTPUT_DIR) / "mdltool" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void Write(const std::string& name, const std::vector<uint8_t>& bytes)
    {
        std::ofstream(root_ / name, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                           static_cast<std::streamsize>(bytes.size()));
    }
    void Write(const std::string& name, const std::string& text) { std::ofstream(root_ / name, std::ios::binary) << text; }
    // Runs the tool in the test's folder; returns its exit status, output in output.
    int Run(const std::string& arguments, std::string& output)
    {
        const std::string command = "cd '" + root_.string() + "' && " + MDLTOOL_EXE + " " + arguments + " 2>&1";
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

    // A scene using every listed feature.
    static MdlFile Showcase()
    {
        MdlFile file;
        file.frameCount = 700;
        file.cameras.push_back({"Camera01", {0, 0, -10}, {}, 0.785398f, 0});
        file.tracks.push_back(MakePositionTrack("Camera01", {{0, {0, 0, -10}}, {700, {0, 0, -12}}}));
        file.tracks.push_back(MakePositionTrack("Camera01.Target", {{0, {}}, {700, {}}}));
        file.lights = {{"Omni01.Halo.m\"glow.png\"", {1, 2, 3}, {1, 1, 1}, 2},
                       {"Omni02.Fog.s60.e100.d10", {}, {0.44f, 0.77f, 0.83f}, 0},
                       {"Jet.ParticleGenSrc.c12.m\"dot.png\"", {}, {}, 1},
                       {"Jet.ParticleGenDest", {0, 5, 0}, {}, 1}};
        file.meshes.push_back(MakeQuadMesh("Floor.NoCull", "Wood", 4, {}));
        file.meshes.push_back(MakeQuadMesh("Blob.MorphSrc.f0", "", 1, {}));
        file.meshes.push_back(MakeQuadMesh("Blob.MorphDest.f30.e60.c0", "", 1, {}));
        file.meshes[0].children = {"Blob.MorphSrc.f0"};
        file.materials.push_back({"Wood", {"C:\\maps\\wood.png", "C:\\maps\\woodalpha.png"}, {}, 0, 2});
        file.materials.push_back({"Spare", {}, {}, 0, 0});
        return file;
    }
    void WriteImages()
    {
        const std::string png = EncodePng(2, 2, SolidRgb(2, 2, 9, 9, 9));
        for (const char* name : {"wood.png", "woodalpha.png", "glow.png", "dot.png"})
            Write(name, png);
    }

    fs::path root_;
};

bool Has(const std::string& output, const std::string& line)
{
    return output.find(line) != std::string::npos;
}

}  // namespace

TEST_F(MdlToolTest, DumpListsRecordsAndWhatTheirNamesMean)
{
    Write("scene.mdl", WriteMdl(Showcase()));
    std::string out;
    ASSERT_EQ(Run("dump scene.mdl", out), 0) << out;
    for (const char* line : {
             "File scene.mdl: MDL version 3.0, 700 frames",
             "meshes 3, materials 2, tracks 2, cameras 1, lights 4, markers 0",
             "Floor.NoCull  material \"Wood\"  4 vertices, 2 faces, pivot (0, 0, 0)  flags Visible|NoCull, static",
             "children: Blob.MorphSrc.f0",
             "Blob.MorphSrc.f0  material \"\"  4 vertices, 2 faces, pivot (0, 0, 0)  flags Normals|Visible|MorphSrc, "
             "drawn from memory",
             "flags MorphDest, drawn from memory",
             "texture C:\\maps\\woodalpha.png  (alpha of the one before)",
             "Spare  flag 0  mode 0",
             "(unused: removed at loading)",
             "Camera01  position 2 [0..700], roll 0, fov 0, rotation 0, scale 0",
             "c 0  Blob.MorphDest.f30.e60.c0  from 30  to 60  4 vertices",
             "omni01.halo.m\"glow.png\"  texture glow.png",
             "jet.particlegensrc.c12.m\"dot.png\" -> jet.particlegendest  12 particles, texture dot.png",
             "omni02.fog.s60.e100.d10  linear from 60 to 100, density 10, colour (0.44, 0.77, 0.83)",
         })
        EXPECT_TRUE(Has(out, line)) << "missing: " << line << "\n" << out;
}

TEST_F(MdlToolTest, DumpReadsFogMarkersAsThePlayerDoes)
{
    // The ".d" of ".dyna" holds no number: the density is the later ".d2", as a player sets it.
    MdlFile file;
    file.frameCount = 10;
    file.lights = {{"Spot.Dyna.Fog.s5.e9.d2", {}, {1, 0, 0}, 0}, {"Omni.Fog.d7.s\"1.5\"", {}, {0, 1, 0}, 0}};
    Write("fog.mdl", WriteMdl(file));
    std::string out;
    ASSERT_EQ(Run("dump fog.mdl", out), 0) << out;
    for (const char* line : {"spot.dyna.fog.s5.e9.d2  linear from 5 to 9, density 2, colour (1, 0, 0)",
                             "omni.fog.d7.s\"1.5\"  linear from 1.5 to 0, density 7, colour (0, 1, 0)"})
        EXPECT_TRUE(Has(out, line)) << "missing: " << line << "\n" << out;
}

TEST_F(MdlToolTest, CheckLoadsLikeAPlayerAndPrintsTheLog)
{
    Write("scene.mdl", WriteMdl(Showcase()));
    WriteImages();
    std::string out;
    ASSERT_EQ(Run("check scene.mdl camera01", out), 0) << out;
    for (const char* line : {"*** Warning !!! Removing unused material [Spare] !! ***", "Statistics :",
                             "Meshes  : 3", "Cameras : 1", "Lights  : 4", "Total Faces     : 6",
                             "Total Vertices  : 12", "OK: 3 meshes"})
        EXPECT_TRUE(Has(out, line)) << "missing: " << line << "\n" << out;
}

TEST_F(MdlToolTest, CheckReportsTexturesAtThePlayersSizeAndOnlyNamedCacheHits)
{
    MdlFile file;
    file.frameCount = 10;
    file.meshes.push_back(MakeQuadMesh("A", "Big", 1, {}));
    file.meshes.push_back(MakeQuadMesh("B", "Again", 1, {}));
    file.materials.push_back({"Big", {"big.png"}, {}, 0, 2});
    file.materials.push_back({"Again", {"big.png"}, {}, 0, 2});
    Write("scene.mdl", WriteMdl(file));
    Write("big.png", EncodePng(512, 512, SolidRgb(512, 512, 1, 2, 3)));
    std::string out;
    ASSERT_EQ(Run("check scene.mdl", out), 0) << out;
    EXPECT_TRUE(Has(out, "Loaded [ big.png ] map. (512x512x32)")) << out;
    EXPECT_TRUE(Has(out, "Cached [ big.png ] map.")) << out;
    EXPECT_FALSE(Has(out, "Cached [  ] map.")) << "no alpha image, nothing to name\n" << out;
}

TEST_F(MdlToolTest, CheckFailsWithTheFatalMessage)
{
    struct Case {
        std::string arguments;
        std::string message;
    };
    MdlFile file = Showcase();
    Write("scene.mdl", WriteMdl(file));
    std::vector<uint8_t> cut = WriteMdl(file);
    cut.resize(cut.size() / 2);
    Write("cut.mdl", cut);
    file.meshes[1].name = "Blob.MorphSrc";
    Write("morph.mdl", WriteMdl(file));
    WriteImages();
    const Case cases[] = {
        {"check cut.mdl", "Error: File [cut.mdl] is not a valid MDL file."},
        {"dump cut.mdl", "Error: File [cut.mdl] is not a valid MDL file."},
        {"check missing.mdl", "Error: Unable to open MDL file [missing.mdl]"},
        {"check morph.mdl", "Error: Error : Could not find start frame for Morph object [Blob.MorphSrc]."},
        {"check scene.mdl Camera09", "Error: Could not find any camera named [Camera09]"},
        {"check scene.txt", "does not end in .mdl"},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(Run(c.arguments, out), 1) << c.arguments << "\n" << out;
        EXPECT_TRUE(Has(out, c.message)) << c.arguments << "\n" << out;
    }
    fs::remove(root_ / "glow.png");
    std::string out;
    EXPECT_EQ(Run("check scene.mdl", out), 1) << out;
    EXPECT_TRUE(Has(out, "glow.png")) << out;
    EXPECT_EQ(Run("frobnicate scene.mdl", out), 2);
}
