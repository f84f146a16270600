// Tests of the GL suites' rule on a machine without OpenGL: skip, or fail where CI asks for OpenGL.
#include <gtest/gtest-spi.h>
#include <cstdlib>
#include <optional>
#include <string>
#include "support/HeadlessGL.h"

namespace {

void StopWithoutGL()
{
    SKIP_OR_FAIL_WITHOUT_GL(std::string("no display here"));
}

// Sets STARFALL_REQUIRE_GL for the test's time and puts the old value back.
class RequireGL {
public:
    explicit RequireGL(const char* value)
    {
        if (const char* old = std::getenv("STARFALL_REQUIRE_GL")) old_ = old;
        if (value) setenv("STARFALL_REQUIRE_GL", value, 1);
        else unsetenv("STARFALL_REQUIRE_GL");
    }
    ~RequireGL()
    {
        if (old_) setenv("STARFALL_REQUIRE_GL", old_->c_str(), 1);
        else unsetenv("STARFALL_REQUIRE_GL");
    }

private:
    std::optional<std::string> old_;
};

}  // namespace

TEST(GLRequired, OnlyAnUnsetEmptyOrZeroValueLetsAGLTestSkip)
{
    const struct {
        const char* value;
        bool required;
    } cases[] = {{nullptr, false}, {"", false}, {"0", false}, {"1", true}, {"yes", true}, {"00", true}};
    for (const auto& c : cases) {
        EXPECT_EQ(RequiresGL(c.value), c.required) << (c.value ? c.value : "(unset)");
        RequireGL set(c.value);
        EXPECT_EQ(GLRequired(), c.required) << (c.value ? c.value : "(unset)");
    }
}

TEST(GLRequired, WithoutAContextTheTestFailsWithTheReasonWhereOpenGLIsRequired)
{
    RequireGL set("1");
    EXPECT_FATAL_FAILURE(StopWithoutGL(), "STARFALL_REQUIRE_GL asks for one: no display here");
}
