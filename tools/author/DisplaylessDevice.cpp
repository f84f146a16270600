// The display-less device of the authoring modes: the recording device that mdltool and the tests load scenes on.
#include "app/AuthorTools.h"

#include "support/RecordingDevice.h"

std::unique_ptr<RenderDevice> MakeDisplaylessDevice()
{
    auto device = std::make_unique<RecordingDevice>();
    device->Open(640, 480, 32);
    return device;
}
