// Tests of the archive writer: command line, stored names, duplicates, layout, and reading back.
#include <gtest/gtest.h>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>
#include "pak/EmbeddedResource.h"
#include "pak/PakFile.h"
#include "tools/pakwriter/PakWriter.h"

namespace fs = std::filesystem;

namespace {

class PakWriterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = fs::path(STARFALL_TEST_OUTPUT_DIR) / "pakwriter" /
                ::testing::UnitTest::GetInstance()->current_test_info()->name();
        fs::remove_all(root_);
        fs::create_directories(root_ / "in");
    }
    void Write(const std::string& relative, const std::string& contents)
    {
        fs::path path = root_ / "in" / relative;
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << contents;
    }
    // Runs the command-line tool; returns its exit status and fills its standard output.
    int Run(const std::string& arguments, std::string& output)
    {
        std::string command = std::string(PAKWRITER_EXE) + " " + arguments + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr)
            return -1;
        output.clear();
        char chunk[512];
        size_t got = 0;
        while ((got = fread(chunk, 1, sizeof(chunk), pipe)) > 0)
            output.append(chunk, got);
        int status = pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string In() const { return (root_ / "in").string(); }
    std::string Out(const char* name) const { return (root_ / name).string(); }
    static std::vector<uint8_t> Bytes(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    static std::vector<std::string> Names(const PakFile& pak)
    {
        std::vector<std::string> names;
        for (const auto& entry : pak.GetEntries())
            names.push_back(entry.name);
        return names;
    }

    fs::path root_;
};

std::string ReadEntry(const PakFile& pak, const std::string& name)
{
    int32_t size = pak.GetFileSize(name);
    if (size < 0)
        return "<absent>";
    std::string data(static_cast<size_t>(size), '\0');
    return pak.ReadFile(name, data.data()) ? data : "<failed>";
}

} // namespace

TEST_F(PakWriterTest, PacksAFolderRecursivelyWithLowerCasedBareNamesAndReadsBackExactly)
{
    std::mt19937 random(7);
    std::string noise(200000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    std::string binary("a\0b\0\r\n\xff", 7);
    Write("Script.TXT", "CREATE\r\nEND\r\n");
    Write("GFX/NoiseLayer.JPG", noise);
    Write("gfx/deep/er/Binary.bin", binary);
    Write("Empty.dat", "");
    Write(".hidden", "skip me");
    Write(".git/config", "skip me too");

    std::string output;
    ASSERT_EQ(Run("-o " + Out("a.pak") + " " + In(), output), 0) << output;
    // It says what it packed.
    EXPECT_NE(output.find("noiselayer.jpg"), std::string::npos) << output;
    EXPECT_NE(output.find("4 files"), std::string::npos) << output;

    PakFile pak;
    ASSERT_TRUE(pak.Open(Out("a.pak")));
    EXPECT_FALSE(pak.GetBasePath().empty());
    // Byte order of the relative paths: "Empty.dat" < "GFX/..." < "Script.TXT" < "gfx/...".
    EXPECT_EQ(Names(pak), (std::vector<std::string>{"empty.dat", "noiselayer.jpg", "script.txt", "binary.bin"}));
    EXPECT_EQ(ReadEntry(pak, "Script.txt"), "CREATE\r\nEND\r\n");
    EXPECT_EQ(ReadEntry(pak, "noiselayer.jpg"), noise);
    EXPECT_EQ(ReadEntry(pak, "binary.bin"), binary);
    EXPECT_EQ(ReadEntry(pak, "empty.dat"), "");

    std::string quiet;
    ASSERT_EQ(Run("--quiet -o " + Out("b.pak") + " " + In(), quiet), 0);
    EXPECT_EQ(quiet, "");
    EXPECT_EQ(Bytes(Out("a.pak")), Bytes(Out("b.pak"))) << "the same inputs give the same archive";
}

TEST_F(PakWriterTest, LayoutIsDirectoryThenDataInOrderEachAZlibStream)
{
    std::vector<PakSource> sources(3);
    sources[0].name = "first.png";
    sources[0].data.assign(1000, 0x11);
    sources[1].name = "second.txt";
    sources[2].name = "third.mdl";
    sources[2].data = {1, 2, 3};
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(BuildPak(sources, bytes, error)) << error;
    ASSERT_GE(bytes.size(), 9u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 9),
              (std::vector<uint8_t>{'P', 'A', 'K', 0x00, 0x02, 3, 0, 0, 0}));

    RegisterEmbeddedResource("LAYOUT.PAK", bytes.data(), bytes.size());
    PakFile pak;
    ASSERT_TRUE(pak.Open("layout.pak"));
    UnregisterEmbeddedResource("LAYOUT.PAK");
    const auto& entries = pak.GetEntries();
    ASSERT_EQ(entries.size(), 3u);
    // Directory size: header plus, per entry, 24 fixed bytes and its packed name.
    size_t directory = bytes.size();
    for (const auto& entry : entries)
        directory -= entry.packedSize;
    uint32_t expected = static_cast<uint32_t>(directory);
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].dataOffset, expected) << i;
        EXPECT_EQ(entries[i].dataSize, sources[i].data.size());
        EXPECT_EQ(entries[i].reserved, 0u);
        EXPECT_EQ(bytes[entries[i].dataOffset], 0x78) << "zlib header, even for empty data";
        expected += entries[i].packedSize;
    }
    EXPECT_EQ(expected, bytes.size()) << "no gaps and nothing after the last entry";
}

