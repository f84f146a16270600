// Tests of the strict script check: each silent mistake is reported on its line; the files, scenes, cameras and objects.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>
#include "engine/core/File.h"
#include "engine/scene/TypeCatalog.h"
#include "script/ScriptChecker.h"
#include "support/MemoryArchive.h"
#include "support/SceneTestKit.h"

namespace {

// Lines joined with CR LF, as an author's editor saves them.
std::string Lines(std::initializer_list<const char*> lines)
{
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}

struct Checked {
    std::vector<CheckFinding> findings;
    Script script;
};

Checked CheckText(const std::string& text)
{
    RecordingDevice device;
    const TypeCatalog catalog(device);
    Checked checked;
    checked.findings = CheckScriptText(text, catalog, checked.script);
    return checked;
}

std::string Listing(const std::vector<CheckFinding>& findings)
{
    return FormatFindings("Script.txt", findings);
}

bool HasFinding(const std::vector<CheckFinding>& findings, int line, const std::string& part)
{
    for (const CheckFinding& finding : findings)
        if (finding.line == line && finding.text.find(part) != std::string::npos)
            return true;
    return false;
}

struct MistakeCase {
    const char* what;
    std::string script;
    int line;          // where the finding must stand
    const char* part;  // a phrase it must hold
};

}  // namespace

