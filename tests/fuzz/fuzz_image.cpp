// Fuzz target: PNG and JPEG loading through File; the first byte picks the reader and the display.
#include <cstddef>
#include <cstdint>
#include "FuzzSupport.h"
#include "engine/core/Image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t choice = data[0];
    const char* name = (choice & 1) != 0 ? "fuzz.jpg" : "fuzz.png";
    static const DisplayFormat displays[] = {{32, 0x00FF0000}, {16, 0xF800}, {16, 0x7C00}, {24, 0x00FF0000}};
    const DisplayFormat display = displays[(choice >> 1) & 3];
    const ImageConversion conversion = (choice & 8) != 0 ? ImageConversion::ForDisplay : ImageConversion::XRGB32;
    MemoryArchive archive;
    archive.Add(name, data + 1, size - 1);
    IgnoringFatalErrors([&] {
        uint32_t width = 0, height = 0;
        LoadGFX(name, conversion, display, width, height);
    });
    return 0;
}
