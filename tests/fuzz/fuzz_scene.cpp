// Fuzz target: an MDL scene read, loaded with its textures and drawn once on the recording device.
#include <cstddef>
#include <cstdint>
#include "FuzzSupport.h"
#include "engine/scene/Scene.h"
#include "support/RecordingDevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Whatever texture names the scene invents read as small real images.
    static const std::string jpeg = SourceFile("data/white.jpg");
    static const std::string png = SourceFile("tests/fuzz/corpus/font/plain.png");
    static const std::string font = SourceFile("data/font1.png");
    MemoryArchive archive;
    archive.AddFallback(".jpg", jpeg);
    archive.AddFallback(".png", png);
    archive.Add("font1.png", font);
    archive.Add("scene.mdl", data, size);
    IgnoringFatalErrors([] {
        // Small from the start: a fresh device per input stays cheap (a full-size back
        // buffer made and zeroed for every input took most of the time).
        RecordingDevice device(64, 48);
        device.Open(64, 48, 32);
        Scene scene(device);
        scene.Load("scene.mdl");
        scene.LoadTextures();
        device.BeginScene();
        scene.Draw(17.5f);
        device.EndScene();
        scene.ReleaseTextures();
    });
    return 0;
}
