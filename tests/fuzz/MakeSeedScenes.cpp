// Writes the small scene files the scene fuzz target starts from: one per group of loading rules.
#include <cstdio>
#include <fstream>
#include <string>
#include "tools/mdltool/MdlWriter.h"

namespace {

void Save(const std::string& folder, const char* name, const MdlFile& file)
{
    const std::vector<uint8_t> bytes = WriteMdl(file);
    std::ofstream(folder + "/" + name, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void AddCamera(MdlFile& file, const std::string& name)
{
    file.cameras.push_back({name, {0, 0, -10}, {0, 0, 0}, 0.8f, 0.0f});
    file.tracks.push_back(MakePositionTrack(name, {{0, {0, 0, -10}}, {30, {1, 0, -10}}}));
    file.tracks.push_back(MakePositionTrack(name + ".Target", {{0, {}}, {30, {0, 1, 0}}}));
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    const std::string folder = argv[1];

    MdlFile plain;
    plain.frameCount = 40;
    AddCamera(plain, "Camera01");
    plain.meshes.push_back(MakeQuadMesh("Quad", "Mat", 1.0f, {}));
    MdlMaterialRecord material;
    material.name = "Mat";
    material.textures = {"stone.jpg", "stone_alpha.png"};
    material.colors[0] = {1, 1, 1};
    plain.materials.push_back(material);
    Save(folder, "plain.mdl", plain);

    MdlFile suffixes = plain;
    for (const char* name : {"a.Alpha", "b.AlphaMap", "c.EnvMap", "d.Floor", "e.Wire", "f.NoCull.NoLight",
                             "g.NoDynaLight", "h.Hide", "i.NoFog"})
        suffixes.meshes.push_back(MakeBoxMesh(name, "Mat", {-1, -1, -1}, {1, 1, 1}, {0, 0, 0}));
    suffixes.meshes[1].children = {"b.AlphaMap", "Quad"};
    Save(folder, "suffixes.mdl", suffixes);

    MdlFile lights = plain;
    lights.lights.push_back({"Omni01.Halo.m\"flare.png\"", {1, 2, 3}, {1, 1, 1}, 5});
    lights.lights.push_back({"Omni02.dyna", {0, 0, 0}, {1, 0.5f, 0}, 10});
    lights.lights.push_back({"Fog.fog.s10.e100.d0.5", {0, 0, 0}, {0.2f, 0.2f, 0.3f}, 1});
    lights.lights.push_back({"Src.particlegensrc", {0, 0, 0}, {1, 1, 1}, 1});
    lights.lights.push_back({"Dst.particlegendest", {5, 0, 0}, {1, 1, 1}, 1});
    lights.markers.push_back({"Marker01", 7, {1, 1, 1}});
    Save(folder, "lights.mdl", lights);

    MdlFile morph = plain;
    for (const char* name : {"Blob.MorphSrc.f0.Loop", "Blob.MorphDest.f20.c0", "Blob.MorphDest.f40.e60.c1"})
        morph.meshes.push_back(MakeQuadMesh(name, "", 1.0f, {}));
    Save(folder, "morph.mdl", morph);

    MdlFile animated = plain;
    MdlTrackRecord track;
    track.name = "Quad";
    track.position = {{0, {0, 0, 0}}, {20, {1, 2, 3}}};
    track.roll = {{0, 0.0f}, {20, 1.0f}};
    track.fieldOfView = {{0, 0.5f}, {20, 0.9f}};
    track.rotation = {{0, {0, 1, 0}, 0.0f, 0, 0}, {20, {0, 1, 0}, 1.5f, 0, 0}};
    track.scale = {{0, {1, 1, 1}}, {20, {2, 2, 2}}};
    animated.tracks.push_back(track);
    Save(folder, "animated.mdl", animated);
    return 0;
}
