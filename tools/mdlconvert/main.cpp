// mdlconvert: converts a scene from a modelling tool's export format into an MDL scene file.
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include "engine/scene/MdlFile.h"
#include "tools/mdlconvert/SceneConverter.h"
#include "tools/mdltool/MdlWriter.h"
#include "tools/pakwriter/PakWriter.h"

namespace {

const char kHelp[] =
    "usage: mdlconvert [--quiet] [--animation NAME] [--keep-light-names] IN OUT.mdl\n"
    "\n"
    "Converts a scene exported by a modelling tool (glTF 2.0 .gltf/.glb, .obj, .fbx, .dae and\n"
    "the other formats of the Open Asset Import Library) into an MDL scene file for the player.\n"
    "\n"
    "Axes: the source's right-handed axes (y up, a camera looking down -z) become the player's\n"
    "  left-handed axes (y up, looking down +z) by mirroring z: a point (x, y, z) is stored as\n"
    "  (x, y, -z), normals likewise, a rotation quaternion (x, y, z, w) becomes (-x, -y, z, w).\n"
    "  What every camera sees is unchanged (left stays left) and faces keep their winding on\n"
    "  screen, so the player's back-face culling keeps the faces the source shows. A file with\n"
    "  another up axis is taken as the library hands it over (its Collada reader turns z-up\n"
    "  files y up; .obj has no convention and is taken as y up).\n"
    "Meshes: one MDL mesh per mesh of a node, named exactly like the node (so the player's name\n"
    "  suffixes such as .NoCull, .Alpha or .Hide work as written); a node's second and further\n"
    "  meshes (one per material) get \"#2\", \"#3\"... appended. Faces are triangulated;\n"
    "  points and lines are left out. Vertices are stored as they stand at frame 0, with the\n"
    "  node's origin as the pivot. Normals (smooth ones made where missing), texture\n"
    "  coordinates stored as (u, -v) (the library's v runs up from the image's bottom row; the\n"
    "  player samples the top row at 0 and repeats textures) and vertex colours; a mesh without\n"
    "  vertex colours takes its material's diffuse colour. At most 65,536 vertices per mesh.\n"
    "Materials: the name (made unique with \"#2\"... when names repeat), the colour texture's\n"
    "  file name as written in the source, then the opacity map as the \"alpha\" texture (kept\n"
    "  only when its file name holds \"alpha\", as the player recognises alpha maps by name),\n"
    "  then a reflection map (the second texture an .EnvMap mesh uses); ambient, diffuse and\n"
    "  specular colours. Texture names that are URIs (glTF) have their %XX escapes decoded\n"
    "  (\"Duck%20Texture.png\" names \"Duck Texture.png\"); a texture\n"
    "  file not found beside the source is named in a warning with its material. Images held\n"
    "  inside the scene file (.glb, data URIs) are written beside OUT.mdl as PNG or JPEG, as\n"
    "  stored, named OUT_MATERIAL.png (an opacity map OUT_MATERIAL_alpha.png; \"alpha\" in\n"
    "  a colour image's name is spelt \"alfa\", as the player skips alpha maps by name).\n"
    "  A double-sided material's meshes get \".NoCull\" appended to their names, so that\n"
    "  open surfaces show from both sides; in a scene with dynamic lights (which the player\n"
    "  lets light only a face's front) each of their faces gets a turned copy instead, lit\n"
    "  from its own side (a mesh too large for that: \".NoCull.NoDynaLight\", drawn unlit).\n"
    "Cameras: position, target (a point 10 units ahead), vertical field of view and roll, each\n"
    "  with a track of at least two keys, also for a camera that does not move (the player\n"
    "  selects only cameras with tracks); the target's track is named CAMERA.Target. The\n"
    "  roll is the angle the player turns into its up direction; an up it cannot reach is\n"
    "  approximated with a warning. The vertical angle is glTF's own; other formats give a\n"
    "  horizontal angle, turned vertical with their aspect (4:3 when they give none). The\n"
    "  player's perspective divides by depth + 1, so each camera is placed 1 unit ahead of\n"
    "  the source's to show the source's picture (what lies within 1 unit plus the script's\n"
    "  NearPlane of the source camera is clipped).\n"
    "Lights: a light whose name has no role word (dyna, halo, particlegen, .fog) gets\n"
    "  \".Dyna\" appended, so that it lights the scene, with a colour and range that light the\n"
    "  centre of the meshes (a light amid them: half their radius away) as the source's light\n"
    "  does (at most at full strength, hue kept) and reach every mesh; a directional light\n"
    "  becomes a point light far off against its direction, a spot light shines all round;\n"
    "  ambient lights light nothing. The player lights with at most 8 lights; meshes it\n"
    "  lights show their vertex colours times the light, and faces turned away from every\n"
    "  light are black. --keep-light-names keeps names as written (the player reads halo,\n"
    "  dyna, fog and particle roles from them) and colours scaled into 0..1 keeping the hue,\n"
    "  with range 1.0. A moving light gets a position track.\n"
    "Hierarchy: a node's meshes are listed as children of the nearest ancestor that has a mesh.\n"
    "Animation: every animation is merged onto the scene's one timeline, each starting at\n"
    "  frame 0 (an object moved by two keeps the first one's motion, with a warning);\n"
    "  --animation NAME converts only the animation of that name (or \"#N\", the Nth in the\n"
    "  file) and names the objects left standing. Sampled every 10 scene frames at 33\n"
    "  frames per second and on the last frame (the scene's length is the longest\n"
    "  animation's, rounded up to whole frames; a still scene is 10 frames long). Position\n"
    "  keys are the points whose B-spline (the player's curve) passes through the sampled\n"
    "  positions, with one more key 10 frames beyond each end so that the curve is not bent\n"
    "  where it starts and ends;\n"
    "  rotation keys hold each turn relative to the previous key, computed so that the player's\n"
    "  accumulation gives the sampled orientation back, with a moving parent's turn taken out of\n"
    "  its children's keys (the player turns children with their parent). Camera field of view\n"
    "  and roll are sampled alike. Scale animation, skinning and morph targets are left out\n"
    "  with a warning.\n"
    "Refused (exit 1, nothing written): a file the library cannot import, a mesh of more than\n"
    "  65,536 vertices, a name longer than 255 bytes, numbers that are not finite, an\n"
    "  animation longer than about 50 minutes, a hierarchy deeper than 1000 levels, an\n"
    "  output name not ending in .mdl (a player would not load it), and a moving object\n"
    "  whose name equals another object's name letter case aside (the player would move\n"
    "  both with one track), and an --animation the file does not have (its animations\n"
    "  are listed).\n"
    "\n"
    "To play a scene with the player, put OUT.mdl, its textures, a Script.txt creating an\n"
    "MDLPlayer layer and font1.png (the player prints its frame rate with it and stops without\n"
    "it) in one folder and run starfall --no-pak there.\n"
    "\n"
    "Warnings go to stderr; --quiet prints nothing else.\n";

int Usage()
{
    std::fputs(kHelp, stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    bool quiet = false;
    ConvertOptions options;
    const char* input = nullptr;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--quiet") == 0)
            quiet = true;
        else if (std::strcmp(argv[i], "--keep-light-names") == 0)
            options.keepLightNames = true;
        else if (std::strcmp(argv[i], "--animation") == 0 && i + 1 < argc && argv[i + 1][0] != '\0')
            options.animation = argv[++i];
        else if (argv[i][0] == '-' && argv[i][1] != '\0')
            return Usage();
        else if (!input)
            input = argv[i];
        else if (!output)
            output = argv[i];
        else
            return Usage();
    }
    if (!input || !output)
        return Usage();
    if (!HasMdlExtension(output)) {
        std::fprintf(stderr, "mdlconvert: [%s] does not end in .mdl; a player would not load it\n", output);
        return 1;
    }
    try {
        const std::filesystem::path target(output);
        options.imagePrefix = target.stem().string();
        const ConvertResult result = ConvertFile(input, options);
        for (const std::string& warning : result.warnings)
            std::fprintf(stderr, "mdlconvert: warning: %s\n", warning.c_str());
        const std::vector<uint8_t> bytes = WriteMdl(result.file);
        // The player's own reader checks what was made before it is written.
        ReadMdl(bytes, output);
        std::string error;
        // The images first: the scene appears under its name only with everything it names,
        // and a failure takes back the images already written.
        std::vector<std::filesystem::path> written;
        bool failed = false;
        for (const ConvertedImage& image : result.images) {
            const std::filesystem::path path = target.parent_path() / image.name;
            failed = !WritePakFile(path.string(), image.bytes, error);
            if (failed)
                break;
            written.push_back(path);
        }
        if (failed || !WritePakFile(output, bytes, error)) {
            std::error_code ignored;
            for (const std::filesystem::path& path : written)
                std::filesystem::remove(path, ignored);
            std::fprintf(stderr, "mdlconvert: %s\n", error.c_str());
            return 1;
        }
        if (!quiet) {
            const MdlFile& file = result.file;
            std::printf("%s: %zu meshes, %zu materials, %zu cameras, %zu lights, %zu tracks, %u frames\n", output,
                        file.meshes.size(), file.materials.size(), file.cameras.size(), file.lights.size(),
                        file.tracks.size(), file.frameCount);
            for (const ConvertedImage& image : result.images)
                std::printf("%s: written from the scene file\n", (target.parent_path() / image.name).string().c_str());
        }
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "mdlconvert: %s\n", failure.what());
        return 1;
    }
    return 0;
}
