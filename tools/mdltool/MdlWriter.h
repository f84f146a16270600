// MDL writer: turns scene records into the bytes of an MDL file (for authoring tools and tests).
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/scene/MdlFile.h"

// The file's bytes: header (magic, version bytes 0 and 3, the seven counts), then cameras,
// lights, meshes, markers, materials and tracks. Text fields longer than 255 bytes are cut.
std::vector<uint8_t> WriteMdl(const MdlFile& file);

// Helpers for building scenes in code.
// A flat square of edge size in the plane z = 0 around (0, 0, 0), seen from -z: four
// vertices with texture coordinates (0..1, 0..-1), two faces, colour 0xFFFFFF.
MdlMeshRecord MakeQuadMesh(const std::string& name, const std::string& material, float size, Vector3 pivot);
// An axis-aligned box with the given corners, eight vertices and twelve faces.
MdlMeshRecord MakeBoxMesh(const std::string& name, const std::string& material, Vector3 low, Vector3 high,
                          Vector3 pivot);
// A track holding position keys only.
MdlTrackRecord MakePositionTrack(const std::string& name, const std::vector<MdlVectorKey>& keys);
