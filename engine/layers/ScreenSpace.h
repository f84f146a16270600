// Drawing frames, blend presets, fade-to-alpha rule and texture loading shared by the image layers.
#pragma once
#include <cstdint>
#include <string>

class RenderDevice;
class Texture;
struct Vertex;

// Values of a layer's AlphaType: 0 ordinary transparency, 1 additive through the material.
// Any other value leaves the device's blend state as it is.
constexpr int32_t kAlphaTypeTransparent = 0;
constexpr int32_t kAlphaTypeAdditive = 1;

// Pushes the device's current world, view and projection on its saved-transform stack.
void SaveTransforms(RenderDevice& device);
// Pops the saved-transform stack into SetProjection, SetView and SetWorld, in that order.
void RestoreTransforms(RenderDevice& device);

// Sets the device state of an AlphaType preset (see the constants above).
void ApplyBlendPreset(RenderDevice& device, int32_t alphaType);
// Stage 0 alpha = texture x diffuse, blended source alpha over inverse source alpha.
void SetModulatedAlphaBlend(RenderDevice& device);
// The transparent preset with depth testing chosen by the caller: lighting off, alpha blending
// on, then SetModulatedAlphaBlend.
void ApplyTransparentBlend(RenderDevice& device, bool depthTest);
// Alpha stage off, lighting and blending off: the state every layer and sprite pass leaves.
void ResetBlendState(RenderDevice& device);

// The layers' perspective camera: world identity, eye (0, 0, -5) looking at the origin,
// field of view pi/4, near 1, far 1500, roll 0, then UpdateCamera.
void SetLayerCamera(RenderDevice& device);

// Screen-space begin: save transforms; SetOrtho (1, 1, 1, -1) so x and y in -0.5..0.5 span
// the screen; the AlphaType preset; texture on stage 0.
void BeginScreenSpace(RenderDevice& device, int32_t alphaType, Texture* texture);
// Camera begin: save transforms; the layer camera; the transparent preset; texture on stage 0.
void BeginCamera(RenderDevice& device, Texture* texture);
// Screen-space end (also closes a camera begin): alpha stage off, lighting and blending off,
// transforms restored.
void EndScreenSpace(RenderDevice& device);

// Alpha byte placed in the top byte of a vertex colour: value truncated toward zero and
// kept within 0..255 (so a negative sine gives 0, never a wrapped byte).
uint32_t AlphaBits(double byteValue);
// The fade-to-alpha rule: trunc(fade x 255) in the top byte (fade 0.999 gives 254).
uint32_t FadeAlphaBits(float fade);
// Colour with its alpha byte replaced: (colour AND 0x00FFFFFF) OR alphaBits.
constexpr uint32_t WithAlpha(uint32_t colour, uint32_t alphaBits) { return (colour & 0x00FFFFFFu) | alphaBits; }

// rand() reduced to 0..32767: the layers' random arithmetic (r / 32768 and the like) was
// composed for that range, while the C library here returns values up to 2^31 - 1.
int LayerRand();

// Material whose diffuse, ambient and emissive are all (level, level, level), specular black.
void SetLevelMaterial(RenderDevice& device, float level);

// Creates a device texture; when alphaFile is not empty its alpha map (eight-bit, threshold
// 255) is named first; then loads the colour image. The caller gives it back with
// DestroyTexture (see LayerTexture).
Texture* LoadLayerTexture(RenderDevice& device, const std::string& colourFile, const std::string& alphaFile);

// Owns one device texture and gives it back to its device when reset or destroyed.
class LayerTexture {
public:
    LayerTexture() = default;
    ~LayerTexture() { Reset(); }
    LayerTexture(const LayerTexture&) = delete;
    LayerTexture& operator=(const LayerTexture&) = delete;

    void Load(RenderDevice& device, const std::string& colourFile, const std::string& alphaFile);
    // DestroyTexture on the owning device; nothing when empty.
    void Reset();
    Texture* Get() const { return texture_; }

private:
    RenderDevice* device_ = nullptr;
    Texture* texture_ = nullptr;
};

// The screen-filling quad in strip order: (0.5, -0.5), (0.5, 0.5), (-0.5, -0.5), (-0.5, 0.5) with
// texture coordinates 0.002 inside the image's edges, z 0, normal 0, opaque white.
void MakeScreenQuad(Vertex quad[4]);
// The quad of the circle and line layers in strip order: corners (1, -1), (1, 1), (-1, -1),
// (-1, 1), the image mirrored left to right (u 0.002 at x = 1, 0.998 at x = -1), v as for
// MakeScreenQuad; z 0, normal 0, opaque white.
void MakeMirroredQuad(Vertex quad[4]);
// One opaque white quad corner at (x, y, 0) with texture coordinates (u, v) and normal 0.
Vertex QuadVertex(float x, float y, float u, float v);
// Builds the layer's scale and offset into its quad once, at Init; frames add their own terms.
void PlaceQuad(Vertex quad[4], float xScale, float yScale, float xOffset, float yOffset);
