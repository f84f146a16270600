// The rendering device's vocabulary: enumerations, vertex layouts, material, light and enumeration records.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "engine/core/DisplayFormat.h"

// The integer values are what scripts, scenes and layers pass; never renumber.
enum class BlendFactor : int {
    Zero = 0, One = 1, SrcColor = 2, InvSrcColor = 3, SrcAlpha = 4, InvSrcAlpha = 5,
    DestAlpha = 6, InvDestAlpha = 7, DestColor = 8, InvDestColor = 9, SrcAlphaSat = 10
};
enum class ColorOp : int { SelectArg1 = 0, Modulate = 1, Add = 2, AddSigned = 3 };
// 0 and 3 both select the vertex colour; callers use both.
enum class ColorArg : int { Diffuse = 0, Current = 1, Texture = 2, Diffuse3 = 3 };
enum class AlphaOp : int { Disable = 0, SelectArg1 = 1, Modulate = 2, Add = 3, AddSigned = 4 };
// Numbered differently from ColorArg: Texture is 1 here.
enum class AlphaArg : int { Current = 0, Texture = 1, Diffuse = 2 };
enum class PrimitiveType : int {
    PointList = 0, LineList = 1, LineStrip = 2, TriangleList = 3, TriangleStrip = 4, TriangleFan = 5
};
// Windings as seen on screen with y pointing down.
enum class CullMode : int { None = 0, Clockwise = 1, CounterClockwise = 2 };
enum class CompareFunc : int {
    Never = 0, Less = 1, Equal = 2, LessEqual = 3, Greater = 4, NotEqual = 5, GreaterEqual = 6, Always = 7
};
enum class FogMode : int { Linear = 0, Exp = 1, Exp2 = 2 };

// The one vertex layout of Draw, DrawIndexed and VertexBuffer.
struct Vertex {
    float x, y, z;       // model space
    float nx, ny, nz;    // normal
    uint32_t color;      // 0xAARRGGBB
    float u0, v0;        // first texture coordinates
    float u1, v1;        // second texture coordinates
};
static_assert(sizeof(Vertex) == 44, "Vertex must stay 44 bytes");
static_assert(offsetof(Vertex, x) == 0 && offsetof(Vertex, nx) == 12 && offsetof(Vertex, color) == 24 &&
                  offsetof(Vertex, u0) == 28 && offsetof(Vertex, u1) == 36,
              "Vertex field offsets are fixed");

// A point already projected to the screen (visibility tests).
struct TransformedVertex {
    float x, y, z, rhw;
    uint32_t color;     // 0x00FFFFFF
    uint32_t specular;  // 0
    float u, v;
};
static_assert(sizeof(TransformedVertex) == 32, "TransformedVertex must stay 32 bytes");

// Results of ArePointsVisible.
constexpr uint32_t kPointHidden = 0;
constexpr uint32_t kPointVisible = 0xFFFFFFFFu;
constexpr uint32_t kPointOffScreen = 0xF0000000u;  // marker while testing; ends as kPointHidden

// Material alpha components are 0 and its specular power is 1.0.
struct MaterialRecord {
    float diffuseR = 0, diffuseG = 0, diffuseB = 0;
    float ambientR = 0, ambientG = 0, ambientB = 0;
    float emissiveR = 0, emissiveG = 0, emissiveB = 0;
    float specularR = 0, specularG = 0, specularB = 0;
};
static_assert(sizeof(MaterialRecord) == 48);

// A point light as the scene describes it; SetLight scales range by 800.
struct LightRecord {
    float x = 0, y = 0, z = 0;
    float range = 0;
    float r = 0, g = 0, b = 0;
};
static_assert(sizeof(LightRecord) == 28);

// Left, top, right, bottom in screen pixels.
struct ScreenRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};

// Enumeration records filled by the concrete device. `native` is the device's own object.
struct ModeInfo {
    int32_t width = 0;
    int32_t height = 0;
    int32_t bitsPerPixel = 0;
    void* native = nullptr;
};

struct DeviceInfo {
    std::string name;
    std::string description;
    void* native = nullptr;
    std::vector<ModeInfo> modes;

    int GetModeCount() const { return static_cast<int>(modes.size()); }
    const ModeInfo& GetMode(int index) const { return modes.at(index); }
    int AddMode(const ModeInfo& mode);
};

struct DriverInfo {
    std::string name;
    std::string description;
    void* native = nullptr;
    std::vector<DeviceInfo> devices;

    int GetDeviceCount() const { return static_cast<int>(devices.size()); }
    const DeviceInfo& GetDevice(int index) const { return devices.at(index); }
    DeviceInfo& GetDevice(int index) { return devices.at(index); }
    int AddDevice(const DeviceInfo& device);
};

// 0xFF000000 | r << 16 | g << 8 | b from components in 0..1, each * 255 truncated
// (components outside 0..1 are clamped first so they cannot spill into other channels).
uint32_t PackColor(float r, float g, float b);
