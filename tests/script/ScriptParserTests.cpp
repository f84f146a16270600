// Tests of the script parser: line ends, the keyword/value split, bodies and closing lines, sorting.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <unistd.h>
#include "engine/core/Fatal.h"
#include "script/ScriptParser.h"

namespace {

Script Parse(const std::string& text) {
    Script script;
    ParseScriptText(text, script);
    return script;
}

struct SplitCase {
    const char* line;
    bool ok;
    const char* keyword;
    const char* value;
};

}  // namespace

TEST(ScriptParser, SplitsKeywordAndValueByTheScriptRules) {
    const SplitCase cases[] = {
        {"Text \"my mind is already outer space.\";", true, "Text", "my mind is already outer space."},
        {"CREATE \"ParasitesLayer\"{", true, "CREATE", "ParasitesLayer"},
        {"StartTime 80", true, "StartTime", "80"},
        {"AmplitudeX 0.5f;", true, "AmplitudeX", "0.5f"},
        {"\t  MDLFile \"data\\Sol.mdl\";", true, "MDLFile", "data\\Sol.mdl"},
        {"CREATE MetaballLayer {", true, "CREATE", "MetaballLayer"},
        {"CREATE \"MDLPlayer\"{", true, "CREATE", "MDLPlayer"},
        {"TIME -1 {", true, "TIME", "-1"},
        {"END;", true, "END", ""},
        {"END ", true, "END", ""},
        {"END", false, "", ""},  // a lone keyword needs a separator after it
        {"//DESC \"Logo-MetaBalls\";//////", false, "", ""},
        {"DESC \"Intro\"; // note", true, "DESC", "Intro"},
        {"END//comment", false, "", ""},  // "//" wins even after the keyword began
        {"a/b;", true, "a", "b"},         // a single slash separates
        {"/KEY value;", true, "KEY", "value"},
        {"CREATE\"Smoke\" {", true, "CREATE\"Smoke\"", ""},
        {"}", false, "", ""},
        {"  };", false, "", ""},
        {"Foo 1 };", true, "Foo", "1"},
        {"Texture \"a b};c\";", true, "Texture", "a b};c"},
        {"NAME \"\";", true, "NAME", ""},
        {"Url http://x//y;", true, "Url", "http://x//y"},  // "//" in the value is not special
        {"Key{ v;", true, "Key{", "v"},
        {"", false, "", ""},
        {" \t; ", false, "", ""},
    };
    for (const SplitCase& c : cases) {
        std::string keyword = "stale", value = "stale";
        const bool ok = SplitScriptLine(c.line, keyword, value);
        EXPECT_EQ(ok, c.ok) << c.line;
        if (ok && c.ok) {
            EXPECT_EQ(keyword, c.keyword) << c.line;
            EXPECT_EQ(value, c.value) << c.line;
        }
    }
}

TEST(ScriptParser, ParsesTheProductionExample) {
    const Script script = Parse(
        "LOADINGIMG \"il3.jpg\";\r\n"
        "MUSICSTREAM \"starfall.mp3\";\r\n"
        "TIME -1 {\r\n"
        "DESC \"Intro\";\r\n"
        "//PreLoad\r\n"
        "\tCREATE \"ParasitesLayer\"{\r\n"
        "\t\tStartTime 1;\r\n"
        "\t\tTexture \"noiselayer.JPG\";\r\n"
        "\t};\r\n"
        "\tCREATE MetaballLayer {\r\n"
        "\t};\r\n"
        "\tCREATE \"MDLPlayer\"{\r\n"
        "\t\tNAME \"Sol\";\r\n"
        "\t\tMDLFile \"data\\Sol.mdl\";\r\n"
        "\t\tCREATE \"Smoke\" {\r\n"
        "\t\t\tStartTime 3;\r\n"
        "\t\t};\r\n"
        "\t};\r\n"
        "};\r\n"
        "\r\n"
        "TIME 113 {\r\n"
        "END;\r\n"
        "};\r\n");
    EXPECT_EQ(script.loadingImage, "il3.jpg");
    EXPECT_EQ(script.musicFile, "starfall.mp3");
    ASSERT_EQ(script.blocks.size(), 2u);

    const TimeBlock& preload = script.blocks[0];
    EXPECT_EQ(preload.time, -1.0f);
    EXPECT_FALSE(preload.fired);
    EXPECT_EQ(preload.description, "Intro");
    ASSERT_EQ(preload.operations.size(), 3u);
    const LayerOperation& parasites = preload.operations[0];
    EXPECT_EQ(parasites.kind, OperationKind::Create);
    EXPECT_EQ(parasites.target, "ParasitesLayer");
    ASSERT_EQ(parasites.assignments.size(), 2u);
    EXPECT_EQ(parasites.assignments[0].name, "StartTime");
    EXPECT_EQ(parasites.assignments[0].value, "1");
    EXPECT_EQ(parasites.assignments[1].name, "Texture");
    EXPECT_EQ(parasites.assignments[1].value, "noiselayer.JPG");
    EXPECT_EQ(preload.operations[1].target, "MetaballLayer");
    EXPECT_TRUE(preload.operations[1].assignments.empty());

    const LayerOperation& player = preload.operations[2];
    EXPECT_EQ(player.target, "MDLPlayer");
    EXPECT_EQ(player.newName, "Sol");
    ASSERT_EQ(player.assignments.size(), 1u);
    EXPECT_EQ(player.assignments[0].value, "data\\Sol.mdl");
    ASSERT_EQ(player.children.size(), 1u);
    EXPECT_EQ(player.children[0].kind, OperationKind::Create);
    EXPECT_EQ(player.children[0].target, "Smoke");
    ASSERT_EQ(player.children[0].assignments.size(), 1u);
    EXPECT_EQ(player.children[0].assignments[0].name, "StartTime");

    ASSERT_EQ(script.blocks[1].operations.size(), 1u);
    EXPECT_EQ(script.blocks[1].time, 113.0f);
    EXPECT_EQ(script.blocks[1].operations[0].kind, OperationKind::End);
    EXPECT_EQ(script.blocks[1].operations[0].target, "");
}

