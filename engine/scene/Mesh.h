// Mesh: a triangle mesh of a scene, its name-chosen behaviour, device buffer, state block and morph data.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/scene/SceneObject.h"

class RenderDevice;
class VertexBuffer;
class Material;

// A morph entry's timing and, on the source, its sequence.
struct MorphData {
    int startFrame = 0;       // ".f"
    int sequence = 0;         // ".c" of a destination
    int endFrame = 0;         // ".e" of a destination (0 when absent)
    float intervalStart = 0;  // frames; set when the sequence is paired
    float intervalEnd = 0;
    // On the source only: entry 0 is the source itself, then its destinations in ".c" order.
    std::vector<class Mesh*> targets;
};

class Mesh : public SceneObject {
public:
    // Up to this many vertices can be drawn with 16-bit indices.
    static constexpr uint32_t kMaxVertices = 65536;

    explicit Mesh(RenderDevice& device);
    // Gives the vertex buffer and the state block back to the device.
    ~Mesh() override;

    // The pivot without a track (or without position keys).
    Vector3 GetPosition(float t) const override;

    // Checked stores into both vertex arrays / the faces, used while reading: an index past
    // the arrays is fatal ("Overflow in vertex assignement" / "Overflow in Face assignement").
    void SetVertex(uint32_t index, Vector3 position, Vector3 normal);
    void SetTextureCoordinates(uint32_t index, float u, float v);  // both stages
    void SetColor(uint32_t index, uint32_t color);                 // already device-converted
    void SetFace(uint32_t index, uint32_t a, uint32_t b, uint32_t c);

    // With the vertices as read: the bounding box corners and the centre, then every
    // vertex position (drawn and rest) made relative to pivot, which becomes staticPosition.
    void SetPivot(Vector3 pivot);
    // Applies the suffix rules of the name (fatal for a malformed morph name), copies a
    // static mesh once into its device vertex buffer, builds the 16-bit indices and the
    // state block. Faces must index existing vertices.
    void Finish();
    // Records the state block from the flags again (after the material or the flags changed).
    void BuildStateBlock();

    // Draws the geometry with whatever states are set: from the vertex buffer when static,
    // else from the drawn vertex array.
    void DrawGeometry();
    // Each vertex normal = normalised sum of the normalised normals of its faces.
    void RecomputeNormals();
    // Stage-1 coordinates from the vertex normals and the view-projection matrix.
    void ComputeEnvironmentCoordinates(const Matrix4& viewProjection);

    RenderDevice& GetDevice() const { return device_; }
    uint32_t GetStateBlock() const { return stateBlock_; }
    VertexBuffer* GetVertexBuffer() const { return buffer_; }

    std::string materialName;
    Material* material = nullptr;       // bound after loading; may stay nullptr
    std::vector<Vertex> vertices;       // drawn (colour 0x00RRGGBB as the device converted it)
    std::vector<Vertex> restVertices;   // as loaded
    std::vector<std::array<uint32_t, 3>> faces;
    std::vector<uint16_t> indices;      // three per face
    Vector3 box[8];                     // corners in file coordinates (before the pivot)
    Vector3 center;                     // mean vertex position in file coordinates
    // Geometry copied once into the vertex buffer. Clearing it makes the mesh draw from
    // the drawn vertex array (a modifier that changes the vertices does so).
    bool isStatic = true;
    MorphData morph;

private:
    RenderDevice& device_;
    VertexBuffer* buffer_ = nullptr;
    uint32_t stateBlock_ = 0;
};
