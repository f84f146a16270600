// MdlFile: the records of an MDL scene file exactly as stored, and the checked reader that produces them.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/device/Matrix.h"

// Animation keys count scene frames; scene time runs at this many frames per second of
// layer time (the player and the converter both use it).
constexpr int kSceneFramesPerSecond = 33;

struct MdlCameraRecord {
    std::string name;
    Vector3 position;
    Vector3 target;
    float fieldOfView = 0;  // radians
    float roll = 0;         // radians
};

struct MdlLightRecord {
    std::string name;
    Vector3 position;
    Vector3 color;  // 0..1
    float range = 0;
};

struct MdlVertexRecord {
    Vector3 position;
    Vector3 normal;
    float u = 0, v = 0;
    uint32_t color = 0;  // 0x00RRGGBB
};

struct MdlFaceRecord {
    uint32_t index[3] = {0, 0, 0};
    Vector3 normal;  // stored by exporters; the scene ignores it
};

struct MdlMeshRecord {
    std::string name;
    std::string material;
    std::vector<MdlVertexRecord> vertices;
    std::vector<MdlFaceRecord> faces;
    Vector3 pivot;
    std::vector<std::string> children;
};

struct MdlMarkerRecord {
    std::string name;
    uint32_t value = 0;
    Vector3 position;
};

struct MdlMaterialRecord {
    std::string name;
    std::vector<std::string> textures;
    Vector3 colors[3];
    uint8_t flag = 0;
    uint32_t mode = 0;
};

struct MdlVectorKey {
    int32_t frame = 0;
    Vector3 value;
};
struct MdlScalarKey {
    int32_t frame = 0;
    float value = 0;
};
// A rotation relative to the previous key: axis in the file's axes, angle in radians.
struct MdlRotationKey {
    int32_t frame = 0;
    Vector3 axis;
    float angle = 0;
    float e1 = 0, e2 = 0;
};

struct MdlTrackRecord {
    std::string name;
    std::vector<MdlVectorKey> position;
    std::vector<MdlScalarKey> roll;
    std::vector<MdlScalarKey> fieldOfView;
    std::vector<MdlRotationKey> rotation;
    std::vector<MdlVectorKey> scale;
};

struct MdlFile {
    static constexpr uint8_t kVersionMajor = 3;  // byte B
    static constexpr uint8_t kVersionMinor = 0;  // byte A
    uint32_t frameCount = 0;
    std::vector<MdlCameraRecord> cameras;
    std::vector<MdlLightRecord> lights;
    std::vector<MdlMeshRecord> meshes;
    std::vector<MdlMarkerRecord> markers;
    std::vector<MdlMaterialRecord> materials;
    std::vector<MdlTrackRecord> tracks;
};

// Whether the upper-cased text after the last point of fileName is "MDL".
bool HasMdlExtension(const char* fileName);

// Parses a whole file; path names it in the fatal messages. Fatal: a wrong magic, a
// truncated file or a count the remaining bytes cannot hold ("is not a valid MDL file",
// checked before anything is allocated for the count), a wrong version, a mesh of more
// than 65,536 vertices or a face indexing past its mesh's vertices.
MdlFile ReadMdl(const std::vector<uint8_t>& bytes, const char* path);
