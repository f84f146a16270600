// Test helper: a headless OpenGL device for rendering checks.
#pragma once
#include <memory>
#include <string>
#include "engine/device/gl/GLDevice.h"

// Opens the first driver's first device off-screen at width x height x bits. Returns nullptr
// with the reason when this machine cannot create an OpenGL context (tests then skip).
std::unique_ptr<GLDevice> OpenHeadlessGLDevice(int width, int height, int bits, std::string& reason);
