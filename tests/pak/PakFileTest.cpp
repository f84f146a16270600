// Tests of the archive reader: lookups, header checks, memory-mode reads and hostile archives.
#include <gtest/gtest.h>
#include <cstring>
#include <string>
#include <vector>
#include <zlib.h>
#include "support/AllocationProbe.h"
#include "support/TestPak.h"
#include "engine/core/Fatal.h"
#include "pak/EmbeddedResource.h"
#include "pak/PakFile.h"
#include "pak/PakFormat.h"
#include "pak/PakReader.h"

namespace {

std::string ReadEntry(const PakFile& pak, const std::string& name)
{
    int32_t size = pak.GetFileSize(name);
    if (size < 0)
        return "<absent>";
    std::string data(static_cast<size_t>(size), '\0');
    if (!pak.ReadFile(name, data.data()))
        return "<failed>";
    return data;
}

// Registers bytes under a resource name for the lifetime of the object.
struct Embedded {
    Embedded(const std::string& name, std::vector<uint8_t> data) : name_(name), bytes(std::move(data))
    {
        RegisterEmbeddedResource(name_.c_str(), bytes.data(), bytes.size());
    }
    ~Embedded() { UnregisterEmbeddedResource(name_.c_str()); }
    std::string name_;
    std::vector<uint8_t> bytes;
};

// A directory entry with every field under the test's control.
struct RawEntry {
    uint32_t dataOffset = 0;
    uint32_t nameLength = 0;
    std::vector<uint8_t> packedName;
    uint32_t statedPackedNameLength = 0; // 0: the real length
    uint32_t packedSize = 0;
    uint32_t dataSize = 0;
};

void Put32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

std::vector<uint8_t> Deflate(const std::string& text, bool withNul)
{
    std::string input = withNul ? text + '\0' : text;
    uLongf length = compressBound(input.size());
    std::vector<uint8_t> out(length);
    compress(out.data(), &length, reinterpret_cast<const Bytef*>(input.data()), input.size());
    out.resize(length);
    return out;
}

RawEntry NamedEntry(const std::string& name)
{
    RawEntry entry;
    entry.nameLength = static_cast<uint32_t>(name.size() + 1);
    entry.packedName = Deflate(name, true);
    return entry;
}

std::vector<uint8_t> RawArchive(const std::vector<RawEntry>& entries, uint32_t count, const std::vector<uint8_t>& tail = {})
{
    std::vector<uint8_t> out = {'P', 'A', 'K', 0x00, 0x02};
    Put32(out, count);
    for (const RawEntry& e : entries) {
        Put32(out, e.dataOffset);
        Put32(out, e.nameLength);
        Put32(out, e.statedPackedNameLength != 0 ? e.statedPackedNameLength : static_cast<uint32_t>(e.packedName.size()));
        out.insert(out.end(), e.packedName.begin(), e.packedName.end());
        Put32(out, e.packedSize);
        Put32(out, e.dataSize);
        Put32(out, 0);
    }
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

} // namespace

TEST(PakFile, LooksUpLowerCasedRequestsAndReturnsFirstOfDuplicates)
{
    ScopedTestPak archive({{"script.txt", "first"},
                           {"Capital.png", "never"},
                           {"script.txt", "second"},
                           {"empty.bin", ""}});
    ASSERT_TRUE(archive.IsOpen());
    PakFile& pak = archive.Pak();
    EXPECT_EQ(pak.GetEntryCount(), 4u);
    EXPECT_EQ(ReadEntry(pak, "SCRIPT.TXT"), "first");
    EXPECT_EQ(ReadEntry(pak, "Script.txt"), "first");
    EXPECT_EQ(pak.GetFileSize("script.txt"), 5);
    // A stored capital letter can never match a lower-cased request.
    EXPECT_EQ(pak.GetFileSize("Capital.png"), -1);
    EXPECT_EQ(pak.GetFileSize("capital.png"), -1);
    // Folders are compared like any other character.
    EXPECT_EQ(pak.GetFileSize("gfx\\script.txt"), -1);
    EXPECT_EQ(ReadEntry(pak, "empty.bin"), "");
    EXPECT_EQ(pak.GetFileSize("missing.txt"), -1);
    char unused = 0;
    EXPECT_FALSE(pak.ReadFile("missing.txt", &unused));
}

TEST(PakFile, HeaderChecksRejectWithoutErrors)
{
    ScopedTestPak empty(std::vector<std::pair<std::string, std::string>>{}, "EMPTY.PAK");
    EXPECT_TRUE(empty.IsOpen());
    EXPECT_EQ(empty.Pak().GetEntryCount(), 0u);
    EXPECT_EQ(empty.Pak().GetFileSize("script.txt"), -1);

    std::vector<uint8_t> good = MakePakBytes({{"a.txt", "a"}});
    std::vector<uint8_t> newer = good;
    newer[3] = 0x01; // version 0x0201
    std::vector<uint8_t> magic = good;
    magic[0] = 'Q';
    for (auto* bytes : {&newer, &magic}) {
        Embedded embedded("BAD.PAK", *bytes);
        PakFile pak;
        EXPECT_NO_THROW(EXPECT_FALSE(pak.Open("bad.pak")));
        EXPECT_FALSE(pak.IsOpen());
        EXPECT_EQ(pak.GetEntryCount(), 0u);
    }
    PakFile missing;
    EXPECT_FALSE(missing.Open("no-such-archive.pak"));
    EXPECT_FALSE(missing.Open(""));
}

TEST(PakReader, MemoryModeFindsResourceByLastComponentAndStaysInside)
{
    Embedded embedded("STARFALL.PAK", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
    PakReader reader;
    // Resource names compare without case, after the last backslash.
    ASSERT_TRUE(reader.Open("C:\\demo\\Starfall.pak"));
    EXPECT_TRUE(reader.IsMemory());
    EXPECT_EQ(reader.Size(), 10u);
    EXPECT_FALSE(reader.Open("Starfall.pak")) << "a reader opens once";

    uint8_t out[8] = {};
    EXPECT_EQ(reader.Seek(-4, 2), 6);
    EXPECT_EQ(reader.Read(out, 4), 4u);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), (std::vector<uint8_t>{7, 8, 9, 10}));
    EXPECT_EQ(reader.Read(out, 4), 0u) << "a read at the end returns nothing";

