// Back-buffer work under a later opaque full-screen draw is dropped, and the picture stays exactly the same.
#include "engine/device/Surface.h"
#include "engine/device/Texture.h"
#include "engine/device/VertexBuffer.h"
#include "support/GLTestSupport.h"
#include "support/HeadlessGL.h"

namespace {

constexpr int kWidth = 48, kHeight = 32;
constexpr uint32_t kCover = 0x336699u;

// The screen filled with one opaque colour, the depth test off.
void Cover(GLDevice& device)
{
    device.EnableDepth(false);
    DrawQuad(device, 0, 0, kWidth, kHeight, 0.5f, 0xFF000000u | kCover);
}

// A quad that samples stage 0's texture alone.
void DrawTextured(GLDevice& device, Texture* texture, float x0, float x1)
{
    device.SetTexture(0, texture);
    device.SetColorOp(0, ColorOp::SelectArg1);
    device.SetColorArg1(0, ColorArg::Texture);
    DrawQuad(device, x0, 0, x1, kHeight, 0.5f, 0xFFFFFFFFu);
    device.SetTexture(0, nullptr);
    device.SetColorOp(0, ColorOp::Modulate);
}

// Fills a render target with one colour (0xRRGGBB) and returns to the back buffer.
void FillTarget(GLDevice& device, Texture* target, uint32_t color)
{
    device.SetRenderTarget(target);
    device.SetClearColor(((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f);
    device.Clear(0);
    device.SetRenderTarget(nullptr);
    device.SetClearColor(0, 0, 0);
}

}  // namespace

class GLCoveredWork : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason;
        if (!OpenHeadlessGLDevice(kWidth, kHeight, 32, reason)) {
            SKIP_OR_FAIL_WITHOUT_GL(reason);
        }
    }

    // The test device, with covered work dropped or sent as drawn.
    static std::unique_ptr<GLDevice> Device(bool skip)
    {
        auto device = MakeTestDevice(kWidth, kHeight);
        device->SetSkipCoveredWork(skip);
        return device;
    }
};

