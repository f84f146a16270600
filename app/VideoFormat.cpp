// Video formats by extension and the ffmpeg command line that writes them.
#include "app/VideoFormat.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

namespace {

// CRF 20 keeps H.264 close to transparent for this material; VP9's scale runs higher
// (32 with an unconstrained bit rate gives about the same look).
const VideoFormat kFormats[] = {
    {"mp4", "mp4", 20, 51, false},
    {"mkv", "matroska", 20, 51, false},
    {"webm", "webm", 32, 63, true},
};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

}  // namespace

const VideoFormat* FindVideoFormat(const std::string& path)
{
    const size_t dot = path.rfind('.');
    const size_t slash = path.rfind('/');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return nullptr;
    const std::string extension = Lower(path.substr(dot + 1));
    for (const VideoFormat& format : kFormats)
        if (extension == format.extension) return &format;
    return nullptr;
}

std::vector<std::string> FfmpegArguments(const VideoFormat& format, const VideoEncoding& encoding,
                                         const std::string& output)
{
    char size[32];
    std::snprintf(size, sizeof size, "%dx%d", encoding.width, encoding.height);
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.9g", encoding.fps);
    const int quality = encoding.quality >= 0 ? encoding.quality : format.defaultQuality;

    std::vector<std::string> args = {"ffmpeg", "-hide_banner", "-nostdin", "-loglevel", "error",
                                     "-y", "-f", "rawvideo", "-pix_fmt", "rgb24", "-s", size,
                                     "-framerate", rate, "-i", "pipe:0"};
    if (encoding.withSound) {
        // The music may be shorter or longer than the pictures: silence fills the rest and
        // the sound stops with the last picture. A section starts it part-way: trimmed as
        // decoded, since an input seek on a pipe lands in the wrong place.
        std::string filter = "apad";
        if (encoding.soundStart > 0.0) {
            char trim[64];
            std::snprintf(trim, sizeof trim, "atrim=start=%.6f,asetpts=N/SR/TB,", encoding.soundStart);
            filter = trim + filter;
        }
        for (const char* arg : {"-i", "pipe:3", "-map", "0:v", "-map", "1:a", "-af"})
            args.emplace_back(arg);
        args.push_back(filter);
        args.emplace_back("-shortest");
    }
    if (format.webm) {
        for (const char* arg : {"-c:v", "libvpx-vp9", "-b:v", "0", "-deadline", "good",
                                "-cpu-used", "4", "-row-mt", "1"})
            args.emplace_back(arg);
    } else {
        for (const char* arg : {"-c:v", "libx264", "-preset", "medium"})
            args.emplace_back(arg);
    }
    args.emplace_back("-crf");
    args.emplace_back(std::to_string(quality));
    args.emplace_back("-pix_fmt");
    args.emplace_back("yuv420p");
    if (encoding.withSound) {
        if (format.webm) {
            for (const char* arg : {"-c:a", "libopus", "-b:a", "160k"}) args.emplace_back(arg);
        } else {
            for (const char* arg : {"-c:a", "aac", "-b:a", "192k"}) args.emplace_back(arg);
        }
    }
    if (std::string(format.muxer) == "mp4") {
        // The index goes first so that players can start before the whole file is there.
        args.emplace_back("-movflags");
        args.emplace_back("+faststart");
    }
    args.emplace_back("-f");
    args.emplace_back(format.muxer);
    args.push_back(output);
    return args;
}
