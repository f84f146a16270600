// DotEffect: scene into a small target, texel blue read back in the target's own format, dots drawn in one batch.
#include "engine/effects/DotEffect.h"

#include <bit>
#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<DotEffect> dotEffectRegistrar("DotEffect");

namespace {

// An intensity of 31 makes a dot one grid cell (1/64) across; the quad is 2 units wide.
constexpr float kDotScale = 1.0f / (DotEffect::kEdge * 2.0f * 31.0f);

}  // namespace

DotEffect::DotEffect(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : MDLPlayer(device, nestedOperations)
{
    AddStringAccessor(10, "TextureMap", &TextureMap);
    AddStringAccessor(11, "AlphaMap", &AlphaMap);
    // Opaque white: the dot texture alone decides what shows.
    MakeMirroredQuad(quad_);
}

DotEffect::~DotEffect()
{
    DestroyTextures();
}

void DotEffect::Init()
{
    MDLPlayer::Init();
    target_ = device.CreateTexture();
    target_->CreateRenderTarget(kEdge);
    intensities_.assign(kDots, 0);
    vertices_.assign(static_cast<size_t>(kDots) * 4, Vertex{});
    // Two triangles per dot over its four strip-ordered corners.
    indices_.resize(static_cast<size_t>(kDots) * 6);
    for (int i = 0; i < kDots; ++i) {
        const uint16_t b = static_cast<uint16_t>(i * 4);
        const uint16_t tri[6] = {b, static_cast<uint16_t>(b + 1), static_cast<uint16_t>(b + 2),
                                 static_cast<uint16_t>(b + 2), static_cast<uint16_t>(b + 1), static_cast<uint16_t>(b + 3)};
        std::copy(tri, tri + 6, &indices_[static_cast<size_t>(i) * 6]);
    }
    dotTexture_.Load(device, TextureMap, AlphaMap);
}

void DotEffect::DestroyTextures()
{
    if (target_)
        device.DestroyTexture(target_);
    target_ = nullptr;
    dotTexture_.Reset();
}

void DotEffect::Release()
{
    DestroyTextures();
    MDLPlayer::Release();
}

void DotEffect::ReadIntensities(const uint8_t* pixels, int pitch, int bits, uint32_t blueMask, uint8_t* intensities)
{
    const int shift = blueMask ? std::countr_zero(blueMask) : 0;
    const int width = std::popcount(blueMask);
    for (int row = 0; row < kEdge; ++row) {
        const uint8_t* line = pixels + static_cast<ptrdiff_t>(row) * pitch;
        for (int column = 0; column < kEdge; ++column) {
            uint32_t pixel = 0;
            if (bits == 16)
                pixel = static_cast<uint32_t>(line[column * 2]) | static_cast<uint32_t>(line[column * 2 + 1]) << 8;
            else
                pixel = static_cast<uint32_t>(line[column * 4]) | static_cast<uint32_t>(line[column * 4 + 1]) << 8 |
                        static_cast<uint32_t>(line[column * 4 + 2]) << 16 |
                        static_cast<uint32_t>(line[column * 4 + 3]) << 24;
            const uint32_t blue = (pixel & blueMask) >> shift;
            const uint32_t top = width >= 5 ? blue >> (width - 5) : blue << (5 - width);
            intensities[row * kEdge + column] = static_cast<uint8_t>(top & 0x1F);
        }
    }
}

void DotEffect::ReadBack()
{
    int pitch = 0;
    const void* pixels = target_->Lock(pitch);
    // The target is in the display format; a failed lock shows no dots.
    const int bits = device.GetBitsPerPixel() == 16 ? 16 : 32;
    if (pixels && pitch >= kEdge * bits / 8)
        ReadIntensities(static_cast<const uint8_t*>(pixels), pitch, bits, device.GetBlueMask(), intensities_.data());
    else
        std::fill(intensities_.begin(), intensities_.end(), 0);
    if (pixels)
        target_->Unlock();
}

void DotEffect::DrawDots()
{
    size_t lit = 0;
    for (int row = 0; row < kEdge; ++row) {
        for (int column = 0; column < kEdge; ++column) {
            const uint8_t intensity = intensities_[row * kEdge + column];
            // A dot of size 0 covers nothing.
            if (intensity == 0)
                continue;
            const float size = intensity * kDotScale;
            const float x = static_cast<float>(column) / kEdge - 0.5f;
            const float y = static_cast<float>(row) / kEdge - 0.5f;
            Vertex* out = &vertices_[lit * 4];
            for (int c = 0; c < 4; ++c) {
                out[c] = quad_[c];
                out[c].x = quad_[c].x * size + x;
                out[c].y = quad_[c].y * size + y;
                out[c].z = quad_[c].z * size;
            }
            ++lit;
        }
    }
    if (lit > 0)
        device.DrawIndexed(PrimitiveType::TriangleList, vertices_.data(), static_cast<int>(lit * 4), indices_.data(),
                           static_cast<int>(lit * 6));
}

void DotEffect::Render()
{
    device.SetRenderTarget(target_);
    device.Clear(0);
    MDLPlayer::Render();
    device.SetRenderTarget(nullptr);

    SetModulatedAlphaBlend(device);
    device.SetTexture(0, dotTexture_.Get());

    // World identity too: the dots are placed in world units, whatever mesh drew last.
    SetLayerCamera(device);
    device.EnableLighting(false);
    device.EnableAlphaBlend(true);

    ReadBack();
    DrawDots();
}
