// DeviceState: the drawing state the state operations leave, one value per device.
#pragma once
#include <map>
#include "engine/device/DeviceTypes.h"
#include "engine/device/Matrix.h"

class Texture;

// One texture stage as the stage operations left it.
struct StageState {
    Texture* texture = nullptr;
    ColorOp colorOp = ColorOp::Modulate;
    ColorArg colorArg1 = ColorArg::Texture;
    ColorArg colorArg2 = ColorArg::Diffuse;
    AlphaOp alphaOp = AlphaOp::Disable;
    AlphaArg alphaArg1 = AlphaArg::Texture;
    AlphaArg alphaArg2 = AlphaArg::Current;
    // A stage without a colour operation takes no part in drawing: the second stage stays
    // off until SetColorOp names one, and nothing can switch it off again.
    bool colorOpSet = true;
};

struct LightState {
    LightRecord record;  // range as stored: 800 x the value given
    bool enabled = false;
};

struct DeviceState {
    // Stage 0 passes the texture's alpha on; stage 1 starts off, combining with the colour so far.
    StageState stages[2] = {
        {nullptr, ColorOp::Modulate, ColorArg::Texture, ColorArg::Diffuse, AlphaOp::SelectArg1, AlphaArg::Texture,
         AlphaArg::Current, true},
        {nullptr, ColorOp::Modulate, ColorArg::Texture, ColorArg::Current, AlphaOp::Disable, AlphaArg::Texture,
         AlphaArg::Current, false},
    };
    BlendFactor srcBlend = BlendFactor::One;
    BlendFactor destBlend = BlendFactor::One;
    bool alphaBlend = false;
    bool depthTest = true;
    CompareFunc depthFunc = CompareFunc::LessEqual;
    CullMode cullMode = CullMode::Clockwise;
    bool lighting = false;
    MaterialRecord material;
    bool fog = false;
    uint32_t fogColor = 0xFF000000u;  // 0xFFrrggbb
    FogMode fogMode = FogMode::Linear;
    float fogStart = 0.0f, fogEnd = 1.0f, fogDensity = 1.0f;
    uint32_t ambient = 0xFF000000u;  // 0xFFrrggbb
    std::map<int, LightState> lights;
    Matrix4 projection;
    Matrix4 view;
    Matrix4 world;

    int EnabledLightCount() const
    {
        int on = 0;
        for (const auto& entry : lights)
            on += entry.second.enabled ? 1 : 0;
        return on;
    }
};
