// MDL reader: turns a file's bytes into records, refusing anything the bytes cannot really hold.
#include "engine/scene/MdlFile.h"
#include <cstring>
#include "engine/core/Fatal.h"
#include "engine/core/FilePath.h"

bool HasMdlExtension(const char* fileName)
{
    return UpperExtension(fileName) == "MDL";
}

namespace {

// Smallest number of bytes each record can take, to refuse counts before allocating.
constexpr size_t kCameraMin = 1 + 12 + 12 + 4 + 4;
constexpr size_t kLightMin = 1 + 12 + 12 + 4;
constexpr size_t kMeshMin = 1 + 1 + 4 + 4 + 12 + 4;
constexpr size_t kMarkerMin = 1 + 4 + 12;
constexpr size_t kMaterialMin = 1 + 4 + 36 + 1 + 4;
constexpr size_t kTrackMin = 1 + 5 * 4;
constexpr uint32_t kMaxMeshVertices = 65536;  // drawn with 16-bit indices
constexpr size_t kVertexSize = 24;
constexpr size_t kFaceSize = 24;
constexpr size_t kAttributeSize = 12;
constexpr size_t kVectorKeySize = 16;
constexpr size_t kScalarKeySize = 8;
constexpr size_t kRotationKeySize = 28;

class Cursor {
public:
    Cursor(const std::vector<uint8_t>& bytes, const char* path) : bytes_(bytes), path_(path) {}

    size_t Remaining() const { return bytes_.size() - position_; }

    [[noreturn]] void Invalid() const { ReportFatal("File [%s] is not a valid MDL file.", path_); }

