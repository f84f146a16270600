// Asynchronous read-back of the bound read framebuffer into pixel buffer objects (internal).
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>
#include "engine/device/gl/GLError.h"

class GLReadBackQueue {
public:
    GLReadBackQueue() = default;
    ~GLReadBackQueue();
    GLReadBackQueue(const GLReadBackQueue&) = delete;
    GLReadBackQueue& operator=(const GLReadBackQueue&) = delete;

    // Starts copying width x height RGB24 pixels of the current read framebuffer into a
    // pixel buffer; GL_PIXEL_PACK_BUFFER is left unbound.
    void Queue(int width, int height);
    // The oldest copy, rows as GL stores them; false when none is queued, or (without wait)
    // when it is not finished yet.
    bool Take(std::vector<uint8_t>& rgb, bool wait);
    size_t Size() const { return pending_.size(); }

private:
    struct Pending {
        GLuint buffer = 0;
        GLsync fence = nullptr;
        size_t bytes = 0;
    };
    std::deque<Pending> pending_;
    std::vector<GLuint> free_;  // buffers whose copy was taken, ready for reuse
    size_t freeBytes_ = 0;      // the size every buffer in free_ has
};
