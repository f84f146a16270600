// The display-less device of the authoring modes: the engine's null device, opened at 640x480x32.
#include "app/AuthorTools.h"

#include "engine/device/NullDevice.h"

std::unique_ptr<RenderDevice> MakeDisplaylessDevice()
{
    auto device = std::make_unique<NullDevice>();
    device->Open(640, 480, 32);
    return device;
}
