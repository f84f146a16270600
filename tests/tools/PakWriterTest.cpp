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
#include "tools/pakwriter/PakContents.h"
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

TEST(PakEntryPath, NamesThatCouldLeaveTheFolderAreRefusedOthersMapBelowIt)
{
    struct Case {
        const char* name;
        const char* expected;  // generic path below the folder, or nullptr for a refusal
    } cases[] = {
        {"script.txt", "script.txt"},
        {"gfx\\logo.png", "gfx/logo.png"},
        {"gfx/deep\\x.jpg", "gfx/deep/x.jpg"},
        {"a\\\\b", "a/b"},
        {".\\a\\.\\b", "a/b"},
        {"..name", "..name"},
        {"dots..\\x", "dots../x"},
        {"", nullptr},
        {"/etc/passwd", nullptr},
        {"\\windows\\win.ini", nullptr},
        {"c:evil.txt", nullptr},
        {"C:\\evil.txt", nullptr},
        {"..", nullptr},
        {"../evil.txt", nullptr},
        {"..\\evil.txt", nullptr},
        {"a\\..\\..\\evil.txt", nullptr},
        {"a/../b", nullptr},
        {"a\\..", nullptr},
        {".", nullptr},
        {"a\\.\\", "a"},
        {"\\", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path relative;
        std::string reason;
        const bool accepted = EntryPathBelow(c.name, relative, reason);
        if (c.expected == nullptr) {
            EXPECT_FALSE(accepted) << relative;
            EXPECT_FALSE(reason.empty());
        } else {
            ASSERT_TRUE(accepted) << reason;
            EXPECT_EQ(relative.generic_string(), c.expected);
        }
    }
}

TEST_F(PakWriterTest, ListPrintsEverySizeAndNameInDirectoryOrder)
{
    std::vector<PakSource> sources(3);
    sources[0].name = "script.txt";
    sources[0].data.assign(1000, 'a');
    sources[1].name = "gfx\\logo.png";
    sources[1].data = {1, 2, 3};
    sources[2].name = "script.txt";  // a duplicate is listed too
    std::vector<uint8_t> bytes;
    std::string error;
    ASSERT_TRUE(BuildPak(sources, bytes, error)) << error;
    ASSERT_TRUE(WritePakFile(Out("l.pak"), bytes, error)) << error;
    PakFile pak;
    ASSERT_TRUE(pak.Open(Out("l.pak")));

    std::string output;
    ASSERT_EQ(Run("--list " + Out("l.pak"), output), 0) << output;
    std::string expected = "    packed   unpacked  name\n";
    uint64_t packed = 0;
    for (const auto& entry : pak.GetEntries()) {
        char line[64];
        std::snprintf(line, sizeof line, "%10u %10u  ", entry.packedSize, entry.dataSize);
        expected += line + entry.name + "\n";
        packed += entry.packedSize;
    }
    expected += "3 entries, " + std::to_string(packed) + " bytes packed, 1003 bytes unpacked\n";
    EXPECT_EQ(output, expected);
    EXPECT_LT(pak.GetEntries()[0].packedSize, 1000u) << "the packed size, not the unpacked one";

    // Not an archive, a missing file, wrong arguments.
    Write("plain.txt", "no archive");
    EXPECT_EQ(Run("--list " + In() + "/plain.txt", output), 1);
    EXPECT_NE(output.find("not an archive"), std::string::npos) << output;
    EXPECT_EQ(Run("--list " + Out("missing.pak"), output), 1);
    EXPECT_EQ(Run("--list", output), 2);
    EXPECT_EQ(Run("--list a b", output), 2);
}

TEST_F(PakWriterTest, ExtractRestoresEveryFileAndItsFolders)
{
    std::mt19937 random(3);
    std::string noise(100000, '\0');
    for (char& c : noise)
        c = static_cast<char>(random());
    Write("script.txt", "CREATE\r\nEND\r\n");
    Write("gfx/noise.jpg", noise);
    Write("gfx/deep/empty.dat", "");
    std::string output;
    ASSERT_EQ(Run("--quiet --keep-folders -o " + Out("k.pak") + " " + In(), output), 0) << output;

    const std::string dir = Out("out/nested");
    ASSERT_EQ(Run("--extract " + Out("k.pak") + " " + dir, output), 0) << output;
    auto read = [](const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    EXPECT_EQ(read(fs::path(dir) / "script.txt"), "CREATE\r\nEND\r\n");
    EXPECT_EQ(read(fs::path(dir) / "gfx" / "noise.jpg"), noise);
    EXPECT_TRUE(fs::is_regular_file(fs::path(dir) / "gfx" / "deep" / "empty.dat"));
    EXPECT_EQ(fs::file_size(fs::path(dir) / "gfx" / "deep" / "empty.dat"), 0u);
    EXPECT_NE(output.find("noise.jpg"), std::string::npos) << "it names what it wrote: " << output;

    // Packing the extracted folder again gives the same archive (the names were already in
    // the byte order of their lower-cased forms).
    ASSERT_EQ(Run("--quiet --keep-folders -o " + Out("again.pak") + " " + dir, output), 0) << output;
    EXPECT_EQ(Bytes(Out("k.pak")), Bytes(Out("again.pak")));
}

TEST_F(PakWriterTest, ExtractRefusesEscapingNamesKeepsTheFirstDuplicateAndReportsDamage)
{
    auto build = [&](const char* file, const std::vector<std::pair<std::string, std::string>>& entries) {
        std::vector<PakSource> sources;
        for (const auto& [name, data] : entries) {
            PakSource source;
            source.name = name;
            source.data.assign(data.begin(), data.end());
            sources.push_back(source);
        }
        std::vector<uint8_t> bytes;
        std::string error;
        EXPECT_TRUE(BuildPak(sources, bytes, error)) << error;
        EXPECT_TRUE(WritePakFile(Out(file), bytes, error)) << error;
        return bytes;
    };
    const std::string dir = Out("x");
    std::string output;
    // A hostile name anywhere refuses the whole archive: nothing is written, not even the
    // harmless entries before it.
    for (const char* hostile : {"..\\..\\evil.txt", "../evil.txt", "/tmp/evil.txt", "\\evil.txt", "c:\\evil.txt",
                                "ok\\..\\..\\evil.txt"}) {
        SCOPED_TRACE(hostile);
        fs::remove_all(root_ / "x");
        build("hostile.pak", {{"fine.txt", "fine"}, {hostile, "evil"}});
        EXPECT_EQ(Run("--extract " + Out("hostile.pak") + " " + dir, output), 1);
        EXPECT_NE(output.find("would land outside"), std::string::npos) << output;
        EXPECT_FALSE(fs::exists(fs::path(dir) / "fine.txt"));
        EXPECT_FALSE(fs::exists(root_ / "evil.txt"));
        EXPECT_FALSE(fs::exists(fs::path(STARFALL_TEST_OUTPUT_DIR) / "evil.txt"));
    }

    // Two entries of one name, or two spellings of one place: the first is kept.
    fs::remove_all(root_ / "x");
    build("dup.pak", {{"a\\b.txt", "first"}, {"a/b.txt", "second"}, {"a\\b.txt", "third"}, {"c.txt", "c"}});
    ASSERT_EQ(Run("--extract " + Out("dup.pak") + " " + dir, output), 0) << output;
    std::ifstream in(fs::path(dir) / "a" / "b.txt");
    std::string kept;
    std::getline(in, kept);
    EXPECT_EQ(kept, "first");
    EXPECT_NE(output.find("skipped"), std::string::npos) << output;

    // A symbolic link inside the folder never carries a file out of it.
    fs::remove_all(root_ / "x");
    fs::create_directories(root_ / "x");
    fs::create_directories(root_ / "elsewhere");
    fs::create_directory_symlink(root_ / "elsewhere", root_ / "x" / "link");
    build("link.pak", {{"link\\planted.txt", "planted"}, {"ok.txt", "ok"}});
    EXPECT_EQ(Run("--extract " + Out("link.pak") + " " + dir, output), 1);
    EXPECT_NE(output.find("symbolic link"), std::string::npos) << output;
    EXPECT_FALSE(fs::exists(root_ / "elsewhere" / "planted.txt"));
    EXPECT_TRUE(fs::exists(fs::path(dir) / "ok.txt")) << "the other entries are still written";

    // A damaged entry is reported, the others are extracted.
    fs::remove_all(root_ / "x");
    std::vector<uint8_t> bytes = build("damaged.pak", {{"one.txt", std::string(500, '1')}, {"two.txt", "two"}});
    PakFile pak;
    ASSERT_TRUE(pak.Open(Out("damaged.pak")));
    bytes[pak.GetEntries()[0].dataOffset + 5] ^= 0xFF;
    std::string error;
    ASSERT_TRUE(WritePakFile(Out("damaged.pak"), bytes, error));
    EXPECT_EQ(Run("--extract " + Out("damaged.pak") + " " + dir, output), 1);
    EXPECT_NE(output.find("[one.txt] does not unpack"), std::string::npos) << output;
    EXPECT_TRUE(fs::exists(fs::path(dir) / "two.txt"));

    EXPECT_EQ(Run("--extract " + Out("damaged.pak"), output), 2) << "no folder given";
}
