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

    // Reads the current back buffer (width x height from the bottom-left origin of the
    // GL framebuffer) and writes it as folder/frame_NNNNNN.png, numbered from 0.
    void CaptureBackBuffer(int width, int height);
    // Writes already-read RGB rows as the next numbered frame.
    void WriteFrame(const std::vector<uint8_t>& rgb, int width, int height);

    std::string FramePath(long index) const;
    long GetFrameCount() const { return next_; }

private:
    std::string folder_;
    long next_ = 0;
    std::vector<uint8_t> pixels_;
};
