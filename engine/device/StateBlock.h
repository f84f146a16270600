// State calls captured between BeginStateBlock and EndStateBlock, kept as plain data for replay.
#pragma once
#include <cstdint>
#include "engine/device/DeviceTypes.h"
#include "engine/device/Matrix.h"

class Texture;

// One recorded state-setting call. Only the fields its kind uses are meaningful.
struct StateCall {
    enum class Kind : uint8_t {
        SetTexture, SetColorOp, SetColorArg1, SetColorArg2, SetAlphaOp, SetAlphaArg1, SetAlphaArg2,
        SetSrcBlend, SetDestBlend, EnableAlphaBlend, EnableDepth, SetDepthFunc, SetCullMode,
        EnableLighting, SetMaterial, EnableFog, SetFogColor, SetFog, SetAmbient,
        SetProjection, SetView, SetWorld, SetLight, EnableLight
    };

    Kind kind = Kind::SetTexture;
    int index = 0;          // texture stage or light index
    int value = 0;          // enumeration value or flag
    float f[4] = {0, 0, 0, 0};  // colour components or fog start, end, density
    Texture* texture = nullptr;
    Matrix4 matrix;
    MaterialRecord material;
    LightRecord light;

    static StateCall Value(Kind kind, int index, int value)
    {
        StateCall call;
        call.kind = kind;
        call.index = index;
        call.value = value;
        return call;
    }
    static StateCall Floats(Kind kind, float a, float b, float c, int value = 0)
    {
        StateCall call;
        call.kind = kind;
        call.value = value;
        call.f[0] = a;
        call.f[1] = b;
        call.f[2] = c;
        return call;
    }
    static StateCall Bind(int stage, Texture* texture)
    {
        StateCall call;
        call.kind = Kind::SetTexture;
        call.index = stage;
        call.texture = texture;
        return call;
    }
    static StateCall Transform(Kind kind, const Matrix4& matrix)
    {
        StateCall call;
        call.kind = kind;
        call.matrix = matrix;
        return call;
    }
    static StateCall Material(const MaterialRecord& material)
    {
        StateCall call;
        call.kind = Kind::SetMaterial;
        call.material = material;
        return call;
    }
    static StateCall Light(int index, const LightRecord& light)
    {
        StateCall call;
        call.kind = Kind::SetLight;
        call.index = index;
        call.light = light;
        return call;
    }
};
