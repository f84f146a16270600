// Process entry: makes the embedded archive reachable as "STARFALL.PAK", then runs the player.
#include <cstddef>
#include <cstdint>

#include "app/ProcessEntry.h"
#include "pak/EmbeddedResource.h"

// In a sanitizer build the player's own processor-exception guard must still see faults
// (ignored in a normal build).
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0:allow_user_segv_handler=1:use_sigaltstack=0";
}

extern "C" const uint8_t starfall_pak_begin[];
extern "C" const uint8_t starfall_pak_end[];

int main(int argc, char** argv)
{
    RegisterEmbeddedResource("STARFALL.PAK", starfall_pak_begin,
                             static_cast<size_t>(starfall_pak_end - starfall_pak_begin));
    return StarfallMain(argc, argv);
}
