// The walk over pending back-buffer commands: what later work hides is dropped, as far as depth allows.
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include "engine/device/gl/GLCommandList.h"

namespace {

// One letter a command: c colour clear, z depth-only clear, d draw without depth test,
// t draw testing (and writing) depth with LessEqual, a draw with the depth test on Always,
// D and A the same as d and a but covering the viewport.
GLCommand Command(char code)
{
    GLCommand command;
    switch (code) {
    case 'c':
    case 'z':
        command.kind = GLCommand::Kind::Clear;
        command.clearColour = code == 'c';
        command.effects = CommandEffects::Clear(command.clearColour);
        break;
    case 't': command.effects = CommandEffects::Draw(true, CompareFunc::LessEqual, false); break;
    case 'a':
    case 'A': command.effects = CommandEffects::Draw(true, CompareFunc::Always, code == 'A'); break;
    default: command.effects = CommandEffects::Draw(false, CompareFunc::LessEqual, code == 'D'); break;
    }
    command.colour = static_cast<uint32_t>(code);  // names the command after the walk
    return command;
}

// The commands left, as their letters; a clear reduced to depth only shows as z.
std::string Walk(const std::string& codes, CoveredWork& saved)
{
    GLCommandList list;
    for (char code : codes) list.Add(Command(code));
    saved = list.DropCovered();
    std::string left;
    for (const GLCommand& command : list)
        left += command.kind == GLCommand::Kind::Clear && !command.clearColour ? 'z' : static_cast<char>(command.colour);
    return left;
}

}  // namespace

TEST(GLCommandList, DropsWhatALaterCoverOverwritesButKeepsDepthThatIsStillRead)
{
    struct Case {
        const char* what;
        const char* commands;  // oldest first
        const char* left;
        size_t dropped;
        size_t reduced;  // colour clears left as depth-only
    };
    const Case cases[] = {
        {"nothing covers", "cdtd", "cdtd", 0, 0},
        {"colour-only draws under a cover go", "cddD", "zD", 2, 1},
        {"the clear before a cover keeps only its depth part", "cD", "zD", 0, 1},
        {"a cover writing depth hides everything", "ctdA", "A", 3, 0},
        {"depth written before a cover without depth stays", "ctD", "ztD", 0, 1},
        {"depth written, then read after the cover", "ctDt", "ztDt", 0, 1},
        {"depth written, then cleared before it is read", "tDz", "Dz", 1, 0},
        {"depth read between the cover and the depth clear", "tDtz", "tDtz", 0, 0},
        {"a later colour clear hides everything", "cdtc", "c", 3, 0},
        {"work after the cover stays", "dDdt", "Ddt", 1, 0},
        {"Always writes depth without reading it", "tDaz", "Daz", 1, 0},
        {"two covers: the older is covered too", "cdDdD", "zD", 3, 1},
        {"a depth-only clear is never reduced further", "zD", "zD", 0, 0},
    };
    for (const Case& c : cases) {
        CoveredWork saved;
        EXPECT_EQ(Walk(c.commands, saved), c.left) << c.what;
        EXPECT_EQ(saved.dropped, c.dropped) << c.what;
        EXPECT_EQ(saved.clearsReduced, c.reduced) << c.what;
    }
}

TEST(GLCommandList, KnowsWhichTexturesAndBuffersPendingWorkReads)
{
    GLCommandList list;
    GLCommand draw;
    draw.binding.textures[0] = 7;
    draw.binding.textures[1] = 9;
    list.Add(std::move(draw));
    GLCommand fromBuffer;
    fromBuffer.kind = GLCommand::Kind::BufferDraw;
    auto* buffer = reinterpret_cast<GLVertexBuffer*>(0x1000);
    fromBuffer.buffer = buffer;
    list.Add(std::move(fromBuffer));
    GLCommand clear;
    clear.kind = GLCommand::Kind::Clear;
    list.Add(std::move(clear));
    EXPECT_TRUE(list.Samples(7));
    EXPECT_TRUE(list.Samples(9));
    EXPECT_FALSE(list.Samples(8));
    EXPECT_TRUE(list.DrawsFrom(buffer));
    EXPECT_FALSE(list.DrawsFrom(reinterpret_cast<GLVertexBuffer*>(0x2000)));
    EXPECT_EQ(list.Size(), 3u);
    list.Clear();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_FALSE(list.Samples(7));
    EXPECT_FALSE(list.DrawsFrom(buffer));
    // A slot used again starts afresh.
    const GLCommand& reused = list.Append();
    EXPECT_EQ(reused.kind, GLCommand::Kind::Draw);
    EXPECT_EQ(reused.buffer, nullptr);
    EXPECT_FALSE(list.DrawsFrom(buffer));
}
