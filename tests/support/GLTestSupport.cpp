// Test helper for the OpenGL device: headless set-up, screen quads, image comparison and PNG dumps.
#include "support/GLTestSupport.h"
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include "support/TestImages.h"

ExpectedImage::ExpectedImage(int w, int h)
    : width(w), height(h), rgb(static_cast<size_t>(w) * h * 3, 0), known(static_cast<size_t>(w) * h, 0)
{
}

void ExpectedImage::Fill(int x0, int y0, int x1, int y1, uint32_t color)
{
    for (int y = std::max(y0, 0); y < std::min(y1, height); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) {
            size_t i = static_cast<size_t>(y) * width + x;
            rgb[i * 3] = static_cast<uint8_t>(color >> 16);
            rgb[i * 3 + 1] = static_cast<uint8_t>(color >> 8);
            rgb[i * 3 + 2] = static_cast<uint8_t>(color);
            known[i] = 1;
        }
}

void ExpectedImage::Ignore(int x0, int y0, int x1, int y1)
{
    for (int y = std::max(y0, 0); y < std::min(y1, height); ++y)
        for (int x = std::max(x0, 0); x < std::min(x1, width); ++x) known[static_cast<size_t>(y) * width + x] = 0;
}

namespace {

void WritePng(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb)
{
    std::ofstream out(path, std::ios::binary);
    std::string png = EncodePng(width, height, rgb);
    out.write(png.data(), static_cast<std::streamsize>(png.size()));
}

}  // namespace

::testing::AssertionResult MatchesImage(const std::vector<uint8_t>& actual, const ExpectedImage& expected,
                                        const std::string& name, int tolerance)
{
    if (actual.size() != expected.rgb.size())
        return ::testing::AssertionFailure() << name << ": image size " << actual.size() << " instead of "
                                             << expected.rgb.size();
    int wrong = 0;
    std::string first;
    for (int y = 0; y < expected.height; ++y)
        for (int x = 0; x < expected.width; ++x) {
            size_t i = static_cast<size_t>(y) * expected.width + x;
            if (!expected.known[i]) continue;
            for (int c = 0; c < 3; ++c) {
                if (std::abs(int(actual[i * 3 + c]) - int(expected.rgb[i * 3 + c])) > tolerance) {
                    if (wrong == 0) {
                        char text[160];
                        std::snprintf(text, sizeof(text), "first at (%d, %d): %06X instead of %06X", x, y,
                                      PixelAt(actual, expected.width, x, y), PixelAt(expected.rgb, expected.width, x, y));
                        first = text;
                    }
                    ++wrong;
                    break;
                }
            }
        }
    if (wrong == 0) return ::testing::AssertionSuccess();
    std::filesystem::path dir = std::filesystem::path(STARFALL_TEST_OUTPUT_DIR) / "gl";
    std::filesystem::create_directories(dir);
    WritePng((dir / (name + ".actual.png")).string(), expected.width, expected.height, actual);
    WritePng((dir / (name + ".expected.png")).string(), expected.width, expected.height, expected.rgb);
    return ::testing::AssertionFailure() << name << ": " << wrong << " pixels differ, " << first << "; images in "
                                         << dir.string();
}

void CapturedFrame::Capture(GLDevice& device, const std::string& name)
{
    device.EndScene();
    rgb_ = device.ReadBackBuffer();
    name_ = name;
}

void CapturedFrame::WriteIfFailed(const std::string& folder) const
{
    if (!::testing::Test::HasFailure() || rgb_.empty()) return;
    const std::filesystem::path dir = std::filesystem::path(STARFALL_TEST_OUTPUT_DIR) / folder;
    std::filesystem::create_directories(dir);
    WritePng((dir / (name_ + ".actual.png")).string(), width_, height_, rgb_);
}

uint32_t PixelAt(const std::vector<uint8_t>& rgb, int width, int x, int y)
{
    size_t i = (static_cast<size_t>(y) * width + x) * 3;
    return (uint32_t(rgb[i]) << 16) | (uint32_t(rgb[i + 1]) << 8) | rgb[i + 2];
}

std::unique_ptr<GLDevice> MakeTestDevice(int width, int height, int bits)
{
    auto device = std::make_unique<GLDevice>();
    device->SelectDriver(device->GetDriver(0));
    device->SelectDevice(device->GetDriver(0).GetDevice(0));
    device->Init(nullptr, false, width, height, bits);
    device->SetOrtho(static_cast<float>(width), static_cast<float>(height), 0.0f, 1.0f);
    device->SetCullMode(CullMode::None);
    device->EnableDepth(false);
    device->EnableClearColor(true);
    device->SetClearColor(0, 0, 0);
    device->Clear(0);
    return device;
}

Vertex MakeVertex(float x, float y, float z, uint32_t color, float u, float v)
{
    Vertex vertex{};
    vertex.x = x;
    vertex.y = y;
    vertex.z = z;
    vertex.nz = -1.0f;
    vertex.color = color;
    vertex.u0 = vertex.u1 = u;
    vertex.v0 = vertex.v1 = v;
    return vertex;
}

std::vector<Vertex> ScreenQuad(const GLDevice& device, float x0, float y0, float x1, float y1, float z,
                               uint32_t color)
{
    return ScreenQuad(device.GetWidth(), device.GetHeight(), x0, y0, x1, y1, z, color);
}

void DrawQuad(GLDevice& device, float x0, float y0, float x1, float y1, float z, uint32_t color)
{
    std::vector<Vertex> quad = ScreenQuad(device, x0, y0, x1, y1, z, color);
    device.Draw(PrimitiveType::TriangleStrip, quad.data(), 4);
}

std::vector<Vertex> ScreenQuad(int targetWidth, int targetHeight, float x0, float y0, float x1, float y1, float z,
                               uint32_t color)
{
    float hw = targetWidth / 2.0f, hh = targetHeight / 2.0f;
    // Pixel centres sit on integers: a pixel's area is [x - 0.5, x + 0.5).
    float left = x0 - 0.5f - hw, right = x1 - 0.5f - hw;
    float top = hh - (y0 - 0.5f), bottom = hh - (y1 - 0.5f);
    return {MakeVertex(left, top, z, color, 0, 0), MakeVertex(right, top, z, color, 1, 0),
            MakeVertex(left, bottom, z, color, 0, 1), MakeVertex(right, bottom, z, color, 1, 1)};
}
