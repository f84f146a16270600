// Sample-count and timer queries: a pool of query objects, results taken once they are in.
#include "engine/device/gl/GLQueries.h"

GLQueries::~GLQueries()
{
    if (isOpen_) End();
    while (!ended_.empty()) {
        Recycle(ended_.front());
        ended_.pop_front();
    }
    for (std::vector<GLuint>* pool : {&freeSamples_, &freeTimes_})
        if (!pool->empty()) glDeleteQueries(static_cast<GLsizei>(pool->size()), pool->data());
}

void GLQueries::Init()
{
    // A counter of 0 bits means the driver has the query in name only.
    GLint bits = 0;
    glGetQueryiv(GL_SAMPLES_PASSED, GL_QUERY_COUNTER_BITS, &bits);
    support_.samples = bits > 0;
    bits = 0;
    glGetQueryiv(GL_TIME_ELAPSED, GL_QUERY_COUNTER_BITS, &bits);
    support_.gpuTime = bits > 0;
    GLTakeError();  // a driver without the query answers with an error, not a crash
}

GLuint GLQueries::NewQuery(std::vector<GLuint>& pool)
{
    if (!pool.empty()) {
        GLuint id = pool.back();
        pool.pop_back();
        return id;
    }
    GLuint id = 0;
    glGenQueries(1, &id);
    return id;
}

void GLQueries::Recycle(const Span& span)
{
    if (span.samples != 0) freeSamples_.push_back(span.samples);
    if (span.time != 0) freeTimes_.push_back(span.time);
}

void GLQueries::Begin(uint32_t tag)
{
    if (isOpen_) End();
    if (!support_.samples && !support_.gpuTime) return;
    open_ = Span{tag, 0, 0};
    if (support_.samples) {
        open_.samples = NewQuery(freeSamples_);
        glBeginQuery(GL_SAMPLES_PASSED, open_.samples);
    }
    if (support_.gpuTime) {
        open_.time = NewQuery(freeTimes_);
        glBeginQuery(GL_TIME_ELAPSED, open_.time);
    }
    isOpen_ = true;
}

void GLQueries::End()
{
    if (!isOpen_) return;
    if (open_.samples != 0) glEndQuery(GL_SAMPLES_PASSED);
    if (open_.time != 0) glEndQuery(GL_TIME_ELAPSED);
    ended_.push_back(open_);
    isOpen_ = false;
}

void GLQueries::Take(std::vector<RenderDevice::MeasuredSpan>& out, bool wait)
{
    // A result only becomes available once its commands are on their way to the driver.
    if (!wait && !ended_.empty()) glFlush();
    while (!ended_.empty()) {
        const Span& span = ended_.front();
        // Results arrive in submission order, so the last query of the oldest span decides.
        GLuint last = span.time != 0 ? span.time : span.samples;
        if (!wait) {
            GLuint available = 0;
            glGetQueryObjectuiv(last, GL_QUERY_RESULT_AVAILABLE, &available);
            if (available == 0) return;
        }
        RenderDevice::MeasuredSpan result;
        result.tag = span.tag;
        GLuint64 value = 0;
        if (span.samples != 0) {
            glGetQueryObjectui64v(span.samples, GL_QUERY_RESULT, &value);
            result.samples = value;
        }
        if (span.time != 0) {
            value = 0;
            glGetQueryObjectui64v(span.time, GL_QUERY_RESULT, &value);
            result.gpuSeconds = static_cast<double>(value) * 1e-9;
        }
        out.push_back(result);
        Recycle(span);
        ended_.pop_front();
    }
}
