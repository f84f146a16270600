// Scene converter: turns a scene imported by the Open Asset Import Library into MDL records.
#pragma once
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
};

struct ConvertResult {
    MdlFile file;
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

// Imports path (triangulated, smooth normals where missing) and converts it. Throws
// ConvertError when the file cannot be imported or converted.
ConvertResult ConvertFile(const std::string& path);
