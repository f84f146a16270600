// Process entry: makes the embedded archive reachable as "STARFALL.PAK", then runs the player.
#include <cstddef>
#include <cstdint>

#include "app/ProcessEntry.h"
#include "pak/EmbeddedResource.h"

extern "C" const uint8_t starfall_pak_begin[];
extern "C" const uint8_t starfall_pak_end[];

int main(int argc, char** argv)
{
    RegisterEmbeddedResource("STARFALL.PAK", starfall_pak_begin,
                             static_cast<size_t>(starfall_pak_end - starfall_pak_begin));
    return StarfallMain(argc, argv);
}