TEST(ScriptParser, LineEndsFollowTheCarriageReturnRules) {
    // LF-only lines lose their last byte: "END;" becomes "END" and is ignored,
    // while "StartTime 1;" still reads 1.
    // A "{" at the very end of an LF-only line is lost too, so such a TIME line opens nothing.
    Script lfOnly = Parse("TIME 5 { \nCREATE Flash { \nStartTime 1;\n};\nEND;\n};\nTIME 6 {\n");
    ASSERT_EQ(lfOnly.blocks.size(), 1u);
    EXPECT_EQ(lfOnly.blocks[0].time, 5.0f);
    ASSERT_EQ(lfOnly.blocks[0].operations.size(), 1u);
    ASSERT_EQ(lfOnly.blocks[0].operations[0].assignments.size(), 1u);
    EXPECT_EQ(lfOnly.blocks[0].operations[0].assignments[0].value, "1");

    // A bare LF ends the operation, then the block; the block's later lines are read at
    // top level, where a further bare LF ends the parsing altogether.
    Script bare = Parse(
        "TIME 1 {\r\nCREATE Flash {\r\n\nStartTime 7;\r\n\nSHOWFPS Yes;\r\n\nSHOWTIME Yes;\r\n"
        "TIME 2 {\r\n};\r\n");
    ASSERT_EQ(bare.blocks.size(), 1u);
    EXPECT_TRUE(bare.blocks[0].operations[0].assignments.empty());
    EXPECT_TRUE(bare.showFrameRate);
    EXPECT_FALSE(bare.showTime);

    // CR LF blank lines and a missing final line end are harmless; the last byte of the
    // final line is still dropped.
    Script tail = Parse("\r\n\r\nSHOWDESC Yes;\r\n\r\nTIMESTRETCH Yes;;");
    EXPECT_TRUE(tail.showDescriptions);
    EXPECT_TRUE(tail.timeStretch);

    // A line longer than the reader keeps is cut: no overrun, and the next line is read.
    std::string longLine = "LOADINGIMG " + std::string(70000, 'x') + ";\r\n";
    Script cut = Parse(longLine + "MUSICSTREAM m.ogg;\r\n");
    EXPECT_EQ(cut.loadingImage.size(), 65535u - 11u - 1u);
    EXPECT_EQ(cut.musicFile, "m.ogg");
}

TEST(ScriptParser, ClosingLinesNeedTheirBraceBeforeAnyKeywordOrComment) {
    const Script script = Parse(
        "TIME 0 {\r\n"
        "CREATE TextLayer {\r\n"
        "Text \"a};b\";\r\n"  // brace inside quotes: an assignment
        "Foo 1 };\r\n"        // keyword first: an assignment
        "//};\r\n"            // commented: ignored
        "Bar 2;\r\n"
        "   }; // done\r\n"   // its "}" comes before the comment: closes the operation
        "DESC \"Two\"; // note\r\n"
        "//DESC \"Hidden\";//////\r\n"
        "}\r\n"               // closes the block
        "SHOWFPS Yes;\r\n");
    ASSERT_EQ(script.blocks.size(), 1u);
    const TimeBlock& block = script.blocks[0];
    EXPECT_EQ(block.description, "Two");
    ASSERT_EQ(block.operations.size(), 1u);
    const auto& assignments = block.operations[0].assignments;
    ASSERT_EQ(assignments.size(), 3u);
    EXPECT_EQ(assignments[0].value, "a};b");
    EXPECT_EQ(assignments[1].name, "Foo");
    EXPECT_EQ(assignments[2].name, "Bar");
    EXPECT_TRUE(script.showFrameRate);

    // Without closing lines the block and the operation run to the end of the file.
    const Script open = Parse("TIME 3 {\r\nCREATE Flash {\r\nStartTime 1;\r\n");
    ASSERT_EQ(open.blocks.size(), 1u);
    ASSERT_EQ(open.blocks[0].operations.size(), 1u);
    EXPECT_EQ(open.blocks[0].operations[0].assignments.size(), 1u);
}

