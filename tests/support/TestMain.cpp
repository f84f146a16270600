// Entry point shared by every test suite: fixes the test environment, then runs the tests.
#include <gtest/gtest.h>
#include <cstdlib>

// The processor-exception guard installs its own SIGSEGV/SIGFPE handlers on its own
// alternate stack, so the address sanitizer must let it; leaks are not checked.
#define STARFALL_ASAN_OPTIONS "detect_leaks=0:allow_user_segv_handler=1:use_sigaltstack=0"
#define STARFALL_UBSAN_OPTIONS "print_stacktrace=1:halt_on_error=1"

extern "C" const char* __asan_default_options()
{
    return STARFALL_ASAN_OPTIONS;
}

extern "C" const char* __ubsan_default_options()
{
    return STARFALL_UBSAN_OPTIONS;
}

int main(int argc, char** argv)
{
    // Rendering runs on SDL's off-screen driver and sound on the dummy driver, here and
    // in every program a test starts; a value set by the caller is kept.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setenv("ASAN_OPTIONS", STARFALL_ASAN_OPTIONS, 0);
    setenv("UBSAN_OPTIONS", STARFALL_UBSAN_OPTIONS, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
