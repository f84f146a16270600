// OpenGL error names and the debug-build check.
#include "engine/device/gl/GLError.h"
#include "engine/core/Fatal.h"

const char* GLErrorText(GLenum error)
{
    switch (error) {
    case GL_NO_ERROR: return "GL_NO_ERROR";
    case GL_INVALID_ENUM: return "GL_INVALID_ENUM";
    case GL_INVALID_VALUE: return "GL_INVALID_VALUE";
    case GL_INVALID_OPERATION: return "GL_INVALID_OPERATION";
    case GL_INVALID_FRAMEBUFFER_OPERATION: return "GL_INVALID_FRAMEBUFFER_OPERATION";
    case GL_OUT_OF_MEMORY: return "GL_OUT_OF_MEMORY";
    default: return "Unknown OpenGL error.";
    }
}

GLenum GLTakeError()
{
    GLenum first = glGetError();
    // A context can queue several flags; clear them all so later checks start clean.
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    return first;
}

void GLCheckFatal(const char* what)
{
    GLenum error = GLTakeError();
    if (error != GL_NO_ERROR) ReportFatal("OpenGL : %s failed.\n[%s]", what, GLErrorText(error));
}
