// Back-buffer work held back until its result is needed, and the walk that drops what later work overwrites (internal, no GL calls).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "engine/device/DeviceState.h"
#include "engine/device/gl/GLBatch.h"
#include "engine/device/gl/GLShaderGen.h"

class GLVertexBuffer;

// A pixel rectangle of a target, as glViewport takes it.
struct GLViewport {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const GLViewport&) const = default;
};

// What a draw needs besides DeviceState to reach GL, fixed when its batch is flushed.
struct GLDrawBinding {
    PipelineKey key;                 // the program (stage cascade as drawn)
    uint32_t textures[2] = {0, 0};   // the stages' GL textures (0: none)
    uint32_t framebuffer = 0;
    GLViewport viewport;
    uint64_t uniformGeneration = 0;  // the uniform values the state carries
};

// What a command does to its target, as far as deciding whether later work hides it goes.
struct CommandEffects {
    bool writesColour = true;
    bool coversColour = false;  // every pixel's colour, whatever was there
    bool writesDepth = false;
    bool coversDepth = false;   // every depth value, reading none
    bool readsDepth = false;    // the depth test compares with what is stored

    // A draw: GL writes depth only while the test is on; Always reads nothing.
    static CommandEffects Draw(bool depthTest, CompareFunc depthFunc, bool coversViewport);
    // A clear: depth always, colour when asked.
    static CommandEffects Clear(bool colour);
};

struct GLCommand {
    enum class Kind { Draw, BufferDraw, Clear };
    Kind kind = Kind::Draw;
    CommandEffects effects;
    // Draws and buffer draws: the state when the work was flushed.
    DeviceState state;
    GLDrawBinding binding;
    // Draws: the batch, moved in.
    BatchKind primitives = BatchKind::None;
    std::vector<Vertex> vertices;
    std::vector<uint32_t> indices;
    // Buffer draws: the buffer and its index list as it was when drawn.
    GLVertexBuffer* buffer = nullptr;
    std::vector<uint16_t> bufferIndices;
    // Clears: the colour (0xFFrrggbb) when colour is cleared too.
    bool clearColour = false;
    uint32_t colour = 0;
};

// What one walk saved.
struct CoveredWork {
    size_t dropped = 0;        // commands left out
    size_t clearsReduced = 0;  // colour clears sent as depth-only clears
};

// The commands live in slots that are kept when the list empties, so a warm frame's work
// reuses their vectors and allocates nothing.
class GLCommandList {
public:
    // A new last command to fill in: kind Draw, no binding or buffer, its vectors empty (the
    // state is left as the slot had it).
    GLCommand& Append();
    // Takes back the last Append (nothing to draw after all).
    void RemoveLast() { --size_; }
    void Add(GLCommand command) { Append() = std::move(command); }
    bool IsEmpty() const { return size_ == 0; }
    size_t Size() const { return size_; }
    const GLCommand* begin() const { return commands_.data(); }
    const GLCommand* end() const { return commands_.data() + size_; }
    // Whether a pending command samples this GL texture, or draws from this buffer.
    bool Samples(uint32_t texture) const;
    bool DrawsFrom(const GLVertexBuffer* buffer) const;
    // Walking from the last command back: drops every command whose colour and depth writes
    // are all overwritten later before anything reads them, and turns a colour clear whose
    // colour is overwritten into a depth-only clear. The end of the list counts as reading
    // everything.
    CoveredWork DropCovered();
    void Clear() { size_ = 0; }

private:
    std::vector<GLCommand> commands_;  // the first size_ are the list, the rest spare slots
    size_t size_ = 0;
    std::vector<uint8_t> keep_;        // the walk's scratch
};
