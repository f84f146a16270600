// Tests of the library file access: archive before folders, folder fallbacks, case matching, registry, reads.
#include <gtest/gtest.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include "engine/core/File.h"
#include "support/TestPak.h"

namespace fs = std::filesystem;

namespace {

// Runs each test in a fresh folder as the current directory, with no archive and an empty registry.
class FileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous_ = fs::current_path();
        folder_ = fs::path(STARFALL_TEST_OUTPUT_DIR) / "file-access" /
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        fs::current_path(folder_);
        savedPak_ = GetArchive();
        SetArchive(nullptr);
        ClearUsedFilesForTesting();
    }
    void TearDown() override
    {
        SetDataFolder("");
        fs::current_path(previous_);
        SetArchive(savedPak_);
        ClearUsedFilesForTesting();
    }
    static void Write(const fs::path& path, const std::string& contents)
    {
        if (path.has_parent_path())
            fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    static std::string ReadAll(File& file)
    {
        std::vector<uint8_t> bytes = file.ReadAll();
        return std::string(bytes.begin(), bytes.end());
    }

    fs::path previous_;
    fs::path folder_;
    Archive* savedPak_ = nullptr;
};

} // namespace

TEST_F(FileTest, ArchiveWinsOverDiskAndAFailedEntryIsNotRetriedFromDisk)
{
    Write("script.txt", "from disk");
    Write("broken.png", "disk copy");
    std::vector<uint8_t> bytes = MakePakBytes({{"script.txt", "from archive"}, {"broken.png", std::string(500, 'b')}});
    bytes.resize(bytes.size() - 10); // cuts the data of the last entry
    ScopedTestPak archive(bytes, "FILES.PAK");
    ASSERT_TRUE(archive.IsOpen());

    File script;
    ASSERT_TRUE(script.Open("Script.TXT"));
    EXPECT_EQ(ReadAll(script), "from archive");
    EXPECT_STREQ(script.GetName(), "Script.TXT");

    File broken;
    EXPECT_FALSE(broken.Open("broken.png"));
    // The archive's answer is final: the name is recorded, the disk copy is not used.
    EXPECT_EQ(GetUsedFiles(), (std::vector<std::string>{"Script.TXT", "broken.png"}));
}

TEST_F(FileTest, FoldersAreTriedInOrderWithBackslashesAndAnyCase)
{
    Write("DATA/only-in-data.txt", "data");
    Write("GFX/logo.png", "gfx");
    Write("DATA/logo.png", "data logo");
    Write("OLDGFX/Old.JPG", "old");
    Write("gfx/Sub/NoiseLayer.jpg", "noise");

    File data;
    ASSERT_TRUE(data.Open("only-in-data.txt"));
    EXPECT_EQ(ReadAll(data), "data");
    File logo;
    ASSERT_TRUE(logo.Open("logo.png"));
    EXPECT_EQ(ReadAll(logo), "gfx") << "GFX comes before DATA";
    File old;
    ASSERT_TRUE(old.Open("old.jpg"));
    EXPECT_EQ(ReadAll(old), "old");
    // "GFX\" on disk is "gfx", the file's case differs too.
    File noise;
    ASSERT_TRUE(noise.Open("sub\\noiselayer.JPG"));
    EXPECT_EQ(ReadAll(noise), "noise");

    File missing;
    EXPECT_FALSE(missing.Open("absent.png"));
    EXPECT_FALSE(missing.IsOpen());
    File empty;
    EXPECT_FALSE(empty.Open(""));
    EXPECT_FALSE(empty.Open(nullptr));
    File folder;
    EXPECT_FALSE(folder.Open("gfx")) << "a folder is not a file";

    // The registry holds the names as requested, without the folder that served them.
    EXPECT_EQ(GetUsedFiles(),
              (std::vector<std::string>{"logo.png", "old.jpg", "only-in-data.txt", "sub\\noiselayer.JPG"}));
}

// A data folder takes the current directory's place for every search folder; the registry
// keeps the path each name was read from (what --watch watches), none for the archive.
TEST_F(FileTest, ADataFolderIsSearchedInsteadOfTheCurrentOneAndPathsAreKept)
{
    Write("here.txt", "current");
    Write("prod/Script.txt", "script");
    Write("prod/gfx/Logo.PNG", "logo");
    Write("prod/here.txt", "data");
    SetDataFolder("prod");
    File script;
    ASSERT_TRUE(script.Open("Script.txt"));
    File logo;
    ASSERT_TRUE(logo.Open("GFX\\logo.png"));
    EXPECT_EQ(ReadAll(logo), "logo");
    File here;
    ASSERT_TRUE(here.Open("here.txt"));
    EXPECT_EQ(ReadAll(here), "data") << "the current directory is not searched";
    File absolute;
    ASSERT_TRUE(absolute.Open((folder_ / "here.txt").string().c_str())) << "absolute names stay as they are";
    EXPECT_EQ(ReadAll(absolute), "current");

    ScopedTestPak pak(std::vector<std::pair<std::string, std::string>>{{"packed.txt", "packed"}});
    File packed;
    ASSERT_TRUE(packed.Open("packed.txt"));

    const std::vector<std::pair<std::string, std::string>> expected = {
        {(folder_ / "here.txt").string(), (folder_ / "here.txt").string()},
        {"GFX\\logo.png", "prod/gfx/Logo.PNG"},
        {"Script.txt", "prod/Script.txt"},
        {"here.txt", "prod/here.txt"},
        {"packed.txt", ""},
    };
    EXPECT_EQ(GetUsedFilePaths(), expected);
}

