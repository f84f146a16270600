// The production's own data files cut short, and absurd headers, read the way the player reads them:
// a clean load or a clean fatal error every time, never a crash or an allocation the input cannot justify.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/core/FilePath.h"
#include "engine/core/Image.h"
#include "engine/device/Font.h"
#include "engine/scene/Scene.h"
#include "pak/PakFormat.h"
#include "script/ScriptParser.h"
#include "sound/SoundSystem.h"
#include "support/AllocationProbe.h"
#include "support/MemoryArchive.h"
#include "support/PlayerProcess.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"
#include "tools/mdltool/MdlWriter.h"

namespace fs = std::filesystem;

namespace {

const DisplayFormat kDisplay32{32, 0x00FF0000};

enum class Outcome { Loaded, Fatal };

// Reads name from the process archive as the player would: the font sheet as a font,
// images through LoadGFX, scenes loaded with their textures and drawn once, the script
// parsed, the music played.
Outcome ReadAsThePlayerDoes(const std::string& name, RecordingDevice& device)
{
    try {
        const std::string extension = UpperExtension(name.c_str());
        if (name == "font1.png") {
            Font font(&device, name.c_str());
            font.PrintText(nullptr, 0, 0, "Starfall");
        } else if (extension == "JPG" || extension == "PNG") {
            uint32_t width = 0, height = 0;
            LoadGFX(name.c_str(), ImageConversion::ForDisplay, kDisplay32, width, height);
        } else if (extension == "MDL") {
            Scene scene(device);
            scene.Load(name.c_str());
            scene.LoadTextures();
            scene.Draw(10.0f);
            scene.ReleaseTextures();
        } else if (extension == "TXT") {
            Script script;
            ParseScriptFile(name, script);
        } else if (extension == "MP3") {
            std::vector<uint8_t> music;
            const uint32_t stream = SoundSystem::PlayMusicFile(name, music);
            SoundSystem::Stop();
            SoundSystem::StreamFree(stream);
        } else {
            ADD_FAILURE() << "no reader for " << name;
        }
        return Outcome::Loaded;
    } catch (const AppError&) {
    } catch (const CUserException&) {
    }
    ClearLibraryErrorForTesting();
    return Outcome::Fatal;
}

// Lengths to cut a file of size bytes at: every length below dense, spread more evenly
// up to the end, and the last bytes. STARFALL_EVERY_CUT=1 takes every length (slow: for
// a long run by hand).
std::vector<size_t> CutPoints(size_t size, size_t dense, size_t spread)
{
    std::vector<size_t> points;
    const char* every = std::getenv("STARFALL_EVERY_CUT");
    if (every != nullptr && std::string(every) == "1")
        dense = size;
    for (size_t n = 0; n < size && n < dense; ++n)
        points.push_back(n);
    for (size_t k = 1; k <= spread && size > dense; ++k)
        points.push_back(dense + (size - dense) * k / (spread + 1));
    for (size_t back = 1; back <= 8 && back <= size; ++back)
        points.push_back(size - back);
    return points;
}

struct DataFile {
    std::string name;
    std::string bytes;
};

std::vector<DataFile> ProductionData()
{
    std::vector<DataFile> files;
    for (const auto& entry : fs::directory_iterator(fs::path(STARFALL_SOURCE_DIR) / "data"))
        if (entry.is_regular_file())
            files.push_back({entry.path().filename().string(), ReadTestFile(entry.path().string())});
    std::sort(files.begin(), files.end(), [](const DataFile& a, const DataFile& b) { return a.name < b.name; });
    return files;
}

// How densely each kind is cut: small and structured files at every early byte, the long
// decodes (images, music) more sparsely so the suite stays quick.
std::vector<size_t> CutPointsFor(const DataFile& file)
{
    const std::string extension = UpperExtension(file.name.c_str());
    if (file.name == "font1.png")
        return CutPoints(file.bytes.size(), file.bytes.size(), 0);
    if (extension == "JPG" || extension == "PNG")
        return CutPoints(file.bytes.size(), 48, 24);
    if (extension == "MP3")
        return CutPoints(file.bytes.size(), 16, 12);
    return CutPoints(file.bytes.size(), 2048, 256);
}

void PutBig32(std::string& bytes, size_t at, uint32_t value)
{
    for (int k = 0; k < 4; ++k)
        bytes[at + k] = static_cast<char>(value >> (24 - 8 * k));
}

// A PNG whose header claims width x height (its checksum made right again).
std::string PngClaiming(uint32_t width, uint32_t height)
{
    std::string png = EncodePng(4, 4, SolidRgb(4, 4, 10, 20, 30));
    PutBig32(png, 16, width);  // IHDR data starts after signature, length and type
    PutBig32(png, 20, height);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(png.data() + 12), 17);
    PutBig32(png, 29, static_cast<uint32_t>(crc));
    return png;
}

// A 4 x 4 PNG with a chunk of the given type after its header that claims length bytes
// (and holds a few).
std::string PngWithChunkClaiming(const char* type, uint32_t length)
{
    std::string png = EncodePng(4, 4, SolidRgb(4, 4, 10, 20, 30));
    std::string chunk(8, '\0');
    PutBig32(chunk, 0, length);
    chunk.replace(4, 4, type, 4);
    return png.insert(33, chunk + "date:2026 and more text");  // after the signature and IHDR
}

