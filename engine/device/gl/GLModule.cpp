// The OpenGL device as the internal module.
#include "engine/device/gl/GLModule.h"
#include "engine/device/gl/GLDevice.h"

InternalModule GLModule()
{
    return {GLDevice::kBanner, []() -> RenderDevice* { return new GLDevice(); }};
}
