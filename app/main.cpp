// Process entry (placeholder until the application shell lands): lists the embedded archive.
#include <cstdio>
#include "pak/EmbeddedResource.h"
#include "pak/PakFile.h"

extern "C" const uint8_t starfall_pak_begin[];
extern "C" const uint8_t starfall_pak_end[];

int main()
{
    RegisterEmbeddedResource("STARFALL.PAK", starfall_pak_begin,
                             static_cast<size_t>(starfall_pak_end - starfall_pak_begin));
    PakFile pak;
    if (!pak.Open("Starfall.pak")) {
        std::fprintf(stderr, "No archive.\n");
        return 1;
    }
    for (const auto& e : pak.GetEntries())
        std::printf("%s %u\n", e.name.c_str(), e.dataSize);
    return 0;
}
