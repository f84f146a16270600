// Capture of presented frames as numbered PNG files (fixed-step recording and tests).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes 8-bit RGB rows (top row first, width * 3 bytes each). False with a reason on failure.
bool WriteRgbPng(const std::string& path, const std::vector<uint8_t>& rgb, int width, int height,
                 std::string& error);

class FrameCapture {
public:
    // Creates the folder when missing (an application error when that fails).
    explicit FrameCapture(const std::string& folder);

    // Writes RGB rows (top first) as folder/frame_NNNNNN.png, numbered from 0; an
    // application error when the file cannot be written.
    void WriteFrame(const std::vector<uint8_t>& rgb, int width, int height);

    std::string FramePath(long index) const;
    long GetFrameCount() const { return next_; }

private:
    std::string folder_;
    long next_ = 0;
};
