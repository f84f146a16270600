// MDL writer: little-endian, unaligned, sections in the order the reader expects.
#include "tools/mdltool/MdlWriter.h"
#include <cstring>

namespace {

class Output {
public:
    void Byte(uint8_t value) { bytes.push_back(value); }
    void U32(uint32_t value)
    {
        for (int i = 0; i < 4; ++i)
            bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
    void F32(float value)
    {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        U32(bits);
    }
    void Vec3(Vector3 v)
    {
        F32(v.x);
        F32(v.y);
        F32(v.z);
    }
    void Text(const std::string& text)
    {
        const size_t length = text.size() < 255 ? text.size() : 255;
        Byte(static_cast<uint8_t>(length));
        bytes.insert(bytes.end(), text.begin(), text.begin() + static_cast<std::ptrdiff_t>(length));
    }
    template <class T>
    void Count(const std::vector<T>& list)
    {
        U32(static_cast<uint32_t>(list.size()));
    }

    std::vector<uint8_t> bytes;
};

void WriteMesh(Output& out, const MdlMeshRecord& mesh)
{
    out.Text(mesh.name);
    out.Text(mesh.material);
    out.Count(mesh.vertices);
    out.Count(mesh.faces);
    for (const MdlVertexRecord& v : mesh.vertices) {
        out.Vec3(v.position);
        out.Vec3(v.normal);
    }
    for (const MdlFaceRecord& f : mesh.faces) {
        for (uint32_t index : f.index)
            out.U32(index);
        out.Vec3(f.normal);
    }
    for (const MdlVertexRecord& v : mesh.vertices) {
        out.F32(v.u);
        out.F32(v.v);
        out.U32(v.color);
    }
    out.Vec3(mesh.pivot);
    out.Count(mesh.children);
    for (const std::string& child : mesh.children)
        out.Text(child);
}

void WriteTrack(Output& out, const MdlTrackRecord& track)
{
    out.Text(track.name);
    out.Count(track.position);
    out.Count(track.roll);
    out.Count(track.fieldOfView);
    out.Count(track.rotation);
    out.Count(track.scale);
    auto writeVectors = [&out](const std::vector<MdlVectorKey>& keys) {
        for (const MdlVectorKey& key : keys) {
            out.U32(static_cast<uint32_t>(key.frame));
            out.Vec3(key.value);
        }
    };
    writeVectors(track.position);
    for (const auto* list : {&track.roll, &track.fieldOfView}) {
        for (const MdlScalarKey& key : *list) {
            out.U32(static_cast<uint32_t>(key.frame));
            out.F32(key.value);
        }
    }
    for (const MdlRotationKey& key : track.rotation) {
        out.U32(static_cast<uint32_t>(key.frame));
        out.Vec3(key.axis);
        out.F32(key.angle);
        out.F32(key.e1);
        out.F32(key.e2);
    }
    writeVectors(track.scale);
}

}  // namespace

std::vector<uint8_t> WriteMdl(const MdlFile& file)
{
    Output out;
    out.bytes = {'M', 'D', 'L', MdlFile::kVersionMinor, MdlFile::kVersionMajor};
    out.Count(file.meshes);
    out.Count(file.materials);
    out.Count(file.tracks);
    out.U32(file.frameCount);
    out.Count(file.cameras);
    out.Count(file.lights);
    out.Count(file.markers);
    for (const MdlCameraRecord& camera : file.cameras) {
        out.Text(camera.name);
        out.Vec3(camera.position);
        out.Vec3(camera.target);
        out.F32(camera.fieldOfView);
        out.F32(camera.roll);
    }
    for (const MdlLightRecord& light : file.lights) {
        out.Text(light.name);
        out.Vec3(light.position);
        out.Vec3(light.color);
        out.F32(light.range);
    }
    for (const MdlMeshRecord& mesh : file.meshes)
        WriteMesh(out, mesh);
    for (const MdlMarkerRecord& marker : file.markers) {
        out.Text(marker.name);
        out.U32(marker.value);
        out.Vec3(marker.position);
    }
    for (const MdlMaterialRecord& material : file.materials) {
        out.Text(material.name);
        out.Count(material.textures);
        for (const std::string& texture : material.textures)
            out.Text(texture);
        for (const Vector3& colour : material.colors)
            out.Vec3(colour);
        out.Byte(material.flag);
        out.U32(material.mode);
    }
    for (const MdlTrackRecord& track : file.tracks)
        WriteTrack(out, track);
    return std::move(out.bytes);
}

MdlMeshRecord MakeQuadMesh(const std::string& name, const std::string& material, float size, Vector3 pivot)
{
    MdlMeshRecord mesh;
    mesh.name = name;
    mesh.material = material;
    const float h = size / 2;
    const float corners[4][4] = {{-h, h, 0, 0}, {h, h, 1, 0}, {-h, -h, 0, -1}, {h, -h, 1, -1}};
    for (const auto& c : corners) {
        MdlVertexRecord v;
        v.position = pivot + Vector3{c[0], c[1], 0};
        v.normal = {0, 0, -1};
        v.u = c[2];
        v.v = c[3];
        v.color = 0xFFFFFF;
        mesh.vertices.push_back(v);
    }
    // Counter-clockwise on screen when seen from -z: the side the scene's culling keeps.
    mesh.faces = {MdlFaceRecord{{0, 2, 1}, {0, 0, -1}}, MdlFaceRecord{{1, 2, 3}, {0, 0, -1}}};
    mesh.pivot = pivot;
    return mesh;
}

MdlMeshRecord MakeBoxMesh(const std::string& name, const std::string& material, Vector3 low, Vector3 high,
                          Vector3 pivot)
{
    MdlMeshRecord mesh;
    mesh.name = name;
    mesh.material = material;
    for (int i = 0; i < 8; ++i) {
        MdlVertexRecord v;
        v.position = {i & 1 ? high.x : low.x, i & 2 ? high.y : low.y, i & 4 ? high.z : low.z};
        v.normal = {i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f};
        v.u = i & 1 ? 1.0f : 0.0f;
        v.v = i & 2 ? -1.0f : 0.0f;
        v.color = 0xFFFFFF;
        mesh.vertices.push_back(v);
    }
    static const uint32_t faces[12][3] = {{0, 2, 1}, {1, 2, 3}, {4, 5, 6}, {5, 7, 6}, {0, 1, 4}, {1, 5, 4},
                                          {2, 6, 3}, {3, 6, 7}, {0, 4, 2}, {2, 4, 6}, {1, 3, 5}, {3, 7, 5}};
    for (const auto& f : faces)
        mesh.faces.push_back(MdlFaceRecord{{f[0], f[1], f[2]}, {}});
    mesh.pivot = pivot;
    return mesh;
}

MdlTrackRecord MakePositionTrack(const std::string& name, const std::vector<MdlVectorKey>& keys)
{
    MdlTrackRecord track;
    track.name = name;
    track.position = keys;
    return track;
}
