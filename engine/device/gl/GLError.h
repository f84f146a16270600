// OpenGL platform header and error checking for the OpenGL device (internal).
#pragma once
#ifdef STARFALL_WEB
#include "engine/device/gl/GLWebCompat.h"
#else
#include <GL/gl.h>
#include <GL/glext.h>
#endif

// The name of a glGetError code ("GL_INVALID_ENUM", ...).
const char* GLErrorText(GLenum error);

// Drains glGetError; returns the first error, GL_NO_ERROR when none.
GLenum GLTakeError();

// Debug builds check every GL call site that uses GL_CHECK and stop with the error text;
// release builds skip the checks (glGetError stalls the pipeline).
void GLCheckFatal(const char* what);
#ifdef VIREO_GL_CHECKS
#define GL_CHECK(what) GLCheckFatal(what)
#else
#define GL_CHECK(what) ((void)0)
#endif
