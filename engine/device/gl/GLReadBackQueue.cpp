// Read-back through pixel buffer objects and fences, so the caller never stalls on drawing.
#include "engine/device/gl/GLReadBackQueue.h"
#include <cstring>
#include "engine/core/Fatal.h"

GLReadBackQueue::~GLReadBackQueue()
{
    for (const Pending& p : pending_) {
        glDeleteSync(p.fence);
        glDeleteBuffers(1, &p.buffer);
    }
    if (!free_.empty()) glDeleteBuffers(static_cast<GLsizei>(free_.size()), free_.data());
}

void GLReadBackQueue::Queue(int width, int height)
{
    Pending p;
    p.bytes = static_cast<size_t>(width) * height * 3;
    if (p.bytes != freeBytes_ && !free_.empty()) {
        glDeleteBuffers(static_cast<GLsizei>(free_.size()), free_.data());
        free_.clear();
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (free_.empty()) {
        glGenBuffers(1, &p.buffer);
        glBindBuffer(GL_PIXEL_PACK_BUFFER, p.buffer);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(p.bytes), nullptr, GL_STREAM_READ);
    } else {
        p.buffer = free_.back();
        free_.pop_back();
        glBindBuffer(GL_PIXEL_PACK_BUFFER, p.buffer);
    }
    freeBytes_ = p.bytes;
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    p.fence = glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    pending_.push_back(p);
    GL_CHECK("QueueReadBack");
}

bool GLReadBackQueue::Take(std::vector<uint8_t>& rgb, bool wait)
{
    if (pending_.empty()) return false;
    Pending p = pending_.front();
    if (wait) {
        while (glClientWaitSync(p.fence, GL_SYNC_FLUSH_COMMANDS_BIT, 1000000000) == GL_TIMEOUT_EXPIRED) {
        }
    } else if (glClientWaitSync(p.fence, GL_SYNC_FLUSH_COMMANDS_BIT, 0) == GL_TIMEOUT_EXPIRED) {
        return false;
    }
    pending_.pop_front();
    glDeleteSync(p.fence);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, p.buffer);
#ifdef STARFALL_WEB  // WebGL 2 maps no buffers; the page never captures frames
    (void)rgb;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    ReportFatal("OpenGL read-back failed : queued read-backs are not available in a browser");
#else
    const void* mapped = glMapBufferRange(GL_PIXEL_PACK_BUFFER, 0, static_cast<GLsizeiptr>(p.bytes), GL_MAP_READ_BIT);
    if (mapped == nullptr) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
        glDeleteBuffers(1, &p.buffer);
        ReportFatal("OpenGL read-back failed : glMapBufferRange\nDescription : error 0x%04X", glGetError());
    }
    rgb.resize(p.bytes);
    std::memcpy(rgb.data(), mapped, p.bytes);
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
#endif
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (p.bytes == freeBytes_) free_.push_back(p.buffer);
    else glDeleteBuffers(1, &p.buffer);
    GL_CHECK("TakeReadBack");
    return true;
}
