// Test helper: a headless OpenGL device for rendering checks.
#include "support/HeadlessGL.h"
#include <exception>

std::unique_ptr<GLDevice> OpenHeadlessGLDevice(int width, int height, int bits, std::string& reason)
{
    try {
        auto device = std::make_unique<GLDevice>();
        device->SelectDriver(device->GetDriver(0));
        device->SelectDevice(device->GetDriver(0).GetDevice(0));
        device->Init(nullptr, false, width, height, bits);
        return device;
    } catch (const std::exception& error) {
        reason = error.what();
        return nullptr;
    }
}