    // A read that would run past the end returns only what remains.
    std::memset(out, 0xEE, sizeof(out));
    EXPECT_EQ(reader.Seek(8, 0), 8);
    EXPECT_EQ(reader.Read(out, 8), 2u);
    EXPECT_EQ(out[1], 10);
    EXPECT_EQ(out[2], 0xEE);

    EXPECT_EQ(reader.Seek(-3, 1), 7);
    EXPECT_EQ(reader.Seek(5, 7), 0) << "an unknown origin leaves the position";
    EXPECT_EQ(reader.Read(out, 1), 1u);
    EXPECT_EQ(out[0], 8);
    // Before the start wraps far past the end: nothing is read.
    reader.Seek(-20, 0);
    EXPECT_EQ(reader.Read(out, 4), 0u);

    PakReader unnamed;
    EXPECT_FALSE(unnamed.Open(""));
}

TEST(PakFile, TruncatedDataAreaFailsOnlyTheAffectedEntry)
{
    std::vector<uint8_t> bytes = MakePakBytes({{"one.txt", std::string(300, 'x')}, {"two.txt", "second entry"}});
    bytes.resize(bytes.size() - 3);
    ScopedTestPak archive(bytes, "CUT.PAK");
    ASSERT_TRUE(archive.IsOpen());
    EXPECT_EQ(ReadEntry(archive.Pak(), "one.txt"), std::string(300, 'x'));
    EXPECT_EQ(ReadEntry(archive.Pak(), "two.txt"), "<failed>");
}

TEST(PakFile, EveryTruncationPointIsHandledWithoutCrashOrLargeAllocation)
{
    const std::vector<std::pair<std::string, std::string>> files = {
        {"script.txt", "CREATE GFXLayer\r\nEND\r\n"}, {"b.bin", std::string(64, '\x7f')}, {"c", "c"}};
    const std::vector<uint8_t> whole = MakePakBytes(files);
    for (size_t length = 0; length < whole.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + static_cast<long>(length));
        Embedded embedded("CUT.PAK", cut);
        AllocationProbe probe;
        PakFile pak;
        bool opened = false;
        ASSERT_NO_THROW(opened = pak.Open("cut.pak"));
        // Nothing beyond small fixed buffers (the current directory's name among them).
        EXPECT_LE(probe.Largest(), 8192u);
        if (!opened) {
            EXPECT_EQ(pak.GetEntryCount(), 0u);
            continue;
        }
        // Only the data area can be cut when the directory survived.
        ASSERT_EQ(pak.GetEntryCount(), files.size());
        for (const auto& [name, contents] : files) {
            std::string read = ReadEntry(pak, name);
            EXPECT_TRUE(read == contents || read == "<failed>") << name;
        }
        EXPECT_EQ(ReadEntry(pak, files.back().first), "<failed>") << "the last byte belongs to the last entry";
    }
}

TEST(PakFile, MalformedDirectoriesMakeTheArchiveUnusable)
{
    // Name length 0, and one above the cap.
    RawEntry zeroName = NamedEntry("a");
    zeroName.nameLength = 0;
    RawEntry longName = NamedEntry(std::string(PakMaxNameLength, 'n'));
    longName.nameLength = PakMaxNameLength + 1;
    // A packed name longer than the whole archive.
    RawEntry hugePackedName = NamedEntry("a");
    hugePackedName.statedPackedNameLength = 0x7FFFFFF0u;
    RawEntry countTooLarge = NamedEntry("a");

    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"name length 0", RawArchive({zeroName}, 1)},
        {"name length above cap", RawArchive({longName}, 1)},
        {"count beyond the directory", RawArchive({countTooLarge}, 0xFFFFFFFFu)},
        {"packed name past the end", RawArchive({hugePackedName}, 1)},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Embedded embedded("HOSTILE.PAK", c.bytes);
        AllocationProbe probe;
        PakFile pak;
        bool opened = true;
        ASSERT_NO_THROW(opened = pak.Open("hostile.pak"));
        EXPECT_FALSE(opened);
        EXPECT_FALSE(pak.IsOpen());
        EXPECT_LT(probe.Largest(), 64u * 1024u);
    }
}