TEST_F(GLCoveredWork, CoveredDrawsAreDroppedAndThePictureIsTheSame)
{
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint64_t> dropped, draws;
    uint64_t reduced = 0;
    for (bool skip : {false, true}) {
        auto device = Device(skip);
        const uint64_t drawsBefore = device->GetGLDrawCount();
        DrawQuad(*device, 0, 0, 24, 16, 0.5f, 0xFFFF0000u);  // colour only: covered
        device->EnableDepth(true);
        device->SetDepthFunc(CompareFunc::Less);
        DrawQuad(*device, 30, 20, 40, 30, 0.1f, 0xFF00FF00u);  // its colour is covered, its depth is not
        Cover(*device);
        device->EnableDepth(true);
        DrawQuad(*device, 28, 18, 44, 31, 0.3f, 0xFFFFFF00u);  // cut where the green quad's depth lies
        frames.push_back(device->ReadBackBuffer());
        dropped.push_back(device->GetCoveredCommandCount());
        draws.push_back(device->GetGLDrawCount() - drawsBefore);
        reduced = device->GetReducedClearCount();
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(dropped[0], 0u);
    EXPECT_EQ(dropped[1], 1u);  // the red quad; the clear stays for its depth
    EXPECT_EQ(reduced, 1u);
    EXPECT_EQ(draws[0], 4u);
    EXPECT_EQ(draws[1], 3u);
    EXPECT_TRUE(frames[0] == frames[1]) << "dropping covered work changed the picture";
    ExpectedImage image(kWidth, kHeight);
    image.Fill(0, 0, kWidth, kHeight, kCover);
    image.Fill(28, 18, 44, 31, 0xFFFF00);
    image.Fill(30, 20, 40, 30, kCover);
    EXPECT_TRUE(MatchesImage(frames[1], image, "covered_work_dropped", 0));
}

TEST_F(GLCoveredWork, ClearsUnderACoverKeepOnlyTheirDepthAndLaterClearsHideEverything)
{
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint64_t> dropped;
    for (bool skip : {false, true}) {
        auto device = Device(skip);
        // Depth cleared to 1 under the cover: a draw at 0.9 with Less passes.
        device->SetClearColor(1, 0, 0);
        device->Clear(0);
        Cover(*device);
        device->EnableDepth(true);
        device->SetDepthFunc(CompareFunc::Less);
        DrawQuad(*device, 4, 4, 12, 12, 0.9f, 0xFF00FF00u);
        frames.push_back(device->ReadBackBuffer());
        // A frame under a later clear is dropped whole (the cover too).
        DrawQuad(*device, 0, 0, 24, 16, 0.5f, 0xFFFF0000u);
        Cover(*device);
        device->SetClearColor(0, 0, 1);
        device->Clear(0);
        frames.push_back(device->ReadBackBuffer());
        dropped.push_back(device->GetCoveredCommandCount());
    }
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_EQ(dropped[0], 0u);
    EXPECT_EQ(dropped[1], 3u);  // the set-up's black clear under the red one; red quad and cover
    EXPECT_TRUE(frames[0] == frames[2]);
    EXPECT_TRUE(frames[1] == frames[3]);
    EXPECT_EQ(PixelAt(frames[2], kWidth, 8, 8), 0x00FF00u);
    EXPECT_EQ(PixelAt(frames[2], kWidth, 20, 20), kCover);
    EXPECT_EQ(PixelAt(frames[3], kWidth, 20, 10), 0x0000FFu);
}

TEST_F(GLCoveredWork, AReadBackOrATargetChangeBetweenKeepsTheCoveredDraw)
{
    auto device = Device(true);
    DrawQuad(*device, 0, 0, 24, 16, 0.5f, 0xFFFF0000u);
    const std::vector<uint8_t> before = device->ReadBackBuffer();
    EXPECT_EQ(PixelAt(before, kWidth, 5, 5), 0xFF0000u);
    EXPECT_EQ(PixelAt(before, kWidth, 30, 20), 0u);
    device->QueueReadBack();
    Cover(*device);
    EXPECT_EQ(PixelAt(device->ReadBackBuffer(), kWidth, 5, 5), kCover);
    std::vector<uint8_t> queued;
    ASSERT_TRUE(device->TakeReadBack(queued, true));
    EXPECT_TRUE(queued == before) << "the queued read-back must show the draw made before it";
    EXPECT_EQ(device->GetCoveredCommandCount(), 0u);

    // A render target drawn into while a pending draw samples it sends that draw first: a
    // cover after it can no longer drop it.
    Texture* target = device->CreateTexture();
    target->CreateRenderTarget(8);
    device->SetOrtho(kWidth, kHeight, 0, 1);
    DrawTextured(*device, target, 0, 24);
    const uint64_t draws = device->GetGLDrawCount();
    FillTarget(*device, target, 0x00FF00);
    EXPECT_EQ(device->GetGLDrawCount(), draws + 1);
    device->SetOrtho(kWidth, kHeight, 0, 1);
    Cover(*device);
    EXPECT_EQ(PixelAt(device->ReadBackBuffer(), kWidth, 5, 5), kCover);
    EXPECT_EQ(device->GetCoveredCommandCount(), 0u);
    device->DestroyTexture(target);
}

TEST_F(GLCoveredWork, PendingDrawsSeeTexturesAndBuffersAsTheyWereWhenDrawn)
{
    std::vector<std::vector<uint8_t>> frames;
    for (bool skip : {false, true}) {
        auto device = Device(skip);
        Texture* target = device->CreateTexture();
        target->CreateRenderTarget(8);
        FillTarget(*device, target, 0xFF0000);
        device->SetOrtho(kWidth, kHeight, 0, 1);
        DrawTextured(*device, target, 0, 12);  // red
        // Drawing into the target it samples must not reach the pending draw.
        FillTarget(*device, target, 0x00FF00);
        device->SetOrtho(kWidth, kHeight, 0, 1);
        DrawTextured(*device, target, 12, 24);  // green
        // Nor may Unlock.
        int pitch = 0;
        auto* pixels = static_cast<uint32_t*>(target->Lock(pitch));
        ASSERT_NE(pixels, nullptr);
        for (int i = 0; i < 8 * 8; ++i) pixels[i] = 0x000000FFu;
        target->Unlock();
        DrawTextured(*device, target, 24, 36);  // blue

        // A vertex buffer drawn, then changed (vertices, then indices) before anything is sent.
        VertexBuffer* buffer = device->CreateVertexBuffer();
        ASSERT_TRUE(buffer->Create(false, 4, 6));
        std::vector<Vertex> quad = ScreenQuad(*device, 36, 0, 48, 16, 0.5f, 0xFFFFFF00u);
        std::copy(quad.begin(), quad.end(), buffer->Lock());
        buffer->Unlock();
        buffer->indices = {0, 1, 2, 2, 1, 3};
        buffer->Draw();  // yellow, top
        quad = ScreenQuad(*device, 36, 16, 48, 32, 0.5f, 0xFF00FFFFu);
        std::copy(quad.begin(), quad.end(), buffer->Lock());
        buffer->Unlock();
        buffer->Draw();  // cyan, bottom
        buffer->indices = {0, 1, 2};  // after the last draw: changes nothing drawn
        frames.push_back(device->ReadBackBuffer());
        device->DestroyVertexBuffer(buffer);
        device->DestroyTexture(target);
    }
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_TRUE(frames[0] == frames[1]);
    ExpectedImage image(kWidth, kHeight);
    image.Fill(0, 0, 12, kHeight, 0xFF0000);
    image.Fill(12, 0, 24, kHeight, 0x00FF00);
    image.Fill(24, 0, 36, kHeight, 0x0000FF);
    image.Fill(36, 0, 48, 16, 0xFFFF00);
    image.Fill(36, 16, 48, 32, 0x00FFFF);
    EXPECT_TRUE(MatchesImage(frames[1], image, "covered_work_inputs_kept", 0));
}

TEST_F(GLCoveredWork, VisibilityTestsAndSurfacesSeeThePendingWork)
{
    auto device = Device(true);
    device->EnableDepth(true);
    device->SetDepthFunc(CompareFunc::LessEqual);
    DrawQuad(*device, 0, 0, 24, kHeight, 0.2f, 0xFFFF0000u);
    // The depth the pending draw writes hides a point behind it on the left, not on the right.
    const float hw = kWidth / 2.0f, hh = kHeight / 2.0f;
    EXPECT_FALSE(device->IsPointVisible(10 - hw, hh - 10, 0.5f));
    EXPECT_TRUE(device->IsPointVisible(36 - hw, hh - 10, 0.5f));
    TransformedVertex points[2] = {{10 - hw, hh - 10, 0.5f, 0, 0, 0, 0, 0}, {36 - hw, hh - 10, 0.5f, 0, 0, 0, 0, 0}};
    uint32_t results[2] = {0, 0};
    device->EnableDepth(true);
    DrawQuad(*device, 24, 0, kWidth, kHeight, 0.1f, 0xFF00FF00u);  // now the right half hides it too
    device->ArePointsVisible(points, results, 2);
    EXPECT_EQ(results[0], kPointHidden);
    EXPECT_EQ(results[1], kPointHidden);

    // A surface copied after a pending draw lies over it.
    device->EnableDepth(false);
    DrawQuad(*device, 0, 0, kWidth, kHeight, 0.5f, 0xFFFF0000u);
    Surface* surface = device->CreateSurface();
    ASSERT_TRUE(surface->Create(2, 2, false, false));
    int pitch = 0;
    auto* pixels = static_cast<uint32_t*>(surface->Lock(pitch));
    std::fill(pixels, pixels + 4, 0x0000FFu);
    surface->Unlock();
    surface->Draw(nullptr, 4, 4, false);
    const std::vector<uint8_t> frame = device->ReadBackBuffer();
    EXPECT_EQ(PixelAt(frame, kWidth, 5, 5), 0x0000FFu);
    EXPECT_EQ(PixelAt(frame, kWidth, 8, 8), 0xFF0000u);
    device->DestroySurface(surface);
    EXPECT_EQ(device->GetCoveredCommandCount(), 0u);
}
