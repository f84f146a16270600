// Tests of fatal error raising and log lines: formatting, cutting at the buffer size, the pending flag.
#include <gtest/gtest.h>
#include <string>
#include "engine/core/Fatal.h"
#include "engine/core/Log.h"

namespace {

std::string g_lastLine;
int g_lineCount = 0;

void RecordLine(const char* text)
{
    g_lastLine = text;
    ++g_lineCount;
}

} // namespace

TEST(Fatal, AppErrorsAreFormattedAndCutAt1023Characters)
{
    ClearLibraryErrorForTesting();
    try {
        RaiseAppError("Cannot open file [%s].", "Script.txt");
        FAIL() << "nothing thrown";
    } catch (const AppError& error) {
        EXPECT_STREQ(error.what(), "Cannot open file [Script.txt].");
    }
    std::string huge(5000, 'a');
    try {
        RaiseAppError("%s%s", huge.c_str(), "tail");
        FAIL() << "nothing thrown";
    } catch (const AppError& error) {
        EXPECT_EQ(std::string(error.what()), std::string(1023, 'a'));
        EXPECT_STREQ(GetAppLastMessage(), error.what());
    }
    EXPECT_FALSE(IsLibraryErrorPending()) << "an application error is not a library error";
}

TEST(Fatal, LibraryErrorsSetTheStickyPendingFlagAndKeepTheMessage)
{
    ClearLibraryErrorForTesting();
    EXPECT_FALSE(IsLibraryErrorPending());
    std::string huge(3000, 'b');
    try {
        ReportFatal("Layer [%s] : %s", "Flash", huge.c_str());
        FAIL() << "nothing thrown";
    } catch (const CUserException& error) {
        std::string expected = "Layer [Flash] : " + huge;
        expected.resize(2047);
        EXPECT_EQ(std::string(error.what()), expected);
    }
    EXPECT_TRUE(IsLibraryErrorPending());
    EXPECT_EQ(std::string(GetLibraryLastMessage()).size(), 2047u);
    // Application errors raised later neither clear the flag nor replace the message.
    EXPECT_THROW(RaiseAppError("Error"), AppError);
    EXPECT_TRUE(IsLibraryErrorPending());
    EXPECT_EQ(std::string(GetLibraryLastMessage()).substr(0, 15), "Layer [Flash] :");
    ClearLibraryErrorForTesting();
}

TEST(Log, LinesReachTheCallbackCutAt1023CharactersOrAreDropped)
{
    SetLogCallback(nullptr);
    g_lineCount = 0;
    LogLine("dropped %d", 1);
    EXPECT_EQ(g_lineCount, 0);

    SetLogCallback(RecordLine);
    EXPECT_EQ(GetLogCallback(), &RecordLine);
    LogLine("Loaded PakFile [%s] (%d packed files).", "Starfall.pak", 47);
    EXPECT_EQ(g_lastLine, "Loaded PakFile [Starfall.pak] (47 packed files).");
    std::string huge(4000, 'x');
    LogLine("%s!", huge.c_str());
    EXPECT_EQ(g_lastLine, std::string(1023, 'x'));
    EXPECT_EQ(g_lineCount, 2);
    SetLogCallback(nullptr);
}