TEST(PakFile, NameThatDoesNotUnpackToItsLengthRaisesError)
{
    RawEntry shortName = NamedEntry("abc");
    shortName.nameLength = 10;
    RawEntry garbage;
    garbage.nameLength = 4;
    garbage.packedName = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    for (const RawEntry& entry : {shortName, garbage}) {
        Embedded embedded("BADNAME.PAK", RawArchive({entry}, 1));
        PakFile pak;
        try {
            pak.Open("badname.pak");
            ADD_FAILURE() << "no error raised";
        } catch (const AppError& error) {
            EXPECT_STREQ(error.what(), "Error");
        }
        EXPECT_FALSE(pak.IsOpen());
    }
}

TEST(PakFile, ImpossibleSizesReadAsFailedWithoutLargeAllocations)
{
    const std::string payload = "payload bytes";
    std::vector<uint8_t> packedPayload = Deflate(payload, false);

    auto archiveWith = [&](uint32_t packedSize, uint32_t dataSize, uint32_t offsetShift) {
        RawEntry good = NamedEntry("good.txt");
        RawEntry bad = NamedEntry("bad.txt");
        size_t directory = RawArchive({good, bad}, 2).size();
        good.dataOffset = static_cast<uint32_t>(directory);
        good.packedSize = static_cast<uint32_t>(packedPayload.size());
        good.dataSize = static_cast<uint32_t>(payload.size());
        bad.dataOffset = static_cast<uint32_t>(directory) + offsetShift;
        bad.packedSize = packedSize;
        bad.dataSize = dataSize;
        return RawArchive({good, bad}, 2, packedPayload);
    };
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
    };
    const uint32_t packed = static_cast<uint32_t>(packedPayload.size());
    std::vector<Case> cases = {
        {"packed data past the end", archiveWith(0xFFFFFFF0u, 10, 0)},
        {"offset past the end", archiveWith(packed, 13, 0x7FFFFFFFu)},
        {"unpacked size above 64 MiB", archiveWith(packed, PakMaxDataSize + 1, 0)},
        {"unpacked size above the deflate ratio", archiveWith(packed, packed * PakMaxExpansion + 1, 0)},
        {"unpacked size too small", archiveWith(packed, 4, 0)},
        {"unpacked size too large", archiveWith(packed, 200, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Embedded embedded("SIZES.PAK", c.bytes);
        PakFile pak;
        ASSERT_TRUE(pak.Open("sizes.pak"));
        AllocationProbe probe;
        EXPECT_EQ(ReadEntry(pak, "good.txt"), payload);
        EXPECT_LE(pak.GetFileSize("bad.txt"), 200);
        EXPECT_EQ(ReadEntry(pak, "bad.txt"), "<failed>");
        EXPECT_LT(probe.Largest(), 4096u);
    }
}

// Found by fuzzing: an entry whose packed size is 0 read zero bytes into an empty buffer's
// null data (undefined behaviour in the copy). Such entries, with any data size, read as
// failures; zero-byte reads from the archive source are harmless in every position.
TEST(PakFile, EntriesWithNoPackedBytesReadAsFailures)
{
    for (uint32_t dataSize : {0u, 1u, 100u}) {
        SCOPED_TRACE(dataSize);
        RawEntry entry = NamedEntry("empty.txt");
        entry.packedSize = 0;
        entry.dataSize = dataSize;
        entry.dataOffset = 0;  // inside the archive: the empty read happens
        Embedded embedded("NOPACKED.PAK", RawArchive({entry}, 1));
        PakFile pak;
        ASSERT_TRUE(pak.Open("nopacked.pak"));
        std::vector<uint8_t> buffer(dataSize + 1);
        EXPECT_FALSE(pak.ReadFile("empty.txt", buffer.data()));
    }
    PakReader reader;
    static const uint8_t kBytes[1] = {7};
    RegisterEmbeddedResource("ONEBYTE.PAK", kBytes, 1);
    ASSERT_TRUE(reader.Open("onebyte.pak"));
    EXPECT_EQ(reader.Read(nullptr, 0), 0u);
    uint8_t out = 0;
    EXPECT_EQ(reader.Read(&out, 1), 1u);
    EXPECT_EQ(out, 7);
    EXPECT_EQ(reader.Read(nullptr, 0), 0u);
    UnregisterEmbeddedResource("ONEBYTE.PAK");
}
