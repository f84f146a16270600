// Sample-count and timer queries around spans of drawing, read back without stalling (internal).
#pragma once
#include <cstdint>
#include <deque>
#include <vector>
#include "engine/device/RenderDevice.h"
#include "engine/device/gl/GLError.h"

class GLQueries {
public:
    GLQueries() = default;
    ~GLQueries();
    GLQueries(const GLQueries&) = delete;
    GLQueries& operator=(const GLQueries&) = delete;

    // Asks the current context which queries it has (call once it is current).
    void Init();
    RenderDevice::MeasureSupport GetSupport() const { return support_; }

    // Ends the open span, if any, and opens one under tag.
    void Begin(uint32_t tag);
    void End();
    // Ended spans whose results are in, oldest first (all of them with wait).
    void Take(std::vector<RenderDevice::MeasuredSpan>& out, bool wait);

private:
    struct Span {
        uint32_t tag = 0;
        GLuint samples = 0;  // 0 when the device cannot count
        GLuint time = 0;
    };
    // A query object keeps the target it was first used with, so each target has its own pool.
    static GLuint NewQuery(std::vector<GLuint>& pool);
    void Recycle(const Span& span);

    RenderDevice::MeasureSupport support_;
    std::deque<Span> ended_;
    Span open_;
    bool isOpen_ = false;
    std::vector<GLuint> freeSamples_;
    std::vector<GLuint> freeTimes_;
};
