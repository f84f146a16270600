// Test helper: a headless OpenGL device for rendering checks, and what a test does without one.
#include "support/HeadlessGL.h"
#include <cstdlib>
#include <cstring>
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

bool RequiresGL(const char* value)
{
    return value != nullptr && value[0] != '\0' && std::strcmp(value, "0") != 0;
}

bool GLRequired()
{
    return RequiresGL(std::getenv("STARFALL_REQUIRE_GL"));
}
