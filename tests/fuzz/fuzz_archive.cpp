// Fuzz target: the packed archive, opened from memory, then every entry read.
#include <cstddef>
#include <cstdint>
#include <vector>
#include "FuzzSupport.h"
#include "pak/EmbeddedResource.h"
#include "pak/PakFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    RegisterEmbeddedResource("FUZZ.PAK", data, size);
    IgnoringFatalErrors([] {
        PakFile pak;
        if (!pak.Open("FUZZ.PAK"))
            return;
        std::vector<uint8_t> contents;
        for (const PakFile::Entry& entry : pak.GetEntries()) {
            int32_t length = pak.GetFileSize(entry.name);
            if (length < 0)
                continue;
            contents.assign(static_cast<size_t>(length), 0);
            pak.ReadFile(entry.name, contents.data());
        }
    });
    UnregisterEmbeddedResource("FUZZ.PAK");
    return 0;
}