    void Need(size_t count) const
    {
        if (count > Remaining())
            Invalid();
    }
    // A count of items of at least itemSize bytes each that must fit in what remains.
    uint32_t Count(size_t itemSize)
    {
        const uint32_t count = U32();
        if (static_cast<uint64_t>(count) * itemSize > Remaining())
            Invalid();
        return count;
    }
    uint8_t Byte()
    {
        Need(1);
        return bytes_[position_++];
    }
    uint32_t U32()
    {
        Need(4);
        const uint8_t* p = &bytes_[position_];
        position_ += 4;
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
               static_cast<uint32_t>(p[3]) << 24;
    }
    int32_t I32() { return static_cast<int32_t>(U32()); }
    float F32()
    {
        const uint32_t bits = U32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    Vector3 Vec3()
    {
        const float x = F32();
        const float y = F32();
        return {x, y, F32()};
    }
    // A length byte and that many bytes; like the exporter's 256-byte buffers, text stops
    // at a zero byte.
    std::string Text()
    {
        const uint8_t length = Byte();
        Need(length);
        const char* start = reinterpret_cast<const char*>(&bytes_[position_]);
        position_ += length;
        return std::string(start, strnlen(start, length));
    }

private:
    const std::vector<uint8_t>& bytes_;
    const char* path_;
    size_t position_ = 0;
};

MdlMeshRecord ReadMesh(Cursor& in, const char* path)
{
    MdlMeshRecord mesh;
    mesh.name = in.Text();
    mesh.material = in.Text();
    // Every vertex takes its position/normal and its attributes; refuse before sizing.
    const uint32_t vertexCount = in.Count(kVertexSize + kAttributeSize);
    if (vertexCount > kMaxMeshVertices)
        ReportFatal("Mesh [%s] of file [%s] has %u vertices; at most %u can be drawn.", mesh.name.c_str(), path,
                    vertexCount, kMaxMeshVertices);
    const uint32_t faceCount = in.U32();
    if (static_cast<uint64_t>(faceCount) * kFaceSize + static_cast<uint64_t>(vertexCount) * (kVertexSize + kAttributeSize) >
        in.Remaining())
        in.Invalid();
    mesh.vertices.resize(vertexCount);
    for (MdlVertexRecord& vertex : mesh.vertices) {
        vertex.position = in.Vec3();
        vertex.normal = in.Vec3();
    }
    mesh.faces.resize(faceCount);
    for (uint32_t f = 0; f < faceCount; ++f) {
        MdlFaceRecord& face = mesh.faces[f];
        for (uint32_t& index : face.index) {
            index = in.U32();
            if (index >= vertexCount)
                ReportFatal("Face %u of mesh [%s] in file [%s] uses vertex %u of %u.", f, mesh.name.c_str(), path,
                            index, vertexCount);
        }
        face.normal = in.Vec3();
    }
    for (MdlVertexRecord& vertex : mesh.vertices) {
        vertex.u = in.F32();
        vertex.v = in.F32();
        vertex.color = in.U32();
    }
    mesh.pivot = in.Vec3();
    const uint32_t childCount = in.Count(1);
    mesh.children.reserve(childCount);
    for (uint32_t c = 0; c < childCount; ++c)
        mesh.children.push_back(in.Text());
    return mesh;
}

MdlTrackRecord ReadTrack(Cursor& in)
{
    MdlTrackRecord track;
    track.name = in.Text();
    const uint32_t counts[5] = {in.U32(), in.U32(), in.U32(), in.U32(), in.U32()};
    const uint64_t bytes = static_cast<uint64_t>(counts[0]) * kVectorKeySize + static_cast<uint64_t>(counts[1]) * kScalarKeySize +
                           static_cast<uint64_t>(counts[2]) * kScalarKeySize + static_cast<uint64_t>(counts[3]) * kRotationKeySize +
                           static_cast<uint64_t>(counts[4]) * kVectorKeySize;
    if (bytes > in.Remaining())
        in.Invalid();
    auto readVectors = [&in](std::vector<MdlVectorKey>& keys, uint32_t count) {
        keys.resize(count);
        for (MdlVectorKey& key : keys) {
            key.frame = in.I32();
            key.value = in.Vec3();
        }
    };
    auto readScalars = [&in](std::vector<MdlScalarKey>& keys, uint32_t count) {
        keys.resize(count);
        for (MdlScalarKey& key : keys) {
            key.frame = in.I32();
            key.value = in.F32();
        }
    };
    readVectors(track.position, counts[0]);
    readScalars(track.roll, counts[1]);
    readScalars(track.fieldOfView, counts[2]);
    track.rotation.resize(counts[3]);
    for (MdlRotationKey& key : track.rotation) {
        key.frame = in.I32();
        key.axis = in.Vec3();
        key.angle = in.F32();
        key.e1 = in.F32();
        key.e2 = in.F32();
    }
    readVectors(track.scale, counts[4]);
    return track;
}

}  // namespace

MdlFile ReadMdl(const std::vector<uint8_t>& bytes, const char* path)
{
    Cursor in(bytes, path);
    if (bytes.size() < 3 || std::memcmp(bytes.data(), "MDL", 3) != 0)
        in.Invalid();
    in.Need(3);
    for (int i = 0; i < 3; ++i)
        in.Byte();
    const uint8_t a = in.Byte();
    const uint8_t b = in.Byte();
    if (a != MdlFile::kVersionMinor || b != MdlFile::kVersionMajor)
        ReportFatal("Wrong MDL Version for file [%s]\n (is %d.%d, should be %d.%d)", path, b, a, MdlFile::kVersionMajor,
                    MdlFile::kVersionMinor);

    MdlFile file;
    const uint32_t meshCount = in.U32();
    const uint32_t materialCount = in.U32();
    const uint32_t trackCount = in.U32();
    file.frameCount = in.U32();
    const uint32_t cameraCount = in.U32();
    const uint32_t lightCount = in.U32();
    const uint32_t markerCount = in.U32();
    // All sections follow, so together their smallest records must fit.
    const uint64_t least = static_cast<uint64_t>(meshCount) * kMeshMin + static_cast<uint64_t>(materialCount) * kMaterialMin +
                           static_cast<uint64_t>(trackCount) * kTrackMin + static_cast<uint64_t>(cameraCount) * kCameraMin +
                           static_cast<uint64_t>(lightCount) * kLightMin + static_cast<uint64_t>(markerCount) * kMarkerMin;
    if (least > in.Remaining())
        in.Invalid();

    file.cameras.resize(cameraCount);
    for (MdlCameraRecord& camera : file.cameras) {
        camera.name = in.Text();
        camera.position = in.Vec3();
        camera.target = in.Vec3();
        camera.fieldOfView = in.F32();
        camera.roll = in.F32();
    }
    file.lights.resize(lightCount);
    for (MdlLightRecord& light : file.lights) {
        light.name = in.Text();
        light.position = in.Vec3();
        light.color = in.Vec3();
        light.range = in.F32();
    }
    file.meshes.reserve(meshCount);
    for (uint32_t m = 0; m < meshCount; ++m)
        file.meshes.push_back(ReadMesh(in, path));
    file.markers.resize(markerCount);
    for (MdlMarkerRecord& marker : file.markers) {
        marker.name = in.Text();
        marker.value = in.U32();
        marker.position = in.Vec3();
    }
    file.materials.resize(materialCount);
    for (MdlMaterialRecord& material : file.materials) {
        material.name = in.Text();
        const uint32_t textureCount = in.Count(1);
        material.textures.reserve(textureCount);
        for (uint32_t t = 0; t < textureCount; ++t)
            material.textures.push_back(in.Text());
        for (Vector3& color : material.colors)
            color = in.Vec3();
        material.flag = in.Byte();
        material.mode = in.U32();
    }
    file.tracks.reserve(trackCount);
    for (uint32_t t = 0; t < trackCount; ++t)
        file.tracks.push_back(ReadTrack(in));
    return file;
}