// A JPEG whose frame header claims width x height.
std::string JpegClaiming(uint16_t width, uint16_t height)
{
    std::string jpeg = EncodeJpeg(8, 8, 3, SolidRgb(8, 8, 10, 20, 30));
    const size_t frame = jpeg.find("\xFF\xC0");
    jpeg[frame + 5] = static_cast<char>(height >> 8);
    jpeg[frame + 6] = static_cast<char>(height & 0xFF);
    jpeg[frame + 7] = static_cast<char>(width >> 8);
    jpeg[frame + 8] = static_cast<char>(width & 0xFF);
    return jpeg;
}

}  // namespace

TEST(HostileData, EveryProductionFileCutShortLoadsOrFailsCleanly)
{
    const std::vector<DataFile> files = ProductionData();
    ASSERT_GT(files.size(), 10u);
    MemoryArchive archive;
    for (const DataFile& file : files)
        archive.Add(file.name, file.bytes);
    SoundSystem::Init();
    RecordingDevice device;
    device.Open(640, 480, 32);
    size_t cuts = 0;
    for (const DataFile& file : files) {
        SCOPED_TRACE(file.name);
        // The whole file loads: the reader is right, so the failures below come from the cuts.
        EXPECT_EQ(ReadAsThePlayerDoes(file.name, device), Outcome::Loaded);
        for (size_t length : CutPointsFor(file)) {
            archive.Add(file.name, file.bytes.substr(0, length));
            AllocationProbe probe(AllocationProbe::Count::MallocToo);
            ReadAsThePlayerDoes(file.name, device);
            // Nothing here is bigger than a 512 x 512 picture or a scene's buffers.
            EXPECT_LT(probe.Largest(), 16u << 20) << "cut at " << length;
            ++cuts;
        }
        archive.Add(file.name, file.bytes);
    }
    SoundSystem::Shutdown();
    EXPECT_GT(cuts, 20000u);
}

TEST(HostileData, AbsurdHeadersAreRefusedBeforeAnythingLargeIsAllocated)
{
    MdlFile scene;
    scene.meshes.push_back(MakeQuadMesh("Quad", "", 1.0f, {}));
    std::vector<uint8_t> sceneBytes = WriteMdl(scene);
    std::string hugeMeshCount(sceneBytes.begin(), sceneBytes.end());
    for (int k = 0; k < 4; ++k)
        hugeMeshCount[13 + k] = static_cast<char>(0xFF);  // the mesh count, little-endian

    struct Case {
        const char* what;
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"PNG 65536 x 65536", "huge.png", PngClaiming(65536, 65536)},
        {"PNG 2^31 - 1 wide", "wide.png", PngClaiming(0x7FFFFFFF, 1)},
        {"PNG at the edge cap but over the byte cap", "big.png", PngClaiming(16384, 16384)},
        {"JPEG 65535 x 65535", "huge.jpg", JpegClaiming(65535, 65535)},
        {"JPEG 65500 x 65500 (the decoder's own limit)", "limit.jpg", JpegClaiming(65500, 65500)},
        {"JPEG at the edge cap but over the byte cap", "big.jpg", JpegClaiming(16384, 16384)},
        {"JPEG 65535 x 1", "wide.jpg", JpegClaiming(65535, 1)},
        {"font sheet 65536 x 65536", "font1.png", PngClaiming(65536, 65536)},
        {"PNG text chunk of 2^31 - 1 bytes", "text.png", PngWithChunkClaiming("tEXt", 0x7FFFFFFF)},
        {"PNG unknown critical chunk of 600 MB", "critical.png", PngWithChunkClaiming("Xtda", 600000000)},
        {"font sheet with a chunk of 600 MB", "font1.png", PngWithChunkClaiming("Xtda", 600000000)},
        {"scene with 2^32 - 1 meshes", "huge.mdl", hugeMeshCount},
    };
    RecordingDevice device;
    device.Open(640, 480, 32);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryArchive archive;
        archive.Add(c.name, c.bytes);
        // The C readers' own allocations count too (libpng allocated what a chunk claimed).
        AllocationProbe probe(AllocationProbe::Count::MallocToo);
        EXPECT_EQ(ReadAsThePlayerDoes(c.name, device), Outcome::Fatal);
        EXPECT_LT(probe.Largest(), 1u << 20);
    }
}

TEST(HostileData, ArchiveEntriesClaimingHugeSizesReadAsMissingOrEmpty)
{
    // Entry sizes near 2^31 and 2^32 in a real archive: File never allocates for them.
    std::vector<uint8_t> bytes = MakePakBytes({{"a.txt", "hello"}, {"b.txt", "world"}});
    // Directory: header (9), then per entry offset, name length, packed name length,
    // the packed name, packed size, data size, reserved.
    size_t at = PakHeaderSize;
    for (uint32_t claimed : {0x7FFFFFFFu, 0xFFFFFFFFu}) {
        const uint32_t packedNameLength = bytes[at + 8] | bytes[at + 9] << 8 | bytes[at + 10] << 16 |
                                          static_cast<uint32_t>(bytes[at + 11]) << 24;
        const size_t dataSizeAt = at + 12 + packedNameLength + 4;
        for (int k = 0; k < 4; ++k)
            bytes[dataSizeAt + k] = static_cast<uint8_t>(claimed >> (8 * k));
        at = dataSizeAt + 8;
    }
    ScopedTestPak pak(bytes, "HUGESIZES.PAK");
    ASSERT_TRUE(pak.IsOpen());
    for (const char* name : {"a.txt", "b.txt"}) {
        SCOPED_TRACE(name);
        AllocationProbe probe;
        File file;
        if (file.Open(name)) {
            EXPECT_TRUE(file.ReadAll().empty());
        }
        EXPECT_LT(probe.Largest(), 64u * 1024u);
    }
}
