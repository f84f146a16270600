// Video files the player can export: container and codecs by file extension, and ffmpeg's arguments.
#pragma once
#include <string>
#include <vector>

constexpr double kDefaultVideoFps = 60.0;

struct VideoFormat {
    const char* extension;     // lower case, without the dot
    const char* muxer;         // ffmpeg's name of the container
    int defaultQuality;        // CRF when --video-quality is not given
    int maxQuality;            // highest CRF the encoder takes
    bool webm;                 // VP9 + Opus; otherwise H.264 + AAC
};

// The format chosen by the file name's extension (any case); nullptr when none fits.
const VideoFormat* FindVideoFormat(const std::string& path);

struct VideoEncoding {
    int width = 0;
    int height = 0;
    double fps = kDefaultVideoFps;
    int quality = -1;          // CRF; -1: the format's default
    bool withSound = false;    // a soundtrack arrives on file descriptor 3
    double soundStart = 0.0;   // seconds into the soundtrack the video starts at (--start)
};

// ffmpeg's arguments (program name first): raw RGB frames on standard input, the
// soundtrack's file bytes on descriptor 3, padded with silence and cut where the
// pictures end, written to output in the given format.
std::vector<std::string> FfmpegArguments(const VideoFormat& format, const VideoEncoding& encoding,
                                         const std::string& output);
