// The pending back-buffer commands and the backward walk that finds the ones nothing will ever see.
#include "engine/device/gl/GLCommandList.h"
#include <algorithm>

CommandEffects CommandEffects::Draw(bool depthTest, CompareFunc depthFunc, bool coversViewport)
{
    CommandEffects effects;
    effects.coversColour = coversViewport;
    effects.writesDepth = depthTest;
    effects.coversDepth = coversViewport && depthTest;
    effects.readsDepth = depthTest && depthFunc != CompareFunc::Always;
    return effects;
}

CommandEffects CommandEffects::Clear(bool colour)
{
    CommandEffects effects;
    effects.writesColour = colour;
    effects.coversColour = colour;
    effects.writesDepth = true;
    effects.coversDepth = true;
    return effects;
}

GLCommand& GLCommandList::Append()
{
    if (size_ == commands_.size()) commands_.emplace_back();
    GLCommand& command = commands_[size_++];
    command.kind = GLCommand::Kind::Draw;
    command.effects = CommandEffects{};
    command.binding = GLDrawBinding{};
    command.primitives = BatchKind::None;
    command.vertices.clear();
    command.indices.clear();
    command.buffer = nullptr;
    command.bufferIndices.clear();
    command.clearColour = false;
    command.colour = 0;
    return command;
}

bool GLCommandList::Samples(uint32_t texture) const
{
    return std::any_of(begin(), end(), [texture](const GLCommand& command) {
        return command.kind != GLCommand::Kind::Clear &&
               (command.binding.textures[0] == texture || command.binding.textures[1] == texture);
    });
}

bool GLCommandList::DrawsFrom(const GLVertexBuffer* buffer) const
{
    return std::any_of(begin(), end(), [buffer](const GLCommand& command) { return command.buffer == buffer; });
}

CoveredWork GLCommandList::DropCovered()
{
    // What is stored before the command being looked at: overwritten before it is read?
    bool colourDead = false, depthDead = false;
    keep_.assign(size_, 1);
    CoveredWork saved;
    for (size_t i = size_; i-- > 0;) {
        GLCommand& command = commands_[i];
        CommandEffects& effects = command.effects;
        const bool colourSeen = effects.writesColour && !colourDead;
        const bool depthSeen = effects.writesDepth && !depthDead;
        if (!colourSeen && !depthSeen) {
            keep_[i] = 0;
            ++saved.dropped;
            continue;
        }
        if (command.kind == GLCommand::Kind::Clear && command.clearColour && !colourSeen) {
            command.clearColour = false;
            effects = CommandEffects::Clear(false);
            ++saved.clearsReduced;
        }
        // Everything earlier is overwritten by a cover, whatever lies between.
        if (effects.coversColour) colourDead = true;
        if (effects.coversDepth) depthDead = true;
        else if (effects.readsDepth) depthDead = false;
    }
    if (saved.dropped > 0) {
        // Dropped slots move behind the list as spares, their vectors kept.
        size_t at = 0;
        for (size_t i = 0; i < size_; ++i)
            if (keep_[i]) {
                if (at != i) std::swap(commands_[at], commands_[i]);
                ++at;
            }
        size_ = at;
    }
    return saved;
}