TEST_F(PakWriterTest, DuplicateStoredNamesAreRefusedUnlessAllowed)
{
    Write("a/Logo.png", "first");
    Write("b/logo.PNG", "second");
    std::string output;
    EXPECT_NE(Run("-o " + Out("dup.pak") + " " + In(), output), 0);
    EXPECT_NE(output.find("logo.png"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(Out("dup.pak"))) << "no archive after a refusal";

    ASSERT_EQ(Run("--quiet --allow-duplicates -o " + Out("dup.pak") + " " + In(), output), 0) << output;
    PakFile pak;
    ASSERT_TRUE(pak.Open(Out("dup.pak")));
    EXPECT_EQ(pak.GetEntryCount(), 2u);
    EXPECT_EQ(ReadEntry(pak, "logo.png"), "first");

    // Folders kept, the two no longer collide; separators are backslashes.
    ASSERT_EQ(Run("--quiet --keep-folders -o " + Out("kept.pak") + " " + In(), output), 0) << output;
    PakFile kept;
    ASSERT_TRUE(kept.Open(Out("kept.pak")));
    EXPECT_EQ(Names(kept), (std::vector<std::string>{"a\\logo.png", "b\\logo.png"}));
    EXPECT_EQ(ReadEntry(kept, "B\\Logo.png"), "second");
}

TEST_F(PakWriterTest, ListedFilesEmptyInputsAndBadArguments)
{
    Write("x/One.txt", "1");
    Write("y/Two.txt", "2");
    std::string output;
    ASSERT_EQ(Run("--quiet -o " + Out("list.pak") + " " + In() + "/y/Two.txt " + In() + "/x/One.txt", output), 0);
    PakFile list;
    ASSERT_TRUE(list.Open(Out("list.pak")));
    EXPECT_EQ(Names(list), (std::vector<std::string>{"two.txt", "one.txt"})) << "listed files keep their order";

    fs::create_directories(root_ / "empty");
    ASSERT_EQ(Run("--quiet -o " + Out("empty.pak") + " " + (root_ / "empty").string(), output), 0);
    PakFile empty;
    ASSERT_TRUE(empty.Open(Out("empty.pak")));
    EXPECT_EQ(empty.GetEntryCount(), 0u);

    EXPECT_NE(Run("-o " + Out("x.pak") + " " + In() + "/missing", output), 0);
    EXPECT_NE(Run(In(), output), 0) << "no output named";
    EXPECT_NE(Run("--bogus -o " + Out("x.pak") + " " + In(), output), 0);
    EXPECT_FALSE(fs::exists(Out("x.pak")));
}

TEST_F(PakWriterTest, AFullDiskFailsTheWriteAndLeavesNoArchiveUnderTheFinalName)
{
    if (!fs::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full to stand for a full disk";
    // The temporary file is made to point at /dev/full, where every write that reaches the
    // device fails with "no space left". A small archive fits the stream's buffer, so the
    // failure shows only when the buffer is flushed at close; a large one fails on write.
    std::mt19937 random(7);
    std::vector<uint8_t> large(1 << 20);
    for (uint8_t& byte : large)
        byte = static_cast<uint8_t>(random());
    struct Case {
        const char* name;
        std::vector<uint8_t> archive;
        bool olderArchiveThere;
    } cases[] = {{"small.pak", std::vector<uint8_t>(100, 'p'), false},
                 {"small-over-older.pak", std::vector<uint8_t>(100, 'p'), true},
                 {"large.pak", large, false},
                 {"large-over-older.pak", large, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = Out(c.name);
        if (c.olderArchiveThere)
            std::ofstream(path, std::ios::binary) << "an archive of an earlier run";
        fs::create_symlink("/dev/full", path + ".partial");
        std::string error;
        EXPECT_FALSE(WritePakFile(path, c.archive, error));
        EXPECT_NE(error.find("Cannot write [" + path + "]"), std::string::npos) << error;
        EXPECT_NE(error.find(std::strerror(ENOSPC)), std::string::npos) << error;
        EXPECT_FALSE(fs::exists(fs::symlink_status(path))) << "something is left under the final name";
        EXPECT_FALSE(fs::exists(fs::symlink_status(path + ".partial")));
    }

    // The tool reports it and fails.
    Write("a.txt", "a few bytes");
    fs::create_symlink("/dev/full", Out("tool.pak") + ".partial");
    std::string output;
    EXPECT_EQ(Run("--quiet -o " + Out("tool.pak") + " " + In(), output), 1);
    EXPECT_NE(output.find("pakwriter: Cannot write ["), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(fs::symlink_status(Out("tool.pak"))));

    // A writable place still gets its archive after all this.
    std::string error;
    ASSERT_TRUE(WritePakFile(Out("fine.pak"), std::vector<uint8_t>(100, 'p'), error)) << error;
    EXPECT_EQ(Bytes(Out("fine.pak")), std::vector<uint8_t>(100, 'p'));
    EXPECT_FALSE(fs::exists(Out("fine.pak") + ".partial"));
}
