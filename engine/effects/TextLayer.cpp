// TextLayer: glyph quads through the perspective camera, with envelope motion and a blur-to-sharp focus.
#include "engine/effects/TextLayer.h"

#include <cmath>
#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerRegistry.h"

static LayerRegistrar<TextLayer> textLayerRegistrar("TextLayer");

namespace {

constexpr float kCellSize = 32.0f;
constexpr float kImageSize = 512.0f;
constexpr int kGlyphsPerRow = 16;
constexpr double kPi = 3.14159265358979;

}  // namespace

TextLayer::TextLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : ImageLayer(device, nestedOperations)
{
    static const float corners[4][2] = {{1.0f, -1.0f}, {1.0f, 1.0f}, {-1.0f, -1.0f}, {-1.0f, 1.0f}};
    for (int i = 0; i < 4; ++i) {
        quad_[i] = Vertex{corners[i][0], corners[i][1], 0.0f, 0.0f, 0.0f, 0.0f, 0xFFFFFFFFu,
                          0.0f, 0.0f, 0.0f, 0.0f};
        work_[i] = quad_[i];
    }
    AddIntAccessor(23, "AlphaType", &AlphaType);
    AddIntAccessor(20, "Effect", &Effect);
    AddPlacementAccessors({.alphaTexture = 0, .texture = 1, .xOffset = 2, .yOffset = 3, .xScale = 11, .yScale = 12});
    AddFloatAccessor(4, "ZOffset", &ZOffset);
    AddFloatAccessor(5, "XOffsetStart", &XOffsetStart);
    AddFloatAccessor(6, "YOffsetStart", &YOffsetStart);
    AddFloatAccessor(7, "ZOffsetStart", &ZOffsetStart);
    AddFloatAccessor(8, "XOffsetEnd", &XOffsetEnd);
    AddFloatAccessor(9, "YOffsetEnd", &YOffsetEnd);
    AddFloatAccessor(10, "ZOffsetEnd", &ZOffsetEnd);
    AddFloatAccessor(16, "XScaleStart", &XScaleStart);
    AddFloatAccessor(17, "YScaleStart", &YScaleStart);
    AddFloatAccessor(18, "XScaleEnd", &XScaleEnd);
    AddFloatAccessor(19, "YScaleEnd", &YScaleEnd);
    AddFloatAccessor(13, "Tracking", &Tracking);
    AddStringAccessor(15, "Text", &Text);
    AddStringAccessor(22, "BlurryMap", &BlurryMap);
    AddStringAccessor(21, "AlphaBlurMap", &AlphaBlurMap);
    SetDefaultName("Gfx Text Layer [%X]");
}

void TextLayer::Init()
{
    FadingLayer::Init();
    texture_.Load(device, Texture, AlphaTexture);
    if (!BlurryMap.empty()) blurred_.Load(device, BlurryMap, AlphaBlurMap);
    previousFade_ = fade;
}

void TextLayer::Release()
{
    FadingLayer::Release();
    texture_.Reset();
    blurred_.Reset();
}

bool TextLayer::GetGlyphRect(char c, GlyphRect& rect)
{
    // Only "!" .. "~" have cells; other codes (negative ones included) would address
    // rectangles outside the image.
    const int code = static_cast<signed char>(c);
    if (code < 33 || code > 126) return false;
    const int glyph = code - 33;
    const float cell = kCellSize / kImageSize;
    rect.left = static_cast<float>(glyph % kGlyphsPerRow) * kCellSize / kImageSize;
    rect.top = static_cast<float>(glyph / kGlyphsPerRow) * kCellSize / kImageSize;
    rect.right = rect.left + cell;
    rect.bottom = rect.top + cell;
    return true;
}

void TextLayer::BuildWorkingQuad(uint32_t alphaBits, float jitterX, float jitterY)
{
    const float a = 1.0f - fade;
    float sx, sy, dx, dy, dz;
    if (previousFade_ - fade <= 0.0f) {
        sx = a * XScaleStart + XScale;
        sy = a * YScaleStart + YScale;
        dx = a * XOffsetStart;
        dy = a * YOffsetStart;
        dz = a * ZOffsetStart;
    } else {
        sx = a * XScaleEnd + XScale;
        sy = a * YScaleEnd + YScale;
        dx = a * XOffsetEnd;
        dy = a * YOffsetEnd;
        dz = a * ZOffsetEnd;
    }
    for (int i = 0; i < 4; ++i) {
        work_[i] = quad_[i];
        work_[i].color = WithAlpha(quad_[i].color, alphaBits);
        work_[i].x = sx * quad_[i].x + dx + XOffset + jitterX;
        work_[i].y = sy * quad_[i].y + dy + jitterY + YOffset;
        work_[i].z = dz + quad_[i].z + ZOffset;
    }
}

void TextLayer::DrawGlyphs()
{
    const float advance = Tracking + XScale;
    for (const char c : Text) {
        GlyphRect rect;
        const bool drawn = GetGlyphRect(c, rect);
        if (drawn) {
            // Corners in strip order: (1, -1), (1, 1), (-1, -1), (-1, 1).
            work_[0].u0 = rect.right;
            work_[0].v0 = rect.bottom;
            work_[1].u0 = rect.right;
            work_[1].v0 = rect.top;
            work_[2].u0 = rect.left;
            work_[2].v0 = rect.bottom;
            work_[3].u0 = rect.left;
            work_[3].v0 = rect.top;
        }
        // The move comes before the draw: the first glyph stands one advance to the right.
        for (Vertex& v : work_) v.x += advance;
        if (drawn) device.Draw(PrimitiveType::TriangleStrip, work_, 4);
    }
}

void TextLayer::DrawFrame()
{
    SaveTransforms(device);
    SetLayerCamera(device);
    ApplyBlendPreset(device, AlphaType);

    const bool additive = AlphaType == kAlphaTypeAdditive;
    uint32_t alphaBits = 0;
    if (additive) {
        SetLevelMaterial(device, fade);
    } else {
        alphaBits = FadeAlphaBits(fade);
    }

    float jitterX = 0.0f;
    float jitterY = 0.0f;
    if (Effect == 1) {
        jitterX = static_cast<float>((LayerRand() / 32768.0 - 0.5) * 0.02);
        jitterY = static_cast<float>((LayerRand() / 32768.0 - 0.5) * 0.02);
    }
    BuildWorkingQuad(alphaBits, jitterX, jitterY);

    if (BlurryMap.empty()) {
        device.SetTexture(0, texture_.Get());
        DrawGlyphs();
    } else {
        if (fade <= 0.9f) {
            // Rises to 1 at fade 0.45 and is back at 0 by fade 0.9.
            const double b = std::sin(fade * kPi * 1.1111111);
            uint32_t blurBits = 0;
            if (additive) {
                SetLevelMaterial(device, static_cast<float>(b));
            } else {
                blurBits = AlphaBits(b * 255.0);
            }
            for (Vertex& v : work_) v.color = blurBits | 0x00FFFFFFu;
            device.SetTexture(0, blurred_.Get());
            DrawGlyphs();
        }
        if (fade >= 0.3f) {
            uint32_t sharpBits = 0;
            if (additive) {
                SetLevelMaterial(device, static_cast<float>((fade - 0.3) * 1.429));
            } else {
                sharpBits = AlphaBits((fade - 0.3) * 364.395);
            }
            device.SetTexture(0, texture_.Get());
            // Same placement as the blurred pass: the jitter of this frame is kept.
            BuildWorkingQuad(sharpBits, jitterX, jitterY);
            DrawGlyphs();
        }
    }
    previousFade_ = fade;
    EndScreenSpace(device);
}
