// Test helper: a headless OpenGL device with the camera the application sets up.
#include "HeadlessGL.h"
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

void SetApplicationCamera(RenderDevice& device)
{
    device.SetEye(0.0f, 0.0f, -5.0f);
    device.SetTarget(0.0f, 0.0f, 0.0f);
    device.SetFieldOfView(0.7853982f);
    device.SetNearPlane(1.0f);
    device.SetFarPlane(1500.0f);
    device.SetRoll(0.0f);
    device.UpdateCamera();
}
