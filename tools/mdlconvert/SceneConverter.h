// Scene converter: turns a scene imported by the Open Asset Import Library into MDL records.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>
#include "engine/scene/MdlFile.h"

struct aiScene;

// What the MDL format (or the player) cannot hold; the message names the object.
class ConvertError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct ConvertOptions {
    // Cameras as the library's glTF reader fills them: the horizontal angle holds the
    // vertical angle times the aspect ratio (other readers give the real horizontal angle),
    // and the position repeats the node's translation (a glTF camera sits at its node's
    // origin), so it is not added a second time.
    bool gltfCameras = false;
    // Texture names are URIs (glTF): percent escapes are decoded.
    bool uriTextureNames = false;
    // Folder of the source file; when set, every texture named is looked for there.
    std::string sourceFolder;
    // File names of images held inside the scene start with this (the output's stem).
    std::string imagePrefix;
    // Empty: every animation is merged onto the one timeline; else only the animation of
    // this name (or "#N", the Nth of the file) is converted.
    std::string animation;
    // Lights keep their names and colours as written; otherwise a light without a role
    // word in its name becomes a dynamic light bright enough to light the scene.
    bool keepLightNames = false;
};

// An image held inside the scene file, to be written beside the MDL file under name.
struct ConvertedImage {
    std::string name;
    std::vector<uint8_t> bytes;
};

struct ConvertResult {
    MdlFile file;
    std::vector<ConvertedImage> images;
    std::vector<std::string> warnings;  // what was left out or changed, one sentence each
};

// Scene frames per second (the player's) and the spacing of sampled keys.
constexpr double kConvertFramesPerSecond = kSceneFramesPerSecond;
constexpr int kConvertKeyStep = 10;
// Longest animation converted, in scene frames (about 50 minutes).
constexpr double kConvertMaxFrames = 100000.0;

// Converts scene (axes mirrored in z into the player's left-handed axes, see main.cpp's
// help). Throws ConvertError for what cannot be held: a mesh of more than 65,536 vertices,
// a name or texture name longer than 255 bytes, a number that is not finite, an animation
// longer than kConvertMaxFrames, a hierarchy deeper than 1000 levels, and names that would make the player bind one track to
// two objects (an animated object's name equal, ignoring case, to another object's name).
ConvertResult ConvertScene(const aiScene& scene, const ConvertOptions& options);

// Imports path (triangulated, smooth normals where missing) and converts it; options'
// format-dependent fields and the source folder are filled from path. Throws ConvertError
// when the file cannot be imported or converted.
ConvertResult ConvertFile(const std::string& path, ConvertOptions options = {});

// Decodes %XX escapes of a URI; a malformed escape is kept as written.
std::string DecodeUri(const std::string& uri);

// Distance the player's perspective adds to every depth (it divides by depth + 1); a
// converted camera stands this much ahead of the source camera to show the same picture.
constexpr float kConvertCameraShift = 1.0f;
