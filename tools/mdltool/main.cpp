// mdltool: lists an MDL scene file (dump) or loads it as a player would and reports (check).
#include <cstdio>
#include <cstring>
#include <iostream>
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/core/Log.h"
#include "engine/device/NullDevice.h"
#include "engine/scene/MdlFile.h"
#include "engine/scene/Scene.h"
#include "tools/mdltool/MdlDump.h"

namespace {

// Textures are checked at the size a player's OpenGL device takes them (today's hardware
// and software renderers accept 16384), not at the display-less device's 256.
constexpr int kCheckMaxTextureSize = 16384;

void PrintLine(const char* text)
{
    // The cache names the alpha image of every cached texture, also when there is none.
    if (std::strcmp(text, "Cached [  ] map.") == 0)
        return;
    std::printf("%s\n", text);
}

int Usage()
{
    std::fprintf(stderr,
                 "usage: mdltool dump FILE     list the scene file's records\n"
                 "       mdltool check FILE [CAMERA]\n"
                 "                             load it as a player does (textures too), select\n"
                 "                             CAMERA if given, draw its first frame; prints the\n"
                 "                             log (warnings, statistics); exit 1 on an error\n");
    return 2;
}

int Dump(const char* path)
{
    File file;
    if (!file.Open(path))
        ReportFatal("Unable to open MDL file [%s]", path);
    const MdlFile data = ReadMdl(file.ReadAll(), path);
    DumpMdl(data, path, std::cout);
    return 0;
}

int Check(const char* path, const char* camera)
{
    if (!HasMdlExtension(path)) {
        std::printf("[%s] does not end in .mdl: a player would leave its scene empty.\n", path);
        return 1;
    }
    SetLogCallback(PrintLine);
    NullDevice device;
    device.SetMaxTextureSize(kCheckMaxTextureSize);
    device.Open(640, 480, 32);
    Scene scene(device);
    scene.Load(path);
    scene.LoadTextures();
    if (camera)
        scene.SelectCamera(camera);
    device.BeginScene();
    scene.Draw(0.0f);
    device.EndScene();
    std::printf("OK: %zu meshes (%d drawn at frame 0), %zu materials, %zu tracks, %u frames\n",
                scene.GetMeshes().size(), scene.GetMeshesDrawn(), scene.GetMaterials().size(),
                scene.GetTracks().size(), scene.GetFrameCount());
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    try {
        if (std::strcmp(argv[1], "dump") == 0 && argc == 3)
            return Dump(argv[2]);
        if (std::strcmp(argv[1], "check") == 0 && argc <= 4)
            return Check(argv[2], argc == 4 ? argv[3] : nullptr);
    } catch (const std::exception& error) {
        std::printf("Error: %s\n", error.what());
        return 1;
    }
    return Usage();
}
