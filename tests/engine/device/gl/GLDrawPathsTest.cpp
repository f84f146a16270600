// Rendering tests of the OpenGL device: indexed draws, vertex buffers, state blocks and presentation.
#include <SDL2/SDL.h>
#include "support/GLTestSupport.h"
#include "engine/device/VertexBuffer.h"

namespace {

ExpectedImage TwoSquares(uint32_t left, uint32_t right)
{
    ExpectedImage image(16, 8);
    image.Fill(0, 0, 16, 8, 0);
    image.Fill(1, 1, 7, 7, left);
    image.Fill(9, 1, 15, 7, right);
    return image;
}

}  // namespace

TEST(GLDeviceDrawPaths, IndexedDrawsAndVertexBuffers)
{
    auto device = MakeTestDevice(16, 8);
    // Left square through DrawIndexed as a triangle list; index 7 names no vertex and its
    // triangle is dropped, the rest is drawn.
    std::vector<Vertex> left = ScreenQuad(*device, 1, 1, 7, 7, 0.5f, 0xFFFF0000u);
    const uint16_t indices[9] = {0, 1, 2, 2, 1, 3, 0, 7, 1};
    device->DrawIndexed(PrimitiveType::TriangleList, left.data(), 4, indices, 9);

    // Right square from a vertex buffer with its own index list.
    VertexBuffer* buffer = device->CreateVertexBuffer();
    ASSERT_TRUE(buffer->Create(true, 4, 6));
    EXPECT_EQ(buffer->indices.size(), 6u);
    std::vector<Vertex> right = ScreenQuad(*device, 9, 1, 15, 7, 0.5f, 0xFF00FF00u);
    Vertex* v = buffer->Lock();
    ASSERT_NE(v, nullptr);
    std::copy(right.begin(), right.end(), v);
    buffer->Unlock();
    buffer->indices = {0, 1, 2, 2, 1, 3};
    buffer->Draw();
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), TwoSquares(0xFF0000, 0x00FF00), "indexed_and_buffer"));

    // The buffer's vertices can change after drawing; it draws what was last unlocked.
    v = buffer->Lock();
    for (int i = 0; i < 4; ++i) v[i].color = 0xFF0000FFu;
    buffer->Unlock();
    device->Clear(0);
    buffer->Draw();
    ExpectedImage blue = TwoSquares(0, 0x0000FF);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), blue, "buffer_redrawn"));

    // Indices past the vertices are left out instead of reading beyond the buffer.
    buffer->indices = {0, 1, 200, 2, 1, 3};
    device->Clear(0);
    buffer->Draw();
    uint32_t corner = PixelAt(device->ReadBackBuffer(), 16, 9, 1);  // only in the dropped triangle
    EXPECT_EQ(corner, 0u);
    EXPECT_EQ(PixelAt(device->ReadBackBuffer(), 16, 14, 6), 0x0000FFu);
    device->DestroyVertexBuffer(buffer);
    device->DestroyVertexBuffer(nullptr);
}

TEST(GLDeviceDrawPaths, StateBlocksRecordWithoutApplyingAndReplay)
{
    auto device = MakeTestDevice(16, 8);
    uint32_t handle = 0;
    device->BeginStateBlock();
    device->SetCullMode(CullMode::Clockwise);  // would hide the clockwise quads below
    device->SetFogColor(1.0f, 0.0f, 0.0f);
    device->EndStateBlock(&handle);
    EXPECT_NE(handle, 0u);
    EXPECT_EQ(device->GetFogColor(), 0xFF000000u);

    DrawQuad(*device, 1, 1, 7, 7, 0.5f, 0xFFFFFFFFu);
    device->ApplyStateBlock(handle);
    EXPECT_EQ(device->GetFogColor(), 0xFFFF0000u);
    DrawQuad(*device, 9, 1, 15, 7, 0.5f, 0xFFFFFFFFu);  // culled now
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), TwoSquares(0xFFFFFF, 0), "state_block_replay", 0));
    device->DeleteStateBlock(handle);
}

TEST(GLDeviceDrawPaths, PresentsIntoTheApplicationWindow)
{
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_VIDEO), 0) << SDL_GetError();
    GLDevice::PrepareWindowAttributes();
    SDL_Window* window = SDL_CreateWindow("test", 0, 0, 100, 40, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    ASSERT_NE(window, nullptr) << SDL_GetError();
    {
        GLDevice device;
        device.SelectDriver(device.GetDriver(0));
        device.SelectDevice(device.GetDriver(0).GetDevice(0));
        device.SetVSync(false);
        ASSERT_TRUE(device.Init(window, false, 32, 32, 32));
        device.EnableClearColor(true);
        device.SetClearColor(0.0f, 1.0f, 0.0f);
        device.Clear(0);
        device.BeginScene();
        device.EndScene();
        // Scaled into 100 x 40 with its aspect kept (40 x 40, pillar-boxed); the back buffer stays.
        EXPECT_TRUE(device.Present(0));
        ExpectedImage green(32, 32);
        green.Fill(0, 0, 32, 32, 0x00FF00);
        EXPECT_TRUE(MatchesImage(device.ReadBackBuffer(), green, "present_keeps_back_buffer", 0));
    }
    SDL_DestroyWindow(window);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

TEST(GLDeviceDrawPaths, PointsAndLinesLandOnThePixelsTheyName)
{
    auto device = MakeTestDevice(16, 8);
    // Screen pixel (x, y) is world (x - 8, 4 - y) under the test camera.
    auto at = [](float x, float y, uint32_t color) { return MakeVertex(x - 8.0f, 4.0f - y, 0.5f, color); };
    Vertex points[2] = {at(1, 1, 0xFFFF0000u), at(14, 6, 0xFF00FF00u)};
    device->Draw(PrimitiveType::PointList, points, 2);
    // A strip along row 3 from column 2 to column 12, then down column 12 to row 6.
    Vertex strip[3] = {at(2, 3, 0xFF0000FFu), at(12, 3, 0xFF0000FFu), at(12, 6, 0xFF0000FFu)};
    device->Draw(PrimitiveType::LineStrip, strip, 3);
    std::vector<uint8_t> image = device->ReadBackBuffer();
    EXPECT_EQ(PixelAt(image, 16, 1, 1), 0xFF0000u);
    EXPECT_EQ(PixelAt(image, 16, 14, 6), 0x00FF00u);
    EXPECT_EQ(PixelAt(image, 16, 0, 1), 0u);
    EXPECT_EQ(PixelAt(image, 16, 1, 0), 0u);
    EXPECT_EQ(PixelAt(image, 16, 1, 2), 0u);
    for (int x = 3; x < 12; ++x) {
        EXPECT_EQ(PixelAt(image, 16, x, 3), 0x0000FFu) << x;
        EXPECT_EQ(PixelAt(image, 16, x, 2), 0u) << x;
        EXPECT_EQ(PixelAt(image, 16, x, 4), 0u) << x;
    }
    EXPECT_EQ(PixelAt(image, 16, 12, 4), 0x0000FFu);
    EXPECT_EQ(PixelAt(image, 16, 12, 5), 0x0000FFu);
    EXPECT_EQ(PixelAt(image, 16, 11, 5), 0u);
    EXPECT_EQ(PixelAt(image, 16, 13, 5), 0u);
}
