// Tests of "ScriptLog.html": the exact page for an empty and a small script, and best-effort writing.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include "script/ScriptLog.h"
#include "script/ScriptParser.h"

TEST(ScriptLog, EmptyScriptGivesTheHeadAndAnEmptyList) {
    EXPECT_EQ(FormatScriptLog({}),
              "<HTML><HEAD><TITLE>Script stored in memory</TITLE><HEAD>\n"
              "<BR><BR>Time blocks : <I>0 </I><BR>\n"
              "<UL>\n"
              "</UL>\n");
}

TEST(ScriptLog, SmallScriptIsWrittenByteForByte) {
    Script script;
    ParseScriptText(
        "TIME 59.5 {\r\nDESC \"not written\";\r\n"
        "CREATE MDLPlayer {\r\nNAME Sol;\r\nMDLFile \"a<b&c\";\r\nCREATE Smoke {\r\n};\r\n};\r\n"
        "END;\r\n};\r\n"
        "TIME -1 {\r\n};\r\n",
        script);
    const std::string expected =
        "<HTML><HEAD><TITLE>Script stored in memory</TITLE><HEAD>\n"
        "<BR><BR>Time blocks : <I>2 </I><BR>\n"
        "<UL>\n"
        "<LI>\n"
        "Time : -1<BR>\n"
        "Layer operation count : 0\n"
        "<BLOCKQUOTE>\n<UL>\n"
        "</UL>\n</BLOCKQUOTE>\n</LI>\n"
        "<LI>\n"
        "Time : 59.5<BR>\n"
        "Layer operation count : 2\n"
        "<BLOCKQUOTE>\n<UL>\n"
        "<LI>\n"
        "Layer name : MDLPlayer<BR>\n"
        "Parameters count : 1<BR>\n"
        "<BLOCKQUOTE>\n<TABLE>\n"
        "<TR>\n<TD WIDTH=150>\nMDLFile</TD>\n<TD>\na<b&c</TD>\n</TR>\n"
        "</TABLE>\n</BLOCKQUOTE>\n"
        "Nested blocks : 1<BR>\n"
        "<BLOCKQUOTE>\n<UL>\n"
        "<LI>\n"
        "Layer name : Smoke<BR>\n"
        "Parameters count : 0<BR>\n"
        "<BLOCKQUOTE>\n<TABLE>\n"
        "</TABLE>\n</BLOCKQUOTE>\n"
        "Nested blocks : 0<BR>\n"
        "<BLOCKQUOTE>\n<UL>\n"
        "</UL>\n</BLOCKQUOTE>\n<BR>\n"
        "</LI>\n"
        "</UL>\n</BLOCKQUOTE>\n<BR>\n"
        "</LI>\n"
        "<LI>\n"
        "Layer name : <BR>\n"
        "Parameters count : 0<BR>\n"
        "<BLOCKQUOTE>\n<TABLE>\n"
        "</TABLE>\n</BLOCKQUOTE>\n"
        "Nested blocks : 0<BR>\n"
        "<BLOCKQUOTE>\n<UL>\n"
        "</UL>\n</BLOCKQUOTE>\n<BR>\n"
        "</LI>\n"
        "</UL>\n</BLOCKQUOTE>\n</LI>\n"
        "</UL>\n";
    EXPECT_EQ(FormatScriptLog(script.blocks), expected);

    const std::filesystem::path path = std::filesystem::path(STARFALL_TEST_OUTPUT_DIR) / "ScriptLogTest.html";
    std::filesystem::create_directories(path.parent_path());
    ASSERT_TRUE(WriteScriptLog(script.blocks, path.string()));
    std::ifstream in(path, std::ios::binary);
    std::stringstream written;
    written << in.rdbuf();
    EXPECT_EQ(written.str(), expected);

    // A file that cannot be created is skipped without an error.
    EXPECT_FALSE(WriteScriptLog(script.blocks, "/nonexistent-dir/ScriptLog.html"));
}