TEST(ScriptChecker, ReportsEverySilentMistakeOnItsLine)
{
    const MistakeCase cases[] = {
        {"minutes:seconds time", Lines({"TIME 0:12 {", "END;", "};"}), 1, "TIME [0:12] reads as 0 s"},
        {"time that is no number", Lines({"TIME soon {", "END;", "};"}), 1, "is not a number: the block plays at 0 s"},
        {"lower-case create", Lines({"TIME 1 {", "create \"Flash\" {", "StartTime 1;", "};", "CREATE \"Flash\" {", "};", "};"}),
         2, "[create] is not recognised: operations are upper case (CREATE)"},
        {"layers after it fall outside the block",
         Lines({"TIME 1 {", "create \"Flash\" {", "};", "CREATE \"Flash\" {", "};", "};"}), 4,
         "outside any TIME block"},
        {"missing close of a CREATE", Lines({"TIME 1 {", "CREATE \"Flash\" {", "StartTime 1;", "CREATE \"Flash\" {", "};", "};", "};"}),
         4, "is the \"};\" of the CREATE at line 2 missing?"},
        {"missing close of a block", Lines({"TIME 1 {", "CREATE \"Flash\" {", "};", "TIME 2 {", "END;", "};"}), 4,
         "TIME inside a TIME block is ignored"},
        {"block never closed", Lines({"TIME 1 {", "CREATE \"Flash\" {", "};"}), 1, "TIME 1 is never closed"},
        {"unquoted words", Lines({"TIME 1 {", "CREATE \"TextLayer\" {", "Text SUNSET CUBE;", "};", "};"}), 3,
         "only [SUNSET] of the value of Text is read; [CUBE] is ignored"},
        {"count in words", Lines({"TIME 1 {", "CREATE \"CerclesLayer\" {", "NBCercles eight;", "};", "};"}), 3,
         "NBCercles: [eight] is not a whole number"},
        {"decimal comma", Lines({"TIME 1 {", "CREATE \"GFXLayer\" {", "XScale 2,5;", "};", "};"}), 3,
         "XScale: [2,5] reads as 2 (the decimal separator is a point)"},
        {"octal by accident", Lines({"TIME 1 {", "CREATE \"CerclesLayer\" {", "NBCercles 010;", "};", "};"}), 3,
         "reads as 8 (a leading 0 means octal)"},
        {"flag in lower case", Lines({"TIME 1 {", "CREATE \"MDLPlayer\" {", "ShowBBoxes yes;", "};", "};"}), 3,
         "ShowBBoxes: [yes] reads as No"},
        {"header flag in lower case", Lines({"SHOWFPS yes;"}), 1, "SHOWFPS [yes] reads as off"},
        {"header keyword in lower case", Lines({"musicstream \"a.mp3\";"}), 1, "keywords are upper case (MUSICSTREAM)"},
        {"unknown operation", Lines({"TIME 1 {", "FROB 1;", "};"}), 2, "unknown operation [FROB]"},
        {"CREATE without brace", Lines({"TIME 1 {", "CREATE \"Flash\";", "};"}), 2, "CREATE without \"{\" on its line is ignored"},
        {"stray text outside blocks", Lines({"stray text here"}), 1, "unknown keyword [stray] outside a TIME block"},
        {"stray closing brace", Lines({"};"}), 1, "this \"}\" closes nothing"},
        {"END alone", Lines({"TIME 1 {", "END", "};"}), 2, "[END] is ignored: a keyword alone on its line"},
        {"negative StartTime", Lines({"TIME 1 {", "CREATE \"Flash\" {", "StartTime -2;", "};", "};"}), 3,
         "StartTime: a negative time"},
        {"negative LifeTime", Lines({"TIME 1 {", "CREATE \"WaterText\" {", "LifeTime -3;", "};", "};"}), 3,
         "LifeTime: a negative time (only -1, unlimited, is allowed)"},
        {"LifeTime of a fading layer", Lines({"TIME 1 {", "CREATE \"Flash\" {", "LifeTime 3;", "};", "};"}), 3,
         "LifeTime of a fading layer is replaced"},
        {"negative count", Lines({"TIME 1 {", "CREATE \"CerclesLayer\" {", "NBCercles -4;", "};", "};"}), 3,
         "a count cannot be negative"},
        {"type in the wrong case", Lines({"TIME 1 {", "CREATE \"GfxLayer\" {", "};", "};"}), 2,
         "unknown layer type [GfxLayer]: names are case-sensitive (GFXLayer)"},
        {"modifier as a layer", Lines({"TIME 1 {", "CREATE \"Smoke\" {", "};", "};"}), 2,
         "it is a scene modifier and belongs inside the CREATE of a scene player"},
        {"unknown modifier", Lines({"TIME 1 {", "CREATE \"MDLPlayer\" {", "CREATE \"Fog\" {", "};", "};", "};"}), 3,
         "unknown modifier [Fog]"},
        {"unknown parameter names the layer",
         Lines({"TIME 1 {", "CREATE \"TextLayer\" {", "NAME \"Title\";", "Colour 3;", "};", "};"}), 4,
         "unknown parameter [Colour] (layer TextLayer [Title])"},
        {"parameter in the wrong case", Lines({"TIME 1 {", "CREATE \"GFXLayer\" {", "xscale 2;", "};", "};"}), 3,
         "names are case-sensitive (XScale)"},
        {"NAME in lower case", Lines({"TIME 1 {", "CREATE \"GFXLayer\" {", "name \"A\";", "};", "};"}), 3,
         "the keyword is upper case (NAME)"},
        {"modifier parameter", Lines({"TIME 1 {", "CREATE \"MDLPlayer\" {", "CREATE \"Smoke\" {", "NBParticles 3;", "};", "};", "};"}),
         4, "unknown parameter [NBParticles] (modifier Smoke)"},
        {"UPDATE of a name never created", Lines({"TIME 1 {", "UPDATE \"Ghost\" {", "MOVE Top;", "};", "};"}), 2,
         "UPDATE of [Ghost], a name no CREATE gives"},
        {"DELETE of a name never created", Lines({"TIME 1 {", "DELETE \"Ghost\" {", "};", "};"}), 2,
         "DELETE of [Ghost], a name no CREATE gives (NAME) - it does nothing"},
        {"UPDATE before the CREATE",
         Lines({"TIME 1 {", "UPDATE \"Late\" {", "};", "};", "TIME 5 {", "CREATE \"Flash\" {", "NAME \"Late\";", "};", "};"}), 2,
         "before the CREATE that names it (at 5 s)"},
        {"UPDATE parameter unknown to the named layer's type",
         Lines({"TIME 1 {", "CREATE \"Flash\" {", "NAME \"F\";", "};", "};", "TIME 2 {", "UPDATE \"F\" {", "Texture \"a.jpg\";", "};", "};"}),
         8, "unknown parameter [Texture] (layer Flash [F])"},
        {"UPDATE in the preload block", Lines({"TIME -1 {", "UPDATE \"A\" {", "};", "};"}), 2, "(the preload block) is skipped"},
        {"MOVE with an unknown place",
         Lines({"TIME 1 {", "CREATE \"Flash\" {", "NAME \"F\";", "};", "};", "TIME 2 {", "UPDATE \"F\" {", "MOVE top;", "};", "};"}), 8,
         "does not move the layer"},
        {"closing brace after a keyword", Lines({"TIME 1 {", "CREATE \"Flash\" {", "StartTime 1; };", "};"}), 3,
         "does not close anything"},
        {"bare LF inside a block", "TIME 1 {\r\nCREATE \"Flash\" {\r\n};\r\n\nEND;\r\n};\r\n", 4,
         "an empty line without CR ends TIME 1 here"},
        {"LF line ends", "TIME 1 {\nEND;\n};\n", 1, "line(s) end with LF alone"},
    };
    for (const MistakeCase& c : cases) {
        const Checked checked = CheckText(c.script);
        EXPECT_TRUE(HasFinding(checked.findings, c.line, c.part))
            << c.what << ": expected line " << c.line << " to hold \"" << c.part << "\"; got:\n"
            << Listing(checked.findings);
    }
}

