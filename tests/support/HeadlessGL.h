// Test helper: a headless OpenGL device with the camera the application sets up.
#pragma once
#include <memory>
#include <string>
#include "engine/device/gl/GLDevice.h"

// Opens the first driver's first device off-screen at width x height x bits. Returns nullptr
// with the reason when this machine cannot create an OpenGL context (tests then skip).
std::unique_ptr<GLDevice> OpenHeadlessGLDevice(int width, int height, int bits, std::string& reason);

// The camera every layer finds: eye at z -5 looking at the origin, 45 degrees, planes 1..1500.
void SetApplicationCamera(RenderDevice& device);
