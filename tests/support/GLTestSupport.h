// Test helper for the OpenGL device: a headless device, geometry in screen pixels, image comparison.
#pragma once
#include <gtest/gtest.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "engine/device/gl/GLDevice.h"

// An RGB image with a mask of the pixels whose value is known.
struct ExpectedImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    std::vector<uint8_t> known;

    ExpectedImage(int w, int h);
    // Pixels [x0, x1) x [y0, y1), rows from the top, get colour 0xRRGGBB.
    void Fill(int x0, int y0, int x1, int y1, uint32_t color);
    // Those pixels become unknown (edges of shapes).
    void Ignore(int x0, int y0, int x1, int y1);
};

// Compares every known pixel within tolerance per channel. On failure writes
// <name>.actual.png and <name>.expected.png under STARFALL_TEST_OUTPUT_DIR/gl.
::testing::AssertionResult MatchesImage(const std::vector<uint8_t>& actual, const ExpectedImage& expected,
                                        const std::string& name, int tolerance = 2);

// The 0xRRGGBB value of pixel (x, y) of an RGB image of the given width.
uint32_t PixelAt(const std::vector<uint8_t>& rgb, int width, int x, int y);

// The last frame a rendering test read back, for pixel checks. A fixture calls WriteIfFailed
// from TearDown so a failed test leaves <name>.actual.png under STARFALL_TEST_OUTPUT_DIR/<folder>.
class CapturedFrame {
public:
    CapturedFrame(int width, int height) : width_(width), height_(height) {}
    // Ends the device's scene and reads its back buffer.
    void Capture(GLDevice& device, const std::string& name);
    uint32_t Pixel(int x, int y) const { return PixelAt(rgb_, width_, x, y); }
    // Nothing unless the running test has failed and a frame was captured.
    void WriteIfFailed(const std::string& folder) const;

private:
    int width_;
    int height_;
    std::vector<uint8_t> rgb_;
    std::string name_;
};

// A device initialised headless at width x height x bits, with the ortho camera of the size
// (world x = screen x - width / 2, world y = height / 2 - screen y), culling off, depth off,
// clear colour enabled and black, the back buffer cleared.
std::unique_ptr<GLDevice> MakeTestDevice(int width = 64, int height = 64, int bits = 32);

Vertex MakeVertex(float x, float y, float z, uint32_t color, float u = 0.0f, float v = 0.0f);

// A triangle strip covering screen pixels [x0, x1) x [y0, y1) at depth z for the ortho camera
// of MakeTestDevice, texture coordinates 0..1 over the rectangle (both sets).
std::vector<Vertex> ScreenQuad(const GLDevice& device, float x0, float y0, float x1, float y1, float z,
                               uint32_t color);
// The same for an ortho camera of targetWidth x targetHeight (render targets).
std::vector<Vertex> ScreenQuad(int targetWidth, int targetHeight, float x0, float y0, float x1, float y1, float z,
                               uint32_t color);
// Draws a ScreenQuad as a triangle strip.
void DrawQuad(GLDevice& device, float x0, float y0, float x1, float y1, float z, uint32_t color);
