// The real player exporting small productions to video files, checked with ffprobe and ffmpeg.
#include <gtest/gtest.h>

#include <png.h>
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/VideoExport.h"
#include "engine/core/Fatal.h"
#include "support/PlayerProcess.h"
#include "support/TestImages.h"

namespace fs = std::filesystem;

namespace {

constexpr double kFps = 25.0;
constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kRate = 44100;

// Mono 16-bit WAV: silence until toneStart seconds, then a loud tone until the end.
std::string SilenceThenTone(double toneStart, double seconds)
{
    const uint32_t samples = static_cast<uint32_t>(seconds * kRate);
    std::string pcm;
    for (uint32_t i = 0; i < samples; ++i) {
        const double t = static_cast<double>(i) / kRate;
        const int16_t v = t < toneStart ? 0 : static_cast<int16_t>(20000 * std::sin(2 * M_PI * 440 * t));
        pcm.push_back(static_cast<char>(v & 0xFF));
        pcm.push_back(static_cast<char>((v >> 8) & 0xFF));
    }
    auto le = [](uint32_t value, int bytes) {
        std::string out;
        for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
        return out;
    };
    return "RIFF" + le(36 + static_cast<uint32_t>(pcm.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) +
           le(1, 2) + le(kRate, 4) + le(kRate * 2, 4) + le(2, 2) + le(16, 2) + "data" +
           le(static_cast<uint32_t>(pcm.size()), 4) + pcm;
}

// Blue from the start, red on top from 0.5 s, the end at 1 s; the sound starts at 0.5 s.
fs::path MakeProduction(const std::string& name, const std::string& endBlock = "TIME 1 {\nEND;\n};\n",
                        double soundSeconds = 3.0)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "video" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    int w = 0, h = 0;
    std::vector<std::vector<int>> rows(6, std::vector<int>(16, 3));
    std::vector<uint8_t> sheet = DrawFontSheet(5, rows, w, h);
    WriteTestFile((dir / "font1.png").string(), EncodePng(w, h, sheet));
    WriteTestFile((dir / "blue.png").string(), EncodePng(32, 32, SolidRgb(32, 32, 0, 0, 255)));
    WriteTestFile((dir / "red.png").string(), EncodePng(32, 32, SolidRgb(32, 32, 255, 0, 0)));
    if (soundSeconds > 0.0)
        WriteTestFile((dir / "tone.wav").string(), SilenceThenTone(0.5, soundSeconds));
    std::string script = soundSeconds > 0.0 ? "MUSICSTREAM \"tone.wav\";\n" : "";
    script += "TIME -1 {\nCREATE GFXLayer {\nTexture \"blue.png\";\nRisingTime 0;\nStableTime 100;\n};\n};\n"
              "TIME 0.5 {\nCREATE GFXLayer {\nTexture \"red.png\";\nRisingTime 0;\nStableTime 100;\n};\n};\n" +
              endBlock;
    std::string crlf;  // the script's lines end as on the system it was written for
    for (char c : script) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    WriteTestFile((dir / "Script.txt").string(), crlf);
    return dir;
}

std::vector<std::string> ExportArgs(const std::string& file, std::vector<std::string> more = {})
{
    std::vector<std::string> args = {"--no-pak", "--video", file, "--fps", "25", "--mode", "160x120x32", "--seed", "3"};
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

PlayerRun Play(const fs::path& dir, const std::vector<std::string>& args,
               std::map<std::string, std::string> env = {})
{
    env.emplace("SDL_AUDIODRIVER", "dummy");
    return RunProcess(STARFALL_EXE, args, dir.string(), env, 120.0);
}

PlayerRun Tool(const char* program, const std::vector<std::string>& args)
{
    // A folder of this process's own: the runner keeps the tool's output in files there, and
    // the test processes ctest starts side by side must not read each other's.
    const fs::path folder =
        fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "video" / ("tool-" + std::to_string(getpid()));
    fs::create_directories(folder);
    return RunProcess(program, args, folder.string(), {}, 60.0);
}

double Probe(const fs::path& file, const std::string& entries, const std::string& stream = "")
{
    std::vector<std::string> args = {"-v", "error"};
    if (!stream.empty()) args.insert(args.end(), {"-select_streams", stream});
    if (entries.find("nb_read_frames") != std::string::npos) args.push_back("-count_frames");
    args.insert(args.end(), {"-show_entries", entries, "-of", "default=nw=1:nk=1", file.string()});
    PlayerRun run = Tool("/usr/bin/ffprobe", args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return std::atof(run.out.c_str());
}

// The picture shown at a time, as RGB rows.
std::vector<uint8_t> FrameAt(const fs::path& file, double seconds)
{
    PlayerRun run = Tool("/usr/bin/ffmpeg", {"-v", "error", "-ss", std::to_string(seconds), "-i", file.string(),
                                             "-frames:v", "1", "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return std::vector<uint8_t>(run.out.begin(), run.out.end());
}

// The sound as 8 kHz mono samples, the way a player hears it.
std::vector<int16_t> Sound(const fs::path& file)
{
    PlayerRun run = Tool("/usr/bin/ffmpeg", {"-v", "error", "-i", file.string(), "-map", "0:a", "-ac", "1",
                                             "-ar", "8000", "-f", "s16le", "-"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    std::vector<int16_t> samples(run.out.size() / 2);
    std::memcpy(samples.data(), run.out.data(), samples.size() * 2);
    return samples;
}

std::vector<uint8_t> CentrePixel(const std::vector<uint8_t>& rgb)
{
    const size_t at = (static_cast<size_t>(kHeight / 2) * kWidth + kWidth / 2) * 3;
    if (rgb.size() < at + 3) return {};
    return {rgb[at], rgb[at + 1], rgb[at + 2]};
}

std::vector<std::string> FolderEntries(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool ReadPng(const fs::path& path, std::vector<uint8_t>& rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.string().c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

// A folder whose "ffmpeg" is the given shell script, ahead of the real one in PATH.
std::string FakeFfmpeg(const fs::path& dir, const std::string& body)
{
    const fs::path bin = dir / "fakebin";
    fs::create_directories(bin);
    WriteTestFile((bin / "ffmpeg").string(), "#!/bin/bash\n" + body);
    fs::permissions(bin / "ffmpeg", fs::perms::owner_all);
    return bin.string() + ":/usr/bin:/bin";
}

}  // namespace

TEST(VideoExport, ASectionHoldsItsOwnPicturesAndTheMusicFromItsStart)
{
    const fs::path dir = MakeProduction("section");
    PlayerRun run = Play(dir, ExportArgs("part.mp4", {"--start", "0.2", "--end", "0.8"}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path file = dir / "part.mp4";
    // Frames 5 to 19 (0.2 s to 0.76 s).
    EXPECT_EQ(Probe(file, "stream=nb_read_frames", "v:0"), 15.0);
    EXPECT_NEAR(Probe(file, "format=duration"), 0.6, 1.0 / kFps + 0.001);
    // The tone starts at production time 0.5 s: 0.3 s into the section's video.
    const std::vector<int16_t> sound = Sound(file);
    size_t onset = 0;
    while (onset < sound.size() && std::abs(sound[onset]) < 3000) ++onset;
    EXPECT_NEAR(onset / 8000.0, 0.3, 1.0 / kFps) << "sound onset";
    const std::vector<uint8_t> blue = CentrePixel(FrameAt(file, 0.1));
    ASSERT_EQ(blue.size(), 3u);
    EXPECT_GT(blue[2], 230);
    const std::vector<uint8_t> red = CentrePixel(FrameAt(file, 0.4));
    ASSERT_EQ(red.size(), 3u);
    EXPECT_GT(red[0], 230);
}

TEST(VideoExport, PicturesAndSoundKeepTimeAndLastAsLongAsTheProduction)
{
    const fs::path dir = MakeProduction("sync");
    for (const char* name : {"out.mp4", "out.mkv", "out.webm"}) {
        SCOPED_TRACE(name);
        PlayerRun run = Play(dir, ExportArgs(name));
        ASSERT_EQ(run.exitCode, 0) << run.err;
        // Not a terminal: no progress line in the log.
        EXPECT_EQ(run.err.find('\r'), std::string::npos) << run.err;
        const fs::path file = dir / name;
        // END at 1 s: the pictures of 0 to 0.96 s, each shown for 1/25 s.
        EXPECT_EQ(Probe(file, "stream=nb_read_frames", "v:0"), 25.0);
        const double duration = Probe(file, "format=duration");
        // Matroska cannot mark the AAC encoder's 1024 lead-in samples as skipped: both
        // streams start that much later there.
        const double leadIn = std::string(name) == "out.mkv" ? 1024.0 / 44100 : 0.0;
        EXPECT_NEAR(duration, 1.0, 1.0 / kFps + leadIn);
        const std::vector<int16_t> sound = Sound(file);
        EXPECT_NEAR(sound.size() / 8000.0, duration, 1.0 / kFps) << "sound length";
        // The tone starts with the red picture, at 0.5 s, give or take a frame.
        size_t onset = 0;
        while (onset < sound.size() && std::abs(sound[onset]) < 3000) ++onset;
        EXPECT_NEAR(onset / 8000.0, 0.5, 1.0 / kFps) << "sound onset";
        const std::vector<uint8_t> blue = CentrePixel(FrameAt(file, 0.4));
        ASSERT_EQ(blue.size(), 3u);
        EXPECT_LT(blue[0], 25);
        EXPECT_GT(blue[2], 230);
        const std::vector<uint8_t> red = CentrePixel(FrameAt(file, 0.6));
        ASSERT_EQ(red.size(), 3u);
        EXPECT_GT(red[0], 230);
        EXPECT_LT(red[2], 25);
    }
    // Nothing else was left beside them.
    EXPECT_EQ(FolderEntries(dir), (std::vector<std::string>{"Script.txt", "blue.png", "font1.png", "out.mkv",
                                                             "out.mp4", "out.webm", "red.png", "tone.wav"}));
}

TEST(VideoExport, FirstFrameIsTheFirstCapturedOneAndSilenceFillsAfterTheMusic)
{
    // The music (0.7 s) ends before the production (1 s); --frames cuts that to 0.8 s.
    const fs::path dir = MakeProduction("first", "TIME 1 {\nEND;\n};\n", 0.7);
    // The sound output the environment names is not used: the soundtrack goes into the file.
    PlayerRun run = Play(dir, ExportArgs("first.mp4", {"--video-quality", "0", "--capture", "shots", "--frames", "20"}),
                         {{"SDL_AUDIODRIVER", "no-such-driver"}});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const fs::path file = dir / "first.mp4";
    EXPECT_NEAR(Probe(file, "format=duration"), 0.8, 1.0 / kFps + 0.001);
    const std::vector<int16_t> sound = Sound(file);
    EXPECT_NEAR(sound.size() / 8000.0, 0.8, 1.0 / kFps);
    // The tail after the music is silent.
    for (size_t i = static_cast<size_t>(0.73 * 8000); i < sound.size(); ++i)
        ASSERT_LT(std::abs(sound[i]), 300) << "sample " << i;

    std::vector<uint8_t> captured;
    ASSERT_TRUE(ReadPng(dir / "shots" / "frame_000000.png", captured));
    const std::vector<uint8_t> first = FrameAt(file, 0.0);
    ASSERT_EQ(first.size(), captured.size());
    double difference = 0.0;
    for (size_t i = 0; i < first.size(); ++i) difference += std::abs(int(first[i]) - int(captured[i]));
    // Lossless apart from the encoder's halved colour resolution at the picture's edges.
    EXPECT_LT(difference / first.size(), 2.0);
}

TEST(VideoExport, FfmpegMissingFailingOrADiskFullEndsWithTheCauseAndNoFileUnderTheName)
{
    const fs::path dir = MakeProduction("failures");
    WriteTestFile((dir / "keep.mp4").string(), "an older video");
    const std::vector<std::string> untouched = FolderEntries(dir);
    const fs::path empty = dir.parent_path() / "failures-empty-bin";
    fs::create_directories(empty);

    struct Case {
        const char* what;
        std::string file;
        std::map<std::string, std::string> env;
        const char* cause;
    } cases[] = {
        {"missing", "keep.mp4", {{"PATH", empty.string()}},
         "Cannot export the video [keep.mp4] : the ffmpeg program was not found; install ffmpeg"},
        {"failing", "keep.mp4",
         {{"PATH", FakeFfmpeg(dir.parent_path() / "failures-fake",
                              "for last; do :; done\necho half > \"$last\"\nhead -c 100000 > /dev/null\n"
                              "echo 'Conversion failed: invented trouble' >&2\nexit 1\n")}},
         "Cannot export the video [keep.mp4] : ffmpeg failed with exit status 1: Conversion failed: invented trouble."},
        {"disk full", "keep.mp4",
         {{"PATH", FakeFfmpeg(dir.parent_path() / "failures-full", "exec /usr/bin/ffmpeg \"${@:1:$#-1}\" /dev/full\n")}},
         "Cannot export the video [keep.mp4] : the disk is full (ffmpeg: "},
        {"no folder", "no/such/folder/out.webm", {}, "Cannot export the video [no/such/folder/out.webm] : ffmpeg failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        PlayerRun run = Play(dir, ExportArgs(c.file), c.env);
        EXPECT_EQ(run.exitCode, 1) << run.err;
        EXPECT_NE(run.err.find(c.cause), std::string::npos) << run.err;
        EXPECT_EQ(ReadTestFile((dir / "keep.mp4").string()), "an older video");
        EXPECT_EQ(FolderEntries(dir), untouched);
    }

    // A processor fault in the middle of the export: reported, and the unfinished video and
    // its encoder are gone with the player.
    const fs::path faulty = MakeProduction(
        "fault", "TIME 0.3 {\nCREATE GFXLayer {\nTexture \"late.png\";\n};\n};\nTIME 1 {\nEND;\n};\n");
    WriteTestFile((faulty / "late.png").string(), EncodePng(8, 8, SolidRgb(8, 8, 0, 255, 0)));
    const std::vector<std::string> before = FolderEntries(faulty);
    PlayerRun fault = Play(faulty, ExportArgs("f.mp4"),
                           {{"LD_PRELOAD", FAULT_INJECTOR_LIB},
                            {"ASAN_OPTIONS", "detect_leaks=0:allow_user_segv_handler=1:use_sigaltstack=0:"
                                             "verify_asan_link_order=0"},
                            {"STARFALL_FAULT_ON_OPEN", "late.png"}});
    EXPECT_EQ(fault.exitCode, 1) << fault.err;
    EXPECT_NE(fault.err.find("Integer divided by Zero."), std::string::npos) << fault.err;
    EXPECT_EQ(FolderEntries(faulty), before);

    // A production without an end cannot become a file; --frames gives it one.
    const fs::path endless = MakeProduction("endless", "");
    PlayerRun run = Play(endless, ExportArgs("x.mp4"));
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Cannot export the video [x.mp4] : the production never ends"), std::string::npos) << run.err;
    EXPECT_FALSE(fs::exists(endless / "x.mp4"));
    PlayerRun limited = Play(endless, ExportArgs("x.mp4", {"--frames", "5"}));
    EXPECT_EQ(limited.exitCode, 0) << limited.err;
    EXPECT_NEAR(Probe(endless / "x.mp4", "format=duration"), 0.2, 1.0 / kFps + 0.001);
}

namespace {

// Runs the player with its standard error on a terminal; returns what the terminal showed.
std::string PlayOnTerminal(const fs::path& dir, const std::vector<std::string>& args, int& status)
{
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(slave, 2);
        close(master);
        close(slave);
        if (chdir(dir.c_str()) != 0) _exit(127);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::vector<char*> argv = {const_cast<char*>(STARFALL_EXE)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(STARFALL_EXE, argv.data());
        _exit(127);
    }
    close(slave);
    std::string shown;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break;  // EIO once the player is gone
        shown.append(buffer, static_cast<size_t>(got));
    }
    close(master);
    waitpid(pid, &status, 0);
    return shown;
}

}  // namespace

TEST(VideoExport, AnFfmpegThatHangsIsStoppedAndTheExportFailsNamingIt)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "video-hang";
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    struct Case {
        const char* what;
        const char* body;   // the fake ffmpeg
        const char* cause;  // after "Cannot export the video [FILE] : "
    } cases[] = {
        {"reads-nothing", "exec sleep 60\n", "ffmpeg took no picture for 0.3 s; it was stopped."},
        {"never-ends", "cat > /dev/null\nexec sleep 60\n",
         "ffmpeg had not finished 0.3 s after the last picture; it was stopped."},
    };
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setenv("PATH", FakeFfmpeg(dir / c.what, c.body).c_str(), 1);
        const std::string output = (dir / "out" / "video.mp4").string();
        const auto started = std::chrono::steady_clock::now();
        std::string error;
        try {
            VideoEncoding encoding;
            encoding.width = 64;
            encoding.height = 48;
            VideoExport video(output, encoding, {}, std::chrono::milliseconds(300));
            const std::vector<uint8_t> picture(64 * 48 * 3, 128);
            for (int frame = 0; frame < 100; ++frame)  // far more than a pipe holds
                video.AddFrame(picture);
            video.Finish();
        } catch (const AppError& raised) {
            error = raised.what();
        }
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(error, "Cannot export the video [" + output + "] : " + c.cause);
        EXPECT_LT(seconds, 10.0) << "the hung ffmpeg was waited for";
        EXPECT_TRUE(FolderEntries(dir / "out").empty());
    }
    setenv("PATH", path.c_str(), 1);
}

TEST(VideoExport, ProgressLineShowsOnATerminalUnlessQuiet)
{
    const fs::path dir = MakeProduction("progress");
    int status = -1;
    const std::string shown = PlayOnTerminal(dir, ExportArgs("p.mp4"), status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << shown;
    // The final state: all of the production's second, at some speed.
    EXPECT_NE(shown.find("1.0 s / 1.0 s (100%)"), std::string::npos) << shown;
    EXPECT_NE(shown.find("frames/s"), std::string::npos) << shown;
    // One line, redrawn in place: every line after the first steps back over its predecessor.
    const std::string up = "\033[A";
    size_t redraws = 0;
    for (size_t at = shown.find(up); at != std::string::npos; at = shown.find(up, at + 1)) ++redraws;
    EXPECT_EQ(static_cast<size_t>(std::count(shown.begin(), shown.end(), '\n')), redraws + 1) << shown;

    const std::string quiet = PlayOnTerminal(dir, ExportArgs("q.mp4", {"--quiet"}), status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << quiet;
    EXPECT_EQ(quiet.find("frames/s"), std::string::npos) << quiet;

    // Capturing pictures shows it too.
    const std::string capture = PlayOnTerminal(
        dir, {"--headless", "--no-pak", "--fps", "25", "--mode", "160x120x32", "--capture", "shots"}, status);
    EXPECT_NE(capture.find("1.0 s / 1.0 s (100%)"), std::string::npos) << capture;

    // A failure is reported below the line, not glued to it.
    const std::string failed = PlayOnTerminal(dir, ExportArgs("no/folder/p.mp4"), status);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << failed;
    const size_t report = failed.find("Cannot export the video [no/folder/p.mp4]");
    ASSERT_NE(report, std::string::npos) << failed;
    EXPECT_TRUE(report == 0 || failed.compare(report - 2, 2, "\r\n") == 0) << failed;
}

namespace {

// The temporary files of unfinished exports in dir.
int PartialFiles(const fs::path& dir)
{
    int partials = 0;
    for (const auto& entry : fs::directory_iterator(dir))
        partials += entry.path().extension() == ".part";
    return partials;
}

// Runs the player as the foreground job of a terminal of its own and, once the export's
// temporary file exists, types Ctrl+C there, as a user would. Returns the wait status.
int CtrlCOnTerminal(const fs::path& dir, const std::vector<std::string>& args, std::string& shown)
{
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        setsid();
        ioctl(slave, TIOCSCTTY, 0);
        for (int fd : {0, 1, 2}) dup2(slave, fd);
        close(master);
        close(slave);
        if (chdir(dir.c_str()) != 0) _exit(127);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::vector<char*> argv = {const_cast<char*>(STARFALL_EXE)};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(STARFALL_EXE, argv.data());
        _exit(127);
    }
    close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    char buffer[4096];
    const auto drain = [&] {
        for (ssize_t got; (got = read(master, buffer, sizeof buffer)) > 0;)
            shown.append(buffer, static_cast<size_t>(got));
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (PartialFiles(dir) == 0 && std::chrono::steady_clock::now() < deadline) {
        drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const char interrupt = 3;  // Ctrl+C: the terminal signals its foreground process group
    if (write(master, &interrupt, 1) != 1) shown += "[Ctrl+C not typed]";
    int status = -1;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        drain();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    drain();
    close(master);
    return status;
}

struct StopPlan {
    fs::path dir;
    std::vector<int> signals;  // sent in turn, half a second apart, once the export runs
    double waitSeconds = 0.0;  // after the start instead of waiting for the temporary file
    std::chrono::steady_clock::time_point lastSent;
};

void SendStopsWhenExporting(int pid, void* data)
{
    auto& plan = *static_cast<StopPlan*>(data);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    if (plan.waitSeconds > 0.0)
        std::this_thread::sleep_for(std::chrono::duration<double>(plan.waitSeconds));
    else
        while (PartialFiles(plan.dir) == 0 && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (int signalNumber : plan.signals) {
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        kill(pid, signalNumber);
        plan.lastSent = std::chrono::steady_clock::now();
    }
}

}  // namespace

// A stopped export is not a finished one: whether Ctrl+C is typed in the terminal (which
// must not reach the encoder first) or a signal comes from elsewhere, the status is the
// signal's, nothing appears under the final name and an older file there stays.
TEST(VideoExport, AStoppedExportLeavesNothingUnderTheFinalNameAndEndsWithTheSignalsStatus)
{
    const fs::path dir = MakeProduction("stopped", "TIME 600 {\nEND;\n};\n");
    WriteTestFile((dir / "keep.mp4").string(), "an older video");

    std::string shown;
    const int status = CtrlCOnTerminal(dir, ExportArgs("keep.mp4"), shown);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 130) << status << "\n" << shown;
    EXPECT_EQ(shown.find("ffmpeg failed"), std::string::npos) << shown;
    EXPECT_TRUE(ReadTestFile((dir / "keep.mp4").string()) == "an older video") << "keep.mp4 was replaced";
    EXPECT_EQ(PartialFiles(dir), 0);

    StopPlan plan{dir, {SIGTERM}};
    PlayerRun run = RunProcess(STARFALL_EXE, ExportArgs("keep.mp4"), dir.string(), {{"SDL_AUDIODRIVER", "dummy"}},
                               120.0, &SendStopsWhenExporting, &plan);
    EXPECT_EQ(run.exitCode, 143) << run.err;
    EXPECT_TRUE(ReadTestFile((dir / "keep.mp4").string()) == "an older video") << "keep.mp4 was replaced";
    EXPECT_EQ(PartialFiles(dir), 0);
}

// The player is never held up by its encoder once told to stop: a stop cuts the wait for
// its end short, and a second stop of another kind ends the player while it is stuck
// feeding one that takes nothing.
TEST(VideoExport, StopsEndTheExportPromptlyWhateverTheEncoderDoes)
{
    const struct {
        const char* what;
        const char* body;  // the fake ffmpeg
        std::vector<int> signals;
        double waitSeconds;
        int exitCode;  // -1: ended by the signal itself
    } cases[] = {
        {"never-ends", "cat > /dev/null\nexec sleep 60\n", {SIGTERM}, 3.0, 143},
        {"takes-nothing", "exec sleep 60\n", {SIGINT, SIGTERM}, 3.0, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = MakeProduction(std::string("prompt-") + c.what, "TIME 0.4 {\nEND;\n};\n");
        WriteTestFile((dir / "keep.mp4").string(), "an older video");
        StopPlan plan{dir, c.signals, c.waitSeconds};
        PlayerRun run = RunProcess(STARFALL_EXE, ExportArgs("keep.mp4"), dir.string(),
                                   {{"SDL_AUDIODRIVER", "dummy"}, {"PATH", FakeFfmpeg(dir / "fake", c.body)}}, 100.0,
                                   &SendStopsWhenExporting, &plan);
        const double afterStop =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - plan.lastSent).count();
        EXPECT_FALSE(run.timedOut);
        EXPECT_LT(afterStop, 10.0) << "waited for the encoder after the stop";
        EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
        EXPECT_TRUE(ReadTestFile((dir / "keep.mp4").string()) == "an older video") << "keep.mp4 was replaced";
    }
}

// A launcher that leaves SIGCHLD ignored must not turn a failed encoder into a success.
TEST(VideoExport, AnEncoderFailureIsSeenEvenWhenSIGCHLDIsInheritedIgnored)
{
    const fs::path dir = MakeProduction("sigchld-ignored");
    WriteTestFile((dir / "keep.mp4").string(), "an older video");
    const std::string fake = FakeFfmpeg(dir / "fake", "for last; do :; done\necho junk > \"$last\"\n"
                                                      "cat > /dev/null\nexit 1\n");
    std::vector<std::string> args = {"-c", "trap '' CHLD; exec \"$0\" \"$@\"", STARFALL_EXE};
    for (const std::string& arg : ExportArgs("keep.mp4")) args.push_back(arg);
    // bash (unlike dash) hands an ignored SIGCHLD on to the program it runs.
    PlayerRun run = RunProcess("/bin/bash", args, dir.string(), {{"SDL_AUDIODRIVER", "dummy"}, {"PATH", fake}}, 120.0);
    EXPECT_EQ(run.exitCode, 1) << run.err;
    EXPECT_NE(run.err.find("ffmpeg failed with exit status 1"), std::string::npos) << run.err;
    EXPECT_TRUE(ReadTestFile((dir / "keep.mp4").string()) == "an older video") << "keep.mp4 was replaced";
    EXPECT_EQ(PartialFiles(dir), 0);
}

TEST(VideoExport, AnEncoderThatStopsReadingTheSoundFailsTheExport)
{
    const fs::path dir = fs::path(STARFALL_TEST_OUTPUT_DIR) / "app" / "video-sound-cut";
    fs::remove_all(dir);
    fs::create_directories(dir / "out");
    const std::string path = std::getenv("PATH") ? std::getenv("PATH") : "/usr/bin:/bin";
    // Closes the sound's pipe at once, takes every picture and reports success.
    setenv("PATH", FakeFfmpeg(dir, "exec 3<&-\nfor last; do :; done\ncat > /dev/null\necho video > \"$last\"\n").c_str(),
           1);
    const std::string output = (dir / "out" / "video.mp4").string();
    std::string error;
    try {
        VideoEncoding encoding;
        encoding.width = 64;
        encoding.height = 48;
        VideoExport video(output, encoding, std::vector<uint8_t>(1 << 20, 7), std::chrono::milliseconds(2000));
        const std::vector<uint8_t> picture(64 * 48 * 3, 128);
        for (int frame = 0; frame < 10; ++frame)
            video.AddFrame(picture);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));  // the encoder has closed the pipe by now
        video.Finish();
    } catch (const AppError& raised) {
        error = raised.what();
    }
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(error, "Cannot export the video [" + output + "] : cannot send the soundtrack to ffmpeg (Broken pipe).");
    EXPECT_TRUE(FolderEntries(dir / "out").empty());
}