TEST(ScriptParser, UnclosedNestedCreatesStopNestingAtAFixedDepth) {
    std::string text = "TIME 1 {\r\nCREATE MDLPlayer {\r\n";
    for (int i = 0; i < 20000; ++i) text += "CREATE Smoke;\r\n";
    const Script script = Parse(text);
    ASSERT_EQ(script.blocks.size(), 1u);
    int depth = 1;
    for (const LayerOperation* op = &script.blocks[0].operations[0]; !op->children.empty(); op = &op->children[0])
        ++depth;
    EXPECT_EQ(depth, 1000);
}

TEST(ScriptParser, OperationsKeepTheirKindSpecificSettings) {
    const Script script = Parse(
        "TIME 4 {\r\n"
        "CREATE GFXLayer {\r\nNAME \"Logo\";\r\nINSERT Bottom;\r\nXScale 2;\r\n};\r\n"
        "CREATE GFXLayer {\r\nINSERT bottom;\r\n};\r\n"
        "UPDATE \"Logo\" {\r\nMOVE Bottom;\r\nRESTART Yes;\r\nXOffset 0.1;\r\n};\r\n"
        "UPDATE Logo {\r\nMOVE Top;\r\nRESTART yes;\r\n};\r\n"
        "UPDATE Logo {\r\nMOVE Middle;\r\n};\r\n"
        "DELETE Logo {\r\nNAME Other;\r\nJunk 1;\r\n};\r\n"
        "CREATE Flash;\r\n"      // no "{": ignored
        "CREATE\"Smoke\" {\r\n"  // keyword keeps the quote: not recognised
        "END ;\r\n"
        "};\r\n");
    ASSERT_EQ(script.blocks.size(), 1u);
    const auto& ops = script.blocks[0].operations;
    ASSERT_EQ(ops.size(), 7u);
    EXPECT_EQ(ops[0].newName, "Logo");
    EXPECT_TRUE(ops[0].insertAtBottom);
    EXPECT_FALSE(ops[1].insertAtBottom);
    EXPECT_EQ(ops[2].kind, OperationKind::Update);
    EXPECT_EQ(ops[2].target, "Logo");
    EXPECT_EQ(ops[2].move, MoveKind::Bottom);
    EXPECT_TRUE(ops[2].restart);
    ASSERT_EQ(ops[2].assignments.size(), 1u);
    EXPECT_EQ(ops[3].move, MoveKind::Top);
    EXPECT_FALSE(ops[3].restart);
    EXPECT_EQ(ops[4].move, MoveKind::None);
    EXPECT_EQ(ops[5].kind, OperationKind::Delete);
    EXPECT_EQ(ops[5].newName, "Other");
    EXPECT_EQ(ops[5].assignments.size(), 1u);
    EXPECT_EQ(ops[6].kind, OperationKind::End);
}

TEST(ScriptParser, HeaderKeywordsAreCaseSensitiveAndTheLastOneWins) {
    const Script script = Parse(
        "SHOWFPS yes;\r\nSHOWTIME Yes;\r\nSHOWTIME No;\r\nLOGSCRIPT YES;\r\n"
        "showdesc Yes;\r\nMUSICSTREAM a.mp3;\r\nMUSICSTREAM \"b c.mp3\";\r\n"
        "GROUP x {\r\nTIMESTRETCH Yes;\r\n}\r\n");  // another keyword's body is read as top level
    EXPECT_FALSE(script.showFrameRate);
    EXPECT_FALSE(script.showTime);
    EXPECT_FALSE(script.logScript);
    EXPECT_FALSE(script.showDescriptions);
    EXPECT_EQ(script.musicFile, "b c.mp3");
    EXPECT_TRUE(script.timeStretch);
    EXPECT_TRUE(script.blocks.empty());
}