TEST_F(FileTest, RegistryIsUniqueInByteOrderAndWrittenOnePerLine)
{
    Write("b.txt", "b");
    Write("B.txt", "B");
    Write("a.txt", "a");
    for (const char* name : {"b.txt", "B.txt", "a.txt", "b.txt", "missing.txt"}) {
        File file;
        file.Open(name);
    }
    ASSERT_TRUE(WriteFileList("FileList.txt"));
    std::ifstream list("FileList.txt", std::ios::binary);
    std::string contents((std::istreambuf_iterator<char>(list)), std::istreambuf_iterator<char>());
    EXPECT_EQ(contents, "B.txt\na.txt\nb.txt\n");
    EXPECT_FALSE(WriteFileList("no-such-folder/FileList.txt"));
}

TEST_F(FileTest, SecondOpenOfADiskFileFails)
{
    Write("one.txt", "1");
    Write("two.txt", "2");
    File file;
    ASSERT_TRUE(file.Open("one.txt"));
    EXPECT_FALSE(file.Open("two.txt"));
    EXPECT_STREQ(file.GetName(), "one.txt");
    EXPECT_EQ(ReadAll(file), "1");
}

TEST_F(FileTest, ReadLineDropsTheLastCharacterOfEachLine)
{
    ScopedTestPak archive({{"lines.txt", "ab\r\ncd"}, {"long.txt", "abcdefgh\r\n"}}, "LINES.PAK");
    File file;
    ASSERT_TRUE(file.Open("lines.txt"));
    std::string line;
    EXPECT_EQ(file.ReadLine(line, 100), 3);
    EXPECT_EQ(line, "ab");
    // The last line has no CR: its last real character goes.
    EXPECT_EQ(file.ReadLine(line, 100), 2);
    EXPECT_EQ(line, "c");
    EXPECT_EQ(file.ReadLine(line, 100), 0);
    EXPECT_EQ(line, "");

    // The buffer version never writes past its size and always terminates.
    File longFile;
    ASSERT_TRUE(longFile.Open("long.txt"));
    char buffer[6];
    std::memset(buffer, 'Z', sizeof(buffer));
    EXPECT_EQ(longFile.ReadLine(buffer, 5), 4);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(buffer[5], 'Z');
    EXPECT_EQ(longFile.ReadLine(buffer, sizeof(buffer)), 5) << "continues where the cut line stopped";
    EXPECT_STREQ(buffer, "efgh");
}

TEST_F(FileTest, InMemoryReadAndSeekFollowTheContentsSize)
{
    std::string hundred(100, '\0');
    for (size_t i = 0; i < hundred.size(); ++i)
        hundred[i] = static_cast<char>(i);
    ScopedTestPak archive({{"hundred.bin", hundred}}, "MEM.PAK");
    File file;
    ASSERT_TRUE(file.Open("hundred.bin"));
    uint8_t out[10] = {};
    EXPECT_EQ(file.Seek(95, 0), 95);
    EXPECT_EQ(file.Read(out, 10), 5u);
    EXPECT_EQ(out[4], 99);
    EXPECT_EQ(file.Seek(-4, 2), 96);
    EXPECT_EQ(file.Tell(), 96);
    EXPECT_EQ(file.Seek(2, 1), 98);
    EXPECT_EQ(file.Seek(1, 9), 0) << "an unknown origin changes nothing";
    EXPECT_EQ(file.Tell(), 98);
    // Past the end is allowed; reads there return nothing.
    EXPECT_EQ(file.Seek(150, 0), 150);
    EXPECT_EQ(file.Read(out, 10), 0u);
    EXPECT_TRUE(file.ReadAll().empty());
}

TEST_F(FileTest, DiskReadSeekAndTell)
{
    Write("disk.bin", "0123456789");
    File file;
    ASSERT_TRUE(file.Open("disk.bin"));
    char out[4] = {};
    EXPECT_EQ(file.Seek(-3, 2), 0);
    EXPECT_EQ(file.Tell(), 7);
    EXPECT_EQ(file.Read(out, 4), 3u);
    EXPECT_EQ(std::string(out, 3), "789");
}
