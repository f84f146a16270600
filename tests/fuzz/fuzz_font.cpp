// Fuzz target: a font sheet cut from PNG bytes, then text printed with it.
#include <cstddef>
#include <cstdint>
#include "FuzzSupport.h"
#include "engine/device/Font.h"
#include "support/RecordingDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    MemoryArchive archive;
    archive.Add("font.png", data, size);
    IgnoringFatalErrors([] {
        // Small from the start: a fresh device per input stays cheap (a full-size back
        // buffer made and zeroed for every input took most of the time).
        RecordingDevice device(64, 48);
        device.Open(64, 48, 32);
        Font font(&device, "font.png");
        font.PrintText(nullptr, 10, 10, "Starfall 0123 ~!{}\n\x7f\x80");
        font.MeasureText(0, "Vireo");
    });
    return 0;
}
