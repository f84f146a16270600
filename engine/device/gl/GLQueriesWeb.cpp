// WebGL 2 counts no samples and has no timer without an extension: nothing is measured.
#include "engine/device/gl/GLQueries.h"

GLQueries::~GLQueries() = default;

void GLQueries::Init()
{
    support_ = {};
}

GLuint GLQueries::NewQuery(std::vector<GLuint>&)
{
    return 0;
}

void GLQueries::Recycle(const Span&) {}

void GLQueries::Begin(uint32_t) {}

void GLQueries::End() {}

void GLQueries::Take(std::vector<RenderDevice::MeasuredSpan>&, bool) {}
