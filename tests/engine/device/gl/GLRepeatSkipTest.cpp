// Values and pixels the GPU already holds are not sent again, and the pictures stay the same.
#include <cmath>
#include "engine/device/Texture.h"
#include "engine/device/gl/GLProgramCache.h"
#include "support/GLTestSupport.h"

TEST(GLRepeatSkip, UniformValueChangesOnlyWhenItsBitsOrLengthDiffer)
{
    GLUniformValue value;
    const float a[2] = {1.0f, 2.0f}, same[2] = {1.0f, 2.0f}, other[2] = {1.0f, 2.5f};
    EXPECT_TRUE(value.Changes(a, 2)) << "nothing sent yet";
    EXPECT_FALSE(value.Changes(same, 2));
    EXPECT_TRUE(value.Changes(other, 2));
    EXPECT_TRUE(value.Changes(other, 1)) << "fewer values";
    EXPECT_FALSE(value.Changes(other, 1));
    const float zero = 0.0f, negativeZero = -0.0f, nan = std::nanf("");
    EXPECT_TRUE(value.Changes(&zero, 1));
    EXPECT_TRUE(value.Changes(&negativeZero, 1)) << "equal as numbers, but other bits";
    EXPECT_TRUE(value.Changes(&nan, 1));
    EXPECT_FALSE(value.Changes(&nan, 1)) << "the same bits";
    value.Forget();
    EXPECT_TRUE(value.Changes(&nan, 1));
}

namespace {

// Stage 0 draws the diffuse colour; the modulated variant squares it, in another program
// (colours of 0 and 255 per channel stay the same).
void UseProgramA(GLDevice& device)
{
    device.SetColorOp(0, ColorOp::SelectArg1);
    device.SetColorArg1(0, ColorArg::Diffuse);
}

void UseProgramB(GLDevice& device)
{
    device.SetColorOp(0, ColorOp::Modulate);
    device.SetColorArg1(0, ColorArg::Diffuse);
    device.SetColorArg2(0, ColorArg::Diffuse);
}

}  // namespace

TEST(GLRepeatSkip, EachProgramGetsTheMatrixItLacksWhenTheValueGoesBackAndForth)
{
    // One place at the origin, one 16 pixels right and down (world y points up).
    const Matrix4 first = Matrix4::Identity(), second = Matrix4::Translation(16, -16, 0);
    std::vector<std::vector<uint8_t>> frames;
    std::vector<uint64_t> skipped;
    for (bool skip : {false, true}) {
        auto device = MakeTestDevice(32, 32);
        device->SetSkipRepeats(skip);
        const size_t programsBefore = device->GetProgramCount();
        device->SetWorld(first);
        UseProgramA(*device);
        DrawQuad(*device, 0, 0, 8, 8, 0.5f, 0xFFFF0000u);
        device->SetWorld(second);
        UseProgramB(*device);
        DrawQuad(*device, 0, 0, 8, 8, 0.5f, 0xFF00FF00u);
        // A already holds the first matrix; B still holds the second.
        device->SetWorld(first);
        UseProgramA(*device);
        DrawQuad(*device, 0, 0, 8, 8, 0.5f, 0xFF0000FFu);
        UseProgramB(*device);
        DrawQuad(*device, 0, 0, 4, 4, 0.5f, 0xFFFFFF00u);
        device->SetWorld(second);
        UseProgramA(*device);
        DrawQuad(*device, 0, 0, 4, 4, 0.5f, 0xFFFFFFFFu);
        device->EndScene();
        EXPECT_EQ(device->GetProgramCount() - programsBefore, 2u);
        frames.push_back(device->ReadBackBuffer());
        skipped.push_back(device->GetSkippedUniformCount());
    }
    EXPECT_EQ(skipped[0], 0u);
    EXPECT_GT(skipped[1], 0u);
    EXPECT_TRUE(frames[0] == frames[1]) << "the picture changed when repeated uniforms were skipped";
    ExpectedImage image(32, 32);
    image.Fill(0, 0, 32, 32, 0);
    image.Fill(0, 0, 8, 8, 0x0000FF);
    image.Fill(0, 0, 4, 4, 0xFFFF00);
    image.Fill(16, 16, 24, 24, 0x00FF00);
    image.Fill(16, 16, 20, 20, 0xFFFFFF);
    EXPECT_TRUE(MatchesImage(frames[1], image, "repeat_uniforms_back_and_forth", 0));
}

