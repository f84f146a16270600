// The authoring modes: the type reference, the strict check, the starter production and the stack as text.
#include "app/AuthorTools.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <system_error>
#include <vector>

#include "app/CommandLine.h"
#include "app/TimelineSeek.h"
#include "engine/core/Archive.h"
#include "engine/core/Clock.h"
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/scene/TypeCatalog.h"
#include "pak/PakFile.h"
#include "script/LayerStackReport.h"
#include "script/ScriptChecker.h"
#include "script/ScriptParser.h"
#include "script/Timeline.h"
#include "engine/device/RenderDevice.h"

namespace {

constexpr const char* kScriptName = "Script.txt";

// The production's files, as the player finds them: a data folder, the current folder,
// an archive given by path, or the archive built into the player.
void OpenProductionData(const CommandLineOptions& options)
{
    static PakFile pak;
    SetDataFolder(options.dataDir);
    SetArchive(nullptr);
    const std::string name = options.pakPath.empty() ? "Starfall.pak" : options.pakPath;
    if (!options.noPak && options.dataDir.empty() && pak.Open(name))
        SetArchive(&pak);
}

std::string ReadWhole(const char* name, bool& found)
{
    File file;
    found = file.Open(name);
    if (!found)
        return {};
    const std::vector<uint8_t> bytes = file.ReadAll();
    return std::string(bytes.begin(), bytes.end());
}

int Describe(const CommandLineOptions& options, RenderDevice& device)
{
    const TypeCatalog catalog(device);
    if (options.describeType.empty()) {
        std::fputs(DescribeAllTypes(catalog).c_str(), stdout);
        return 0;
    }
    const TypeInfo* type = catalog.Find(options.describeType, TypeFamily::Layer);
    if (type == nullptr)
        type = catalog.Find(options.describeType, TypeFamily::Modifier);
    if (type == nullptr) {
        std::vector<std::string> names;
        for (const TypeInfo& known : catalog.GetTypes())
            names.push_back(known.name);
        const std::string right = SameIgnoringCase(options.describeType, names);
        std::fprintf(stderr, "starfall: no layer type or modifier is named [%s]%s\n%s", options.describeType.c_str(),
                     right.empty() ? "" : (" (names are case-sensitive: " + right + ")").c_str(),
                     DescribeAllTypes(catalog).c_str());
        return 1;
    }
    std::fputs(DescribeType(*type).c_str(), stdout);
    return 0;
}

std::vector<CheckFinding> CheckText(RenderDevice& device, const std::string& text)
{
    const TypeCatalog catalog(device);
    Script script;
    std::vector<CheckFinding> findings = CheckScriptText(text, catalog, script);
    CheckScriptFiles(script, catalog, device, findings);
    return findings;
}

// Findings of the script as the data options find it.
std::vector<CheckFinding> CheckProduction(RenderDevice& device)
{
    bool found = false;
    const std::string text = ReadWhole(kScriptName, found);
    if (!found)
        return {{0, "cannot open file [Script.txt]: the player stops with \"Cannot open file [Script.txt].\""}};
    return CheckText(device, text);
}

int Check(RenderDevice& device)
{
    const std::vector<CheckFinding> findings = CheckProduction(device);
    if (findings.empty()) {
        std::printf("%s: no findings\n", kScriptName);
        return 0;
    }
    std::fputs(FormatFindings(kScriptName, findings).c_str(), stdout);
    std::printf("%zu finding(s)\n", findings.size());
    return 1;
}

int StackAt(const CommandLineOptions& options, RenderDevice& device)
{
    Script script;
    ParseScriptFile(kScriptName, script);
    const TypeCatalog catalog(device);
    std::unique_ptr<Timeline> timeline = StartTimelineAt(device, script, options.stackAt, options.fps);
    if (!timeline) {
        std::fprintf(stderr, "starfall: the production ends (END) before %g s\n", options.stackAt);
        return 1;
    }
    // Read at the frame the seek ended on, not at the moment the reading happens.
    const double rate = options.fps > 0.0 ? options.fps : kSeekFramesPerSecond;
    ClockPin(static_cast<float>(timeline->GetStartTime() + std::lround(options.stackAt * rate) / rate));
    const std::string text = FormatLayerStack(*timeline, ReadLayerStack(*timeline, catalog));
    ClockUnpin();
    std::fputs(text.c_str(), stdout);
    return 0;
}

bool WriteFile(const std::filesystem::path& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return static_cast<bool>(out);
}

// Writes the starter into folder: the script and the music first, then every file a
// check of that script opens from the player's own archive, then a check of the folder
// alone. Any failure removes what was written.
int New(const CommandLineOptions& options, RenderDevice& device)
{
    namespace fs = std::filesystem;
    const fs::path folder = options.newDir;
    std::error_code error;
    const bool existed = fs::exists(folder, error);
    if (existed && (!fs::is_directory(folder, error) || !fs::is_empty(folder, error))) {
        std::fprintf(stderr, "starfall: --new needs a new or empty folder; [%s] is not empty\n", options.newDir.c_str());
        return 1;
    }
    if (!existed && !fs::create_directories(folder, error)) {
        std::fprintf(stderr, "starfall: cannot create [%s]: %s\n", options.newDir.c_str(), error.message().c_str());
        return 1;
    }
    const auto fail = [&](const std::string& why) {
        for (const auto& entry : fs::directory_iterator(folder, error))
            fs::remove_all(entry.path(), error);
        if (!existed)
            fs::remove(folder, error);
        std::fprintf(stderr, "starfall: --new failed: %s\n", why.c_str());
        return 1;
    };
    if (!WriteFile(folder / kScriptName, StarterScript()) ||
        !WriteFile(folder / "music.wav", StarterMusic(20.0, 0.5)))
        return fail("cannot write into " + options.newDir);

    // The images, the font and the scene come from the player's own archive: what the
    // check opens is exactly what the starter needs.
    CommandLineOptions fromPlayer;
    OpenProductionData(fromPlayer);
    SetDataFolder(folder.string());
    ClearUsedFilesForTesting();
    // The archive holds a script of its own: the starter's is checked from its text.
    CheckText(device, StarterScript());
    for (const auto& [name, path] : GetUsedFilePaths()) {
        if (!path.empty())
            continue;  // already in the folder
        bool found = false;
        const std::string bytes = ReadWhole(name.c_str(), found);
        if (!found || !WriteFile(folder / name, bytes))
            return fail("cannot copy [" + name + "] from the player's archive");
    }
    SetArchive(nullptr);
    const std::vector<CheckFinding> findings = CheckProduction(device);
    if (!findings.empty())
        return fail("the starter does not check clean:\n" + FormatFindings(kScriptName, findings));
    std::printf("Wrote a starter production into %s. Play it with:\n  starfall --data %s --no-dialog --windowed\n"
                "Check it after each edit with:\n  starfall --data %s --check\n",
                options.newDir.c_str(), options.newDir.c_str(), options.newDir.c_str());
    return 0;
}

void PutLittleEndian(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

std::string StarterMusic(double seconds, double beatSeconds)
{
    constexpr uint32_t rate = 11025;
    const uint32_t samples = static_cast<uint32_t>(seconds * rate);
    std::string wav = "RIFF";
    PutLittleEndian(wav, 36 + samples, 4);
    wav += "WAVEfmt ";
    PutLittleEndian(wav, 16, 4);
    PutLittleEndian(wav, 1, 2);  // PCM
    PutLittleEndian(wav, 1, 2);  // mono
    PutLittleEndian(wav, rate, 4);
    PutLittleEndian(wav, rate, 4);  // bytes per second
    PutLittleEndian(wav, 1, 2);     // block align
    PutLittleEndian(wav, 8, 2);     // bits per sample
    wav += "data";
    PutLittleEndian(wav, samples, 4);
    // A short 880 Hz tick on every beat, so the picture can be timed by ear.
    const uint32_t beat = static_cast<uint32_t>(beatSeconds * rate);
    for (uint32_t i = 0; i < samples; ++i) {
        const uint32_t inBeat = beat ? i % beat : i;
        double value = 0.0;
        if (inBeat < rate / 20)
            value = 0.4 * std::sin(2.0 * M_PI * 880.0 * inBeat / rate) * (1.0 - inBeat / (rate / 20.0));
        wav.push_back(static_cast<char>(128 + static_cast<int>(std::lround(value * 127.0))));
    }
    return wav;
}

int RunAuthorTool(const CommandLineOptions& options)
{
    try {
        if (!options.newDir.empty())
            return New(options, *MakeDisplaylessDevice());
        OpenProductionData(options);
        const std::unique_ptr<RenderDevice> device = MakeDisplaylessDevice();
        if (options.describe)
            return Describe(options, *device);
        if (options.check)
            return Check(*device);
        return StackAt(options, *device);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "starfall: %s\n", error.what());
        return 1;
    }
}

std::string StarterScript()
{
    static const char* const lines[] = {
        "// Starter production: 20 seconds with a background, a title, a flash and a 3D scene.",
        "// Every line ends with CR LF. Keywords and names are case-sensitive. After each edit run",
        "//   starfall --data THIS_FOLDER --check",
        "// and play it with",
        "//   starfall --data THIS_FOLDER --no-dialog --windowed --author",
        "// The author's guide (docs/AuthorsGuide.md) explains every keyword; starfall --describe TYPE",
        "// lists a layer type's parameters.",
        "",
        "// Header: the music (a click on every half second) and the on-screen read-outs.",
        "MUSICSTREAM \"music.wav\";",
        "SHOWTIME \"Yes\";",
        "TIMESTRETCH \"Yes\";",
        "",
        "// The first block before 0 s is the preload block: its layers are made before the music",
        "// starts, and their StartTime counts from the start of the music.",
        "TIME -1 {",
        "\tDESC \"Preload\";",
        "\t// Background: one image over the whole screen, fading in over 2 s, held 16 s, out 2 s.",
        "\tCREATE \"GFXLayer\" {",
        "\t\tStartTime 0;",
        "\t\tRisingTime 2;",
        "\t\tStableTime 16;",
        "\t\tFallingTime 2;",
        "\t\tTexture \"nightsky.jpg\";",
        "\t};",
        "\t// Title: glyphs cut from a 512 x 512 sheet of 32 x 32 cells, 16 a row, from \"!\" on.",
        "\t// Offsets are in the perspective camera's units (the screen is about 2.07 high).",
        "\tCREATE \"TextLayer\" {",
        "\t\tStartTime 1;",
        "\t\tRisingTime 1.5;",
        "\t\tStableTime 3;",
        "\t\tFallingTime 1;",
        "\t\tTexture \"glyphs.jpg\";",
        "\t\tAlphaTexture \"glyphs_a.png\";",
        "\t\tText \"MY FIRST DEMO\";",
        "\t\tXScale 0.15;",
        "\t\tYScale 0.15;",
        "\t\tTracking 0.02;",
        "\t\tXOffset -1.2;",
        "\t\tYOffset 0.3;",
        "\t\tZOffsetStart 3;",
        "\t};",
        "\t// A white flash on the beat at 6 s (it opens white.jpg by itself).",
        "\tCREATE \"Flash\" {",
        "\t\tStartTime 6;",
        "\t\tRisingTime 0.02;",
        "\t\tStableTime 0;",
        "\t\tFallingTime 0.5;",
        "\t};",
        "\t// A 3D scene from 6 s to 18 s, seen through its camera Camera01, with a glow on the",
        "\t// scene's object Lens. A named layer stays on the stack after its LifeTime.",
        "\tCREATE \"MDLPlayer\" {",
        "\t\tNAME \"Scene\";",
        "\t\tStartTime 6;",
        "\t\tLifeTime 12;",
        "\t\tMDLFile \"station.mdl\";",
        "\t\tCurrentCamera \"Camera01\";",
        "\t\tNearPlane 1;",
        "\t\tFarPlane 3000;",
        "\t\t// A modifier: created inside the scene player's CREATE, attached by ObjetName.",
        "\t\tCREATE \"GlowEffect\" {",
        "\t\t\tStartTime 6;",
        "\t\t\tObjetName \"Lens\";",
        "\t\t\tTexture \"glow.jpg\";",
        "\t\t};",
        "\t};",
        "};",
        "",
        "// A block at 12 s: the scene changes camera.",
        "TIME 12 {",
        "\tUPDATE \"Scene\" {",
        "\t\tCurrentCamera \"Camera02\";",
        "\t};",
        "};",
        "",
        "// The end of the production.",
        "TIME 20 {",
        "\tEND;",
        "};",
    };
    std::string text;
    for (const char* line : lines)
        text += std::string(line) + "\r\n";
    return text;
}
