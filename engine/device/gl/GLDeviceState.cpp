// OpenGL device: what a state change means for the pending batch and the uniforms, and the stage keys.
#include "engine/device/gl/GLDevice.h"

namespace {

// Values outside an enumeration would index past the generator's tables; keep them in range.
uint8_t Clamp(int value, int highest)
{
    return static_cast<uint8_t>(value < 0 ? 0 : (value > highest ? highest : value));
}

// The operations whose values reach the programs as uniforms rather than as generated code.
bool CarriedByUniforms(StateCall::Kind kind)
{
    using Kind = StateCall::Kind;
    switch (kind) {
    case Kind::SetProjection:
    case Kind::SetView:
    case Kind::SetWorld:
    case Kind::SetMaterial:
    case Kind::SetFogColor:
    case Kind::SetFog:
    case Kind::SetAmbient:
    case Kind::SetLight:
    case Kind::EnableLight:
        return true;
    default:
        return false;
    }
}

}  // namespace

void GLDevice::StateChanging(StateCall::Kind kind)
{
    FlushBatch();
    if (CarriedByUniforms(kind)) ++uniformGeneration_;
}

StageKey GLDevice::KeyOf(const StageState& stage)
{
    StageKey key;
    key.colorOp = stage.colorOpSet ? Clamp(static_cast<int>(stage.colorOp), 3) : kStageDisabled;
    key.colorArg1 = Clamp(static_cast<int>(stage.colorArg1), 3);
    key.colorArg2 = Clamp(static_cast<int>(stage.colorArg2), 3);
    key.alphaOp = Clamp(static_cast<int>(stage.alphaOp), 4);
    key.alphaArg1 = Clamp(static_cast<int>(stage.alphaArg1), 2);
    key.alphaArg2 = Clamp(static_cast<int>(stage.alphaArg2), 2);
    key.textured = stage.texture != nullptr;
    return key;
}

void GLDevice::SetOrtho(float width, float height, float nearPlane, float farPlane)
{
    ApplyOrtho(width, height, nearPlane, farPlane);
}
