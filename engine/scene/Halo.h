// Halos: camera-facing glows on lights, faded in and out as the device reports the light visible.
#pragma once
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/device/Matrix.h"

class RenderDevice;
class SceneLight;

// The halo quad's corners (strip order) before scaling, turning and facing the camera.
struct HaloCorner {
    float x, y, u, v;
};
extern const HaloCorner kHaloQuad[4];

// Draws every halo of the list at scene frame (its track position, else its stored one),
// seen from eye, at clock time now. Nothing happens for an empty list.
void DrawHalos(RenderDevice& device, const std::vector<SceneLight*>& halos, float frame, Vector3 eye, float now);
// Updates one halo's visibility and fade at clock time now; answers whether to draw it.
bool UpdateHaloFade(SceneLight& light, bool visibleNow, float now);
// A quad of half-size 1 facing the camera of view (its right and up axes), corners
// (x, y) scaled by scale, turned by angle about the view axis and moved to centre.
void FaceCamera(const Matrix4& view, Vector3 centre, float scale, float angle, const HaloCorner corners[4],
                Vertex out[4]);
// The grey 0x00gggggg of a fade in 0..1, for the vertices of a faded quad.
uint32_t FadeGrey(float fade);