TEST(ScriptChecker, FindsNothingInACorrectScriptAndParsesItAsThePlayerDoes)
{
    const std::string text = Lines({
        "// A comment line",
        "MUSICSTREAM \"music.wav\";",
        "SHOWFPS \"No\";",
        "TIMESTRETCH \"Yes\";",
        "",
        "TIME -1 {",
        "\tDESC \"Preload\"; // a note",
        "\tCREATE \"GFXLayer\" {",
        "\t\tStartTime 0;",
        "\t\tRisingTime 1;",
        "\t\tTexture \"sky.jpg\";",
        "\t\tXScale 1.5f;",
        "\t\tAlphaType 0x1;",
        "\t};",
        "\tCREATE \"MDLPlayer\" {",
        "\t\tNAME \"Scene\";",
        "\t\tINSERT Bottom;",
        "\t\tLifeTime -1;",
        "\t\tCREATE \"Smoke\" {",
        "\t\t\tObjetName \"Vent\";",
        "\t\t};",
        "\t\t//};",
        "\t};",
        "};",
        "TIME 3 {",
        "\tUPDATE \"Scene\" {",
        "\t\tMOVE Top;",
        "\t\tRESTART Yes;",
        "\t\tNearPlane 2;",
        "\t};",
        "\tEND;",
        "};",
    });
    const Checked checked = CheckText(text);
    EXPECT_TRUE(checked.findings.empty()) << Listing(checked.findings);
    ASSERT_EQ(checked.script.blocks.size(), 2u);
    EXPECT_EQ(checked.script.musicFile, "music.wav");
    ASSERT_EQ(checked.script.blocks[0].operations.size(), 2u);
    EXPECT_EQ(checked.script.blocks[0].operations[1].children.size(), 1u);
}

TEST(ScriptChecker, NamesMissingFilesScenesCamerasAndObjectsWithWhoNeedsThem)
{
    // Only the archive's files exist: the folders are looked up below an empty one.
    const std::filesystem::path empty = std::filesystem::temp_directory_path() / "starfall-check-empty";
    std::filesystem::create_directories(empty);
    SetDataFolder(empty.string());
    struct Restore {
        ~Restore() { SetDataFolder(""); }
    } restore;
    MemoryArchive archive;
    RecordingDevice device;
    device.Open(640, 480, 32);
    MdlFile scene;
    AddTrackedCamera(scene, "Front", {0, 0, -10}, {0, 0, 0});
    AddTrackedCamera(scene, "Side", {10, 0, 0}, {0, 0, 0});
    scene.meshes.push_back(MakeQuadMesh("Lens", "", 1.0f, {0, 0, 0}));
    archive.Add("scene.mdl", MdlBytes(scene));
    archive.Add("sky.jpg", EncodeJpeg(8, 8, 3, std::vector<uint8_t>(8 * 8 * 3, 90), 90));
    archive.Add("broken.mdl", "not a scene");
    const std::string text = Lines({
        "LOADINGIMG \"wait.jpg\";",
        "TIME -1 {",
        "CREATE \"GFXLayer\" {",
        "Texture \"sky.jpg\";",
        "AlphaTexture \"sky_a.jpg\";",
        "};",
        "CREATE \"Flash\" {",
        "};",
        "CREATE \"MDLPlayer\" {",
        "NAME \"S\";",
        "MDLFile \"scene.mdl\";",
        "CurrentCamera \"Back\";",
        "CREATE \"GlowEffect\" {",
        "ObjetName \"Lense\";",
        "};",
        "CREATE \"GlowEffect\" {",
        "ObjetName \"Lens\";",
        "};",
        "};",
        "CREATE \"MDLPlayer\" {",
        "MDLFile \"broken.mdl\";",
        "};",
        "};",
    });
    const TypeCatalog catalog(device);
    Script script;
    std::vector<CheckFinding> findings = CheckScriptText(text, catalog, script);
    EXPECT_TRUE(findings.empty()) << Listing(findings);
    CheckScriptFiles(script, catalog, device, findings);
    const std::string listing = Listing(findings);
    EXPECT_TRUE(HasFinding(findings, 0, "missing file [font1.png], needed by the player")) << listing;
    EXPECT_TRUE(HasFinding(findings, 0, "missing file [wait.jpg], needed by LOADINGIMG")) << listing;
    EXPECT_TRUE(HasFinding(findings, 5, "missing file [sky_a.jpg], needed by AlphaTexture of layer GFXLayer")) << listing;
    EXPECT_TRUE(HasFinding(findings, 7, "missing file [white.jpg], needed by layer Flash")) << listing;
    EXPECT_TRUE(HasFinding(findings, 12, "CurrentCamera [Back] of layer MDLPlayer [S]: Could not find any camera named [Back]"))
        << listing;
    EXPECT_TRUE(HasFinding(findings, 12, "the scene's cameras: Front, Side")) << listing;
    EXPECT_TRUE(HasFinding(findings, 14, "ObjetName [Lense] of modifier GlowEffect of layer MDLPlayer [S]")) << listing;
    EXPECT_TRUE(HasFinding(findings, 14, "its objects: Lens")) << listing;
    EXPECT_FALSE(HasFinding(findings, 17, "ObjetName")) << listing;  // Lens is there
    EXPECT_FALSE(HasFinding(findings, 4, "sky.jpg")) << listing;     // present
    EXPECT_TRUE(HasFinding(findings, 21, "the scene [broken.mdl] of layer MDLPlayer does not load")) << listing;
}

TEST(ScriptChecker, FormatsFindingsByLineWithTheFileName)
{
    const std::string text = FormatFindings("Script.txt", {{12, "b"}, {0, "whole"}, {3, "a"}});
    EXPECT_EQ(text, "Script.txt: whole\nScript.txt:3: a\nScript.txt:12: b\n");
}
