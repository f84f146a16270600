// Test helper: a headless OpenGL device for rendering checks, and what a test does without one.
#pragma once
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include "engine/device/gl/GLDevice.h"

// Opens the first driver's first device off-screen at width x height x bits. Returns nullptr
// with the reason when this machine cannot create an OpenGL context.
std::unique_ptr<GLDevice> OpenHeadlessGLDevice(int width, int height, int bits, std::string& reason);

// Whether a value of STARFALL_REQUIRE_GL asks for OpenGL: anything set but "" and "0".
bool RequiresGL(const char* value);
// RequiresGL of this process's STARFALL_REQUIRE_GL (CI sets it): a GL suite must not pass
// there by skipping every test.
bool GLRequired();

// In a test body or SetUp without an OpenGL context: skips the test, or fails it where
// GLRequired(), naming the reason the device could not be opened. A statement of its own
// (in braces after an if).
#define SKIP_OR_FAIL_WITHOUT_GL(reason)                                                          \
    switch (0)                                                                                   \
    case 0:                                                                                      \
    default:                                                                                     \
        if (GLRequired())                                                                        \
            GTEST_FAIL() << "no OpenGL context, and STARFALL_REQUIRE_GL asks for one: " << (reason); \
        else                                                                                     \
            GTEST_SKIP() << "no OpenGL context: " << (reason)
