// Tests of the program cache: keys whose generated code is the same share one program.
#include "support/GLTestSupport.h"
#include "engine/device/gl/GLProgramCache.h"

namespace {

PipelineKey Key(bool lighting, int lights, bool fog, int fogMode, int secondArg)
{
    PipelineKey key;
    key.stages[0].colorOp = static_cast<uint8_t>(ColorOp::Modulate);
    key.stages[0].colorArg1 = static_cast<uint8_t>(ColorArg::Texture);
    key.stages[0].textured = true;
    key.stages[1].colorOp = kStageDisabled;  // its arguments cannot matter
    key.stages[1].colorArg1 = static_cast<uint8_t>(secondArg);
    key.lighting = lighting;
    key.lightCount = static_cast<uint8_t>(lights);
    key.fog = fog;
    key.fogMode = static_cast<uint8_t>(fogMode);
    return key;
}

}  // namespace

TEST(GLProgramCache, KeysWithTheSameCodeShareAProgramThatAgreesWithEveryKeyOnItsUniforms)
{
    std::unique_ptr<GLDevice> device = MakeTestDevice(16, 16);  // the context the cache compiles in
    GLStateCache state;
    state.Invalidate();
    GLProgramCache cache;

    // Fog off: the fog mode is not compiled in; a disabled second stage: its arguments are not.
    EXPECT_EQ(&cache.Get(Key(false, 0, false, 0, 0), state), &cache.Get(Key(false, 0, false, 2, 0), state));
    EXPECT_EQ(&cache.Get(Key(false, 0, false, 0, 0), state), &cache.Get(Key(false, 0, false, 0, 2), state));
    EXPECT_NE(&cache.Get(Key(false, 0, true, 0, 0), state), &cache.Get(Key(false, 0, true, 2, 0), state));
    EXPECT_NE(&cache.Get(Key(false, 0, false, 0, 0), state), &cache.Get(Key(true, 0, false, 0, 0), state));
    EXPECT_NE(&cache.Get(Key(true, 1, false, 0, 0), state), &cache.Get(Key(true, 2, false, 0, 0), state));

    // Every key of a wide set: the program it gets uploads the uniforms its own key needs.
    for (int lighting = 0; lighting < 2; ++lighting)
        for (int lights = 0; lights <= 3; ++lights)
            for (int fog = 0; fog < 2; ++fog)
                for (int fogMode = 0; fogMode < 3; ++fogMode)
                    for (int arg = 0; arg < 4; ++arg) {
                        const PipelineKey key = Key(lighting != 0, lights, fog != 0, fogMode, arg);
                        const GLProgram& program = cache.Get(key, state);
                        SCOPED_TRACE(testing::Message() << lighting << lights << fog << fogMode << arg);
                        EXPECT_EQ(program.key.lighting, key.lighting);
                        EXPECT_EQ(program.key.fog, key.fog);
                        if (key.lighting) {
                            EXPECT_EQ(program.key.lightCount, key.lightCount);
                        }
                        if (key.fog) {
                            EXPECT_EQ(program.key.fogMode, key.fogMode);
                        }
                        EXPECT_EQ(&cache.Get(key, state), &program);
                    }
    EXPECT_EQ(cache.GetKeyCount(), 2u * 4 * 2 * 3 * 4);
    EXPECT_LT(cache.GetSize(), cache.GetKeyCount() / 4);
    EXPECT_GT(cache.GetSize(), 0u);
}