namespace {

// The render target's pixels as Lock reads them (XRGB32, rows top-down).
std::vector<uint32_t> ReadTexture(Texture& texture)
{
    int pitch = 0;
    auto* pixels = static_cast<const uint32_t*>(texture.Lock(pitch));
    std::vector<uint32_t> copy;
    if (pixels != nullptr) copy.assign(pixels, pixels + texture.GetWidth() * texture.GetHeight());
    texture.Unlock();
    return copy;
}

void FillTexture(Texture& texture, uint32_t color)
{
    int pitch = 0;
    auto* pixels = static_cast<uint32_t*>(texture.Lock(pitch));
    ASSERT_NE(pixels, nullptr);
    std::fill(pixels, pixels + texture.GetWidth() * texture.GetHeight(), color);
    texture.Unlock();
}

}  // namespace

TEST(GLRepeatSkip, LockedPixelsAreWrittenBackWhenTheyOrTheTextureChanged)
{
    auto device = MakeTestDevice(16, 16);
    Texture* texture = device->CreateTexture();
    texture->CreateRenderTarget(16);
    FillTexture(*texture, 0x000000FFu);
    EXPECT_EQ(device->GetSkippedWriteBackCount(), 0u) << "every pixel changed";
    EXPECT_EQ(ReadTexture(*texture), std::vector<uint32_t>(256, 0x000000FFu));
    EXPECT_EQ(device->GetSkippedWriteBackCount(), 1u) << "read and handed back as it was";

    // One texel changed is written back, and drawing with the texture shows it.
    int pitch = 0;
    auto* pixels = static_cast<uint32_t*>(texture->Lock(pitch));
    ASSERT_NE(pixels, nullptr);
    pixels[5 * 16 + 5] = 0x00FF0000u;
    texture->Unlock();
    EXPECT_EQ(device->GetSkippedWriteBackCount(), 1u);
    device->SetTexture(0, texture);
    device->SetColorOp(0, ColorOp::SelectArg1);
    device->SetColorArg1(0, ColorArg::Texture);
    DrawQuad(*device, 0, 0, 16, 16, 0.5f, 0xFFFFFFFFu);
    device->EndScene();
    const std::vector<uint8_t> frame = device->ReadBackBuffer();
    EXPECT_EQ(PixelAt(frame, 16, 5, 5), 0xFF0000u);
    EXPECT_EQ(PixelAt(frame, 16, 2, 12), 0x0000FFu);
    device->SetTexture(0, nullptr);

    // Drawn into while locked: the unchanged copy still goes back, as it always did.
    pixels = static_cast<uint32_t*>(texture->Lock(pitch));
    ASSERT_NE(pixels, nullptr);
    device->SetRenderTarget(texture);
    device->SetClearColor(0, 1, 0);
    device->Clear(0);
    device->SetRenderTarget(nullptr);
    texture->Unlock();
    std::vector<uint32_t> restored = ReadTexture(*texture);
    ASSERT_EQ(restored.size(), 256u);
    EXPECT_EQ(restored[0], 0x000000FFu);
    EXPECT_EQ(restored[5 * 16 + 5], 0x00FF0000u);

    // With repeats sent, the same unchanged lock is written back.
    const uint64_t before = device->GetSkippedWriteBackCount();
    device->SetSkipRepeats(false);
    ReadTexture(*texture);
    EXPECT_EQ(device->GetSkippedWriteBackCount(), before);
    device->DestroyTexture(texture);
}