TEST(ScriptParser, BlocksAreSortedByTimeAndOddTimesReadAsZero) {
    const Script script = Parse(
        "TIME 12.5 {\r\nDESC c;\r\n};\r\n"
        "TIME -2 {\r\nDESC a;\r\n};\r\n"
        "TIME abc {\r\nDESC z1;\r\n};\r\n"
        "TIME nan {\r\nDESC z2;\r\n};\r\n"
        "TIME 12.5 {\r\nDESC d;\r\n};\r\n"
        "TIME 3 {\r\nDESC b;\r\n};\r\n");
    ASSERT_EQ(script.blocks.size(), 6u);
    EXPECT_EQ(script.blocks[0].description, "a");
    EXPECT_EQ(script.blocks[1].time, 0.0f);
    EXPECT_EQ(script.blocks[2].time, 0.0f);
    EXPECT_EQ(script.blocks[3].description, "b");
    EXPECT_EQ(script.blocks[4].time, 12.5f);
    EXPECT_EQ(script.blocks[5].time, 12.5f);
    std::set<std::string> last{script.blocks[4].description, script.blocks[5].description};
    EXPECT_EQ(last, (std::set<std::string>{"c", "d"}));
}

TEST(ScriptParser, ReadsFilesAndWritesTheLogOnlyWhenAsked) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "script_parser";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const fs::path previous = fs::current_path();
    fs::current_path(dir);

    std::ofstream("quiet.txt", std::ios::binary) << "TIME 1 {\r\nEND;\r\n};\r\n";
    std::ofstream("logged.txt", std::ios::binary) << "LOGSCRIPT Yes;\r\nTIME 1 {\r\nEND;\r\n};\r\n";
    Script quiet;
    ParseScriptFile("quiet.txt", quiet);
    EXPECT_EQ(quiet.blocks.size(), 1u);
    EXPECT_FALSE(fs::exists("ScriptLog.html"));
    Script logged;
    ParseScriptFile("logged.txt", logged);
    EXPECT_TRUE(fs::exists("ScriptLog.html"));

    // Line ends without CR are read as before, with one warning naming the first such line.
    struct Case {
        const char* text;
        const char* warning;  // nullptr: none
    } cases[] = {
        {"TIME 1 {\r\nEND;\r\n};\r\n", nullptr},
        {"TIME 1 {\r\nEND;\r\n};", nullptr},
        {"TIME 1 {\nEND;\n};\n", "Warning: [lf.txt] line 1 ends without CR"},
        {"TIME 1 {\r\nEND;\n};\r\n", "Warning: [lf.txt] line 2 ends without CR"},
        {"\n", "Warning: [lf.txt] line 1 ends without CR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream("lf.txt", std::ios::binary) << c.text;
        testing::internal::CaptureStderr();
        Script script;
        ParseScriptFile("lf.txt", script);
        const std::string printed = testing::internal::GetCapturedStderr();
        if (c.warning == nullptr) {
            EXPECT_EQ(printed, "");
        } else {
            EXPECT_EQ(printed.rfind(c.warning, 0), 0u) << printed;
            EXPECT_EQ(std::count(printed.begin(), printed.end(), '\n'), 1) << printed;
        }
    }

    Script missing;
    try {
        ParseScriptFile("NoSuchScript.txt", missing);
        ADD_FAILURE() << "a missing script must be fatal";
    } catch (const CUserException& error) {
        EXPECT_STREQ(error.what(), "Cannot open file [NoSuchScript.txt].");
    }
    fs::current_path(previous);
}

TEST(ScriptParser, KeepsTheScriptLineOfEveryBlockOperationAndAssignment)
{
    Script script;
    ParseScriptText("// x\r\nTIME 2 {\r\nCREATE \"MDLPlayer\" {\r\n\r\nMDLFile \"a.mdl\";\r\nCREATE \"Smoke\" {\r\n"
                    "ObjetName \"B\";\r\n};\r\n};\r\nEND;\r\n};\r\n",
                    script);
    ASSERT_EQ(script.blocks.size(), 1u);
    const TimeBlock& block = script.blocks[0];
    EXPECT_EQ(block.line, 2);
    ASSERT_EQ(block.operations.size(), 2u);
    EXPECT_EQ(block.operations[0].line, 3);
    ASSERT_EQ(block.operations[0].assignments.size(), 1u);
    EXPECT_EQ(block.operations[0].assignments[0].line, 5);
    ASSERT_EQ(block.operations[0].children.size(), 1u);
    EXPECT_EQ(block.operations[0].children[0].line, 6);
    EXPECT_EQ(block.operations[0].children[0].assignments[0].line, 7);
    EXPECT_EQ(block.operations[1].line, 10);  // END
}
