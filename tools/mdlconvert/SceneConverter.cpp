// Scene converter: samples the node hierarchy, mirrors it into the player's axes and fills MDL records.
#include "tools/mdlconvert/SceneConverter.h"
#include <assimp/Importer.hpp>
#include <assimp/config.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include "tools/mdlconvert/TrackEncoding.h"

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr size_t kMaxNameLength = 255;
constexpr size_t kMaxMeshVertices = 65536;
// Sampled matrices held at once (nodes times samples), so that a long animation of a large
// hierarchy is refused instead of exhausting memory.
constexpr double kMaxSamples = 20e6;
// Deepest node hierarchy converted (the walks are recursive).
constexpr int kMaxDepth = 1000;
// Importers that give no rate use this many ticks per second.
constexpr double kDefaultTicksPerSecond = 25.0;
// Cameras look at a point this far ahead.
constexpr float kTargetDistance = 10.0f;
// Horizontal over vertical extent assumed when a camera gives none.
constexpr float kDefaultAspect = 4.0f / 3.0f;
// The player's lights fall off as 1 / (0.01 d) and reach 800 units per unit of range.
constexpr float kPlayerLightFalloff = 0.01f;
constexpr float kPlayerRangeUnit = 800.0f;
// Lights the player's devices switch on at once.
constexpr size_t kPlayerMaxLights = 8;
// A directional light becomes a point light this many scene radii away.
constexpr float kSunDistance = 10.0f;

std::string Lower(std::string text)
{
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// The player's axes are the source's with z mirrored: M A M, M = diag(1, 1, -1, 1).
aiMatrix4x4 Mirrored(const aiMatrix4x4& m)
{
    aiMatrix4x4 out = m;
    for (unsigned row = 0; row < 4; ++row)
        for (unsigned column = 0; column < 4; ++column)
            if ((row == 2) != (column == 2))
                out[row][column] = -out[row][column];
    return out;
}

Vector3 ToPlayer(const aiVector3D& v)
{
    return {v.x, v.y, -v.z};
}

Quaternion ToQuaternion(const aiQuaternion& q)
{
    return {q.x, q.y, q.z, q.w};
}

Quaternion Conjugate(const Quaternion& q)
{
    return {-q.x, -q.y, -q.z, q.w};
}

bool IsFinite(const aiMatrix4x4& m)
{
    for (unsigned row = 0; row < 4; ++row)
        for (unsigned column = 0; column < 4; ++column)
            if (!std::isfinite(m[row][column]))
                return false;
    return true;
}

bool IsFinite(const Vector3& v)
{
    return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z);
}

// The keys' value at time: the first or last key outside them, else blend (a, b, f) of the
// two keys around time.
template <class Key, class Blend>
auto KeyValueAt(const Key* keys, unsigned count, double time, Blend blend)
{
    if (count == 1 || time <= keys[0].mTime)
        return keys[0].mValue;
    if (time >= keys[count - 1].mTime)
        return keys[count - 1].mValue;
    const Key* after = std::upper_bound(keys, keys + count, time, [](double t, const Key& key) { return t < key.mTime; });
    const Key& a = after[-1];
    const double span = after->mTime - a.mTime;
    return blend(a.mValue, after->mValue, span > 0 ? static_cast<float>((time - a.mTime) / span) : 0.0f);
}

aiVector3D VectorAt(const aiVectorKey* keys, unsigned count, double time)
{
    return KeyValueAt(keys, count, time, [](const aiVector3D& a, const aiVector3D& b, float f) { return a + (b - a) * f; });
}

aiQuaternion RotationAt(const aiQuatKey* keys, unsigned count, double time)
{
    return KeyValueAt(keys, count, time, [](const aiQuaternion& a, const aiQuaternion& b, float f) {
        aiQuaternion out;
        aiQuaternion::Interpolate(out, a, b, f);
        return out.Normalize();
    });
}

bool Contains(const std::string& lowerText, const char* word)
{
    return lowerText.find(word) != std::string::npos;
}

// Words of a light name that give it a role in the player (dynamic, halo, particle ends, fog).
bool HasLightRole(const std::string& name)
{
    const std::string lower = Lower(name);
    return Contains(lower, "dyna") || Contains(lower, "halo") || Contains(lower, "particlegen") ||
           Contains(lower, ".fog");
}

// An image file name: letters, digits, '-' and '_' kept, anything else '_'; "alpha" is
// spelt "alfa" in a colour texture's name, which the player would otherwise skip.
std::string ImageStem(const std::string& text, bool colour)
{
    std::string out;
    for (char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        out += plain ? c : '_';
    }
    if (colour)
        for (size_t at = Lower(out).find("alpha"); at != std::string::npos; at = Lower(out).find("alpha", at))
            out.replace(at, 5, "alfa");
    return out;
}

// A node's placement at every sample, in the source's axes; one entry when it never moves.
struct NodeSamples {
    std::vector<aiMatrix4x4> global;
    const aiMatrix4x4& At(size_t i) const { return global[global.size() == 1 ? 0 : i]; }
    bool Moves() const { return global.size() > 1; }
};

// Translation, rotation (player quaternion) and scale of one sample, in the player's axes.
struct Placement {
    Vector3 position;
    Quaternion rotation;
    aiVector3D scale;
};

Placement PlacementOf(const aiMatrix4x4& global)
{
    aiVector3D scale, position;
    aiQuaternion rotation;
    Mirrored(global).Decompose(scale, rotation, position);
    return {{position.x, position.y, position.z}, ToQuaternion(rotation), scale};
}

// The mesh object a node's children hang below, with the rotation the player applies to it.
struct ParentObject {
    size_t mesh = 0;
    bool hasTrack = false;
    std::vector<Quaternion> applied;  // per sample (empty when it has no track)
};

class Converter {
public:
    Converter(const aiScene& scene, const ConvertOptions& options) : scene_(scene), options_(options) {}

    ConvertResult Run()
    {
        if (!scene_.mRootNode)
            throw ConvertError("the scene has no nodes");
        ChooseAnimations();
        for (unsigned i = 0; i < scene_.mNumLights; ++i)
            litScene_ = litScene_ || WillBeDynamic(*scene_.mLights[i]);
        Sample(scene_.mRootNode, nullptr);
        AddNode(scene_.mRootNode, nullptr);
        for (unsigned i = 0; i < scene_.mNumCameras; ++i)
            AddCamera(*scene_.mCameras[i]);
        MeasureGeometry();
        for (unsigned i = 0; i < scene_.mNumLights; ++i)
            AddLight(*scene_.mLights[i]);
        CheckNames();
        return std::move(result_);
    }

private:
    void Warn(const std::string& text) { result_.warnings.push_back(text); }

    static std::string AnimationLabel(const aiAnimation& animation, unsigned index)
    {
        if (animation.mName.length > 0)
            return "[" + std::string(animation.mName.C_Str()) + "]";
        return "#" + std::to_string(index + 1) + " (unnamed)";
    }

    // The animations converted: all of them, or the one options_.animation names.
    std::vector<unsigned> ChosenAnimations() const
    {
        std::vector<unsigned> chosen;
        const std::string& wanted = options_.animation;
        for (unsigned a = 0; a < scene_.mNumAnimations; ++a)
            if (wanted.empty() || wanted == scene_.mAnimations[a]->mName.C_Str() || wanted == "#" + std::to_string(a + 1))
                chosen.push_back(a);
        if (!wanted.empty() && chosen.size() > 1)
            chosen.resize(1);
        if (!wanted.empty() && chosen.empty()) {
            std::string known;
            for (unsigned a = 0; a < scene_.mNumAnimations; ++a)
                known += "\n - " + AnimationLabel(*scene_.mAnimations[a], a);
            throw ConvertError("no animation named [" + wanted + "]; " +
                               (known.empty() ? "the file has none" : "the file has:" + known));
        }
        return chosen;
    }

    void ChooseAnimations()
    {
        MdlFile& file = result_.file;
        double frames = 0.0;
        bool meshChannels = false;
        const std::vector<unsigned> chosen = ChosenAnimations();
        std::map<std::string, std::string> movedBy;  // node name -> label of the animation kept
        for (unsigned a : chosen) {
            const aiAnimation& animation = *scene_.mAnimations[a];
            const std::string label = AnimationLabel(animation, a);
            meshChannels = meshChannels || animation.mNumMeshChannels > 0 || animation.mNumMorphMeshChannels > 0;
            const double ticksPerSecond = animation.mTicksPerSecond > 0 ? animation.mTicksPerSecond : kDefaultTicksPerSecond;
            double ticks = animation.mDuration;
            for (unsigned c = 0; c < animation.mNumChannels; ++c) {
                const aiNodeAnim* channel = animation.mChannels[c];
                if (channel->mNumPositionKeys > 0)
                    ticks = std::max(ticks, channel->mPositionKeys[channel->mNumPositionKeys - 1].mTime);
                if (channel->mNumRotationKeys > 0)
                    ticks = std::max(ticks, channel->mRotationKeys[channel->mNumRotationKeys - 1].mTime);
                if (channel->mNumScalingKeys > 0)
                    ticks = std::max(ticks, channel->mScalingKeys[channel->mNumScalingKeys - 1].mTime);
                const std::string node = channel->mNodeName.C_Str();
                auto [kept, added] = movedBy.emplace(node, label);
                if (added)
                    channels_[node] = {channel, ticksPerSecond};
                else if (kept->second != label)
                    Warn("node [" + node + "] is moved by animations " + kept->second + " and " + label +
                         ": only the motion of " + kept->second + " is converted (--animation chooses one)");
            }
            const double seconds = ticks / ticksPerSecond;
            if (!std::isfinite(seconds) || seconds < 0 || seconds * kConvertFramesPerSecond > kConvertMaxFrames)
                throw ConvertError("animation " + label + " is " + std::to_string(seconds) + " s long; at most " +
                                   std::to_string(kConvertMaxFrames / kConvertFramesPerSecond) + " s can be converted");
            frames = std::max(frames, seconds * kConvertFramesPerSecond);
        }
        if (meshChannels)
            Warn("mesh and morph animation channels are not converted (only node motion is)");
        if (!options_.animation.empty() && scene_.mNumAnimations > 1) {
            // Name the objects that stand still because their motion is in the animations left out.
            std::set<std::string> still;
            for (unsigned a = 0; a < scene_.mNumAnimations; ++a)
                for (unsigned c = 0; c < scene_.mAnimations[a]->mNumChannels; ++c) {
                    const std::string node = scene_.mAnimations[a]->mChannels[c]->mNodeName.C_Str();
                    if (movedBy.count(node) == 0)
                        still.insert("[" + node + "]");
                }
            std::string names;
            for (const std::string& name : still)
                names += (names.empty() ? "" : ", ") + name;
            Warn("only animation " + AnimationLabel(*scene_.mAnimations[chosen[0]], chosen[0]) + " of " +
                 std::to_string(scene_.mNumAnimations) + " is converted" +
                 (names.empty() ? std::string() : "; these keep their rest pose: " + names));
        }
        // A key every step from frame 0 and one on the last frame, where the scene's time
        // wraps (a still scene: frames 0 and one step).
        const int end = frames > 0 ? static_cast<int>(std::max(1.0, std::ceil(frames - 1e-9))) : kConvertKeyStep;
        for (int frame = 0; frame < end; frame += kConvertKeyStep)
            frames_.push_back(frame);
        frames_.push_back(end);
        file.frameCount = static_cast<uint32_t>(end);
    }

    aiMatrix4x4 LocalAt(const aiNode* node, const aiNodeAnim* channel, double ticks) const
    {
        aiVector3D scale, position;
        aiQuaternion rotation;
        node->mTransformation.Decompose(scale, rotation, position);
        if (channel->mNumPositionKeys > 0)
            position = VectorAt(channel->mPositionKeys, channel->mNumPositionKeys, ticks);
        if (channel->mNumRotationKeys > 0)
            rotation = RotationAt(channel->mRotationKeys, channel->mNumRotationKeys, ticks);
        if (channel->mNumScalingKeys > 0)
            scale = VectorAt(channel->mScalingKeys, channel->mNumScalingKeys, ticks);
        return aiMatrix4x4(scale, rotation, position);
    }

    void Sample(const aiNode* node, const NodeSamples* parent, int depth = 0)
    {
        if (depth > kMaxDepth)
            throw ConvertError("the node hierarchy is deeper than " + std::to_string(kMaxDepth) + " levels");
        NodeSamples& samples = samples_[node];
        auto found = channels_.find(node->mName.C_Str());
        const aiNodeAnim* channel = found != channels_.end() ? found->second.channel : nullptr;
        const double ticksPerSecond = channel ? found->second.ticksPerSecond : kDefaultTicksPerSecond;
        if (!channel && (!parent || !parent->Moves())) {
            samples.global.push_back(parent ? parent->At(0) * node->mTransformation : node->mTransformation);
        } else {
            held_ += static_cast<double>(frames_.size());
            if (held_ > kMaxSamples)
                throw ConvertError("the animation is too long for this many moving nodes (" +
                                   std::to_string(static_cast<long long>(held_)) + " samples)");
            for (size_t i = 0; i < frames_.size(); ++i) {
                const double ticks = frames_[i] / kConvertFramesPerSecond * ticksPerSecond;
                const aiMatrix4x4 local = channel ? LocalAt(node, channel, ticks) : node->mTransformation;
                samples.global.push_back(parent ? parent->At(i) * local : local);
            }
        }
        for (const aiMatrix4x4& m : samples.global)
            if (!IsFinite(m))
                throw ConvertError("node [" + std::string(node->mName.C_Str()) + "]: its placement is not a finite number");
        for (unsigned c = 0; c < node->mNumChildren; ++c)
            Sample(node->mChildren[c], &samples, depth + 1);
    }

    std::vector<Placement> Placements(const NodeSamples& samples) const
    {
        std::vector<Placement> out;
        for (size_t i = 0; i < frames_.size(); ++i)
            out.push_back(PlacementOf(samples.At(i)));
        return out;
    }

    // Position keys whose curve passes through the samples.
    std::vector<MdlVectorKey> PositionKeys(const std::vector<Vector3>& samples) const
    {
        std::vector<double> axis[3];
        for (const Vector3& v : samples) {
            axis[0].push_back(v.x);
            axis[1].push_back(v.y);
            axis[2].push_back(v.z);
        }
        for (auto& values : axis)
            values = InterpolatingControlPoints(values);
        std::vector<MdlVectorKey> keys(axis[0].size());
        for (size_t i = 0; i < keys.size(); ++i)
            keys[i] = {KeyFrame(i),
                       {static_cast<float>(axis[0][i]), static_cast<float>(axis[1][i]), static_cast<float>(axis[2][i])}};
        return keys;
    }

    std::vector<MdlScalarKey> ScalarKeys(const std::vector<double>& samples) const
    {
        const std::vector<double> points = InterpolatingControlPoints(samples);
        std::vector<MdlScalarKey> keys(points.size());
        for (size_t i = 0; i < keys.size(); ++i)
            keys[i] = {KeyFrame(i), static_cast<float>(points[i])};
        return keys;
    }

    // The frame of control point i: one key step before the first sample, then the samples'
    // frames, then one step after the last.
    int KeyFrame(size_t i) const
    {
        if (i == 0)
            return frames_.front() - kConvertKeyStep;
        return i <= frames_.size() ? frames_[i - 1] : frames_.back() + kConvertKeyStep;
    }

    std::string CheckedName(const std::string& name, const char* what)
    {
        if (name.size() > kMaxNameLength)
            throw ConvertError(std::string(what) + " [" + name + "] has a name of " + std::to_string(name.size()) +
                               " bytes; MDL names hold at most 255");
        return name;
    }

    void AddNode(const aiNode* node, const ParentObject* parent)
    {
        const NodeSamples& samples = samples_.at(node);
        std::unique_ptr<ParentObject> self;
        unsigned emitted = 0;
        for (unsigned m = 0; m < node->mNumMeshes; ++m) {
            if (node->mMeshes[m] >= scene_.mNumMeshes)
                continue;
            const aiMesh& mesh = *scene_.mMeshes[node->mMeshes[m]];
            if (!(mesh.mPrimitiveTypes & aiPrimitiveType_TRIANGLE)) {
                Warn("node [" + std::string(node->mName.C_Str()) + "]: a mesh of points or lines is left out");
                continue;
            }
            std::string name = node->mName.C_Str();
            if (emitted > 0)
                name += "#" + std::to_string(emitted + 1);
            ++emitted;
            // Open surfaces the source shows from both sides would vanish from one. The
            // player lights only a face's front: in a lit scene each face gets a turned copy
            // instead, lit from its own side (an artist's .NoCull is kept as written).
            bool backFaces = false;
            if (IsDoubleSided(mesh.mMaterialIndex) && !Contains(Lower(name), ".nocull")) {
                backFaces = litScene_ && 2 * static_cast<size_t>(mesh.mNumVertices) <= kMaxMeshVertices;
                if (!backFaces) {
                    name += ".NoCull";
                    if (litScene_) {
                        name += ".NoDynaLight";
                        Warn("mesh [" + name + "] is double-sided and too large to be given back faces; it is drawn "
                             "unlit from both sides");
                    }
                }
            }
            const size_t index = AddMesh(mesh, CheckedName(name, "mesh"), samples.At(0), backFaces);
            if (parent)
                result_.file.meshes[parent->mesh].children.push_back(name);
            // A mesh hanging below a moving parent needs a track even when it stays put:
            // the player turns children with their parent.
            const bool needsTrack = samples.Moves() || (parent && parent->hasTrack);
            std::vector<Quaternion> applied;
            if (needsTrack)
                applied = AddMeshTrack(name, samples, parent);
            if (!self) {
                self = std::make_unique<ParentObject>();
                self->mesh = index;
                self->hasTrack = needsTrack;
                self->applied = std::move(applied);
            }
        }
        for (unsigned c = 0; c < node->mNumChildren; ++c)
            AddNode(node->mChildren[c], self ? self.get() : parent);
    }

    // Writes the track of a moving mesh; returns the rotation the player will apply to it.
    std::vector<Quaternion> AddMeshTrack(const std::string& name, const NodeSamples& samples, const ParentObject* parent)
    {
        const std::vector<Placement> placements = Placements(samples);
        std::vector<Vector3> positions;
        std::vector<Quaternion> world, own;
        const Quaternion rest = Conjugate(placements[0].rotation);
        bool scaled = false;
        for (size_t i = 0; i < placements.size(); ++i) {
            positions.push_back(placements[i].position);
            // The geometry is stored as it stands at frame 0; keys turn it from there.
            world.push_back(HamiltonProduct(placements[i].rotation, rest));
            const Quaternion& inherited = parent && parent->hasTrack ? parent->applied[i] : Quaternion{};
            own.push_back(HamiltonProduct(world.back(), Conjugate(inherited)));
            const aiVector3D change = placements[i].scale - placements[0].scale;
            scaled = scaled || change.Length() > 1e-4f * std::max(1.0f, placements[0].scale.Length());
        }
        if (scaled)
            Warn("node [" + name + "]: its scale changes over time; the player does not scale objects, the scale of frame 0 is kept");
        MdlTrackRecord track;
        track.name = name;
        track.position = PositionKeys(positions);
        track.rotation = RelativeRotationKeys(frames_, own);
        result_.file.tracks.push_back(std::move(track));
        return world;
    }

    size_t AddMesh(const aiMesh& source, const std::string& name, const aiMatrix4x4& global, bool backFaces)
    {
        if (source.mNumVertices > kMaxMeshVertices)
            throw ConvertError("mesh [" + name + "] has " + std::to_string(source.mNumVertices) +
                               " vertices; an MDL mesh holds at most 65,536 (split it in the modelling tool)");
        if (source.mNumBones > 0)
            Warn("mesh [" + name + "] is skinned; its bones are left out and it keeps its bind pose");
        if (source.mNumAnimMeshes > 0)
            Warn("mesh [" + name + "] has morph targets; they are left out");
        MdlMeshRecord mesh;
        mesh.name = name;
        mesh.material = MaterialName(source.mMaterialIndex);
        const aiMatrix3x3 linear(global);
        aiMatrix3x3 normalMatrix = linear;
        if (std::fabs(linear.Determinant()) > 1e-12f)
            normalMatrix = aiMatrix3x3(linear).Inverse().Transpose();
        const uint32_t fallback = MaterialColour(source.mMaterialIndex);
        mesh.vertices.resize(source.mNumVertices);
        for (unsigned v = 0; v < source.mNumVertices; ++v) {
            MdlVertexRecord& out = mesh.vertices[v];
            out.position = ToPlayer(global * source.mVertices[v]);
            if (source.mNormals) {
                aiVector3D normal = normalMatrix * source.mNormals[v];
                out.normal = ToPlayer(normal.NormalizeSafe());
            }
            if (source.mTextureCoords[0]) {
                // The library's v runs up from the image's bottom row; the player samples the
                // top row at 0 and repeats, so -v picks the texel 1 - v would.
                out.u = source.mTextureCoords[0][v].x;
                out.v = -source.mTextureCoords[0][v].y;
            }
            out.color = source.mColors[0] ? Colour32(source.mColors[0][v].r, source.mColors[0][v].g,
                                                     source.mColors[0][v].b)
                                          : fallback;
            if (!IsFinite(out.position) || !IsFinite(out.normal) || !std::isfinite(out.u) || !std::isfinite(out.v))
                throw ConvertError("mesh [" + name + "]: vertex " + std::to_string(v) + " is not a finite number");
        }
        unsigned skipped = 0;
        for (unsigned f = 0; f < source.mNumFaces; ++f) {
            const aiFace& face = source.mFaces[f];
            if (face.mNumIndices != 3) {
                ++skipped;
                continue;
            }
            MdlFaceRecord out;
            for (int k = 0; k < 3; ++k) {
                if (face.mIndices[k] >= source.mNumVertices)
                    throw ConvertError("mesh [" + name + "]: face " + std::to_string(f) + " names a vertex it does not have");
                out.index[k] = face.mIndices[k];
            }
            const aiVector3D a = global * source.mVertices[out.index[0]];
            const aiVector3D b = global * source.mVertices[out.index[1]];
            const aiVector3D c = global * source.mVertices[out.index[2]];
            aiVector3D normal = (b - a) ^ (c - a);
            out.normal = ToPlayer(normal.NormalizeSafe());
            mesh.faces.push_back(out);
        }
        if (skipped > 0)
            Warn("mesh [" + name + "]: " + std::to_string(skipped) + " faces that are not triangles are left out");
        if (backFaces)
            AddBackFaces(mesh);
        mesh.pivot = ToPlayer(aiVector3D(global.a4, global.b4, global.c4));
        result_.file.meshes.push_back(std::move(mesh));
        return result_.file.meshes.size() - 1;
    }

    // Every face again, wound the other way on copies of its vertices with turned normals.
    static void AddBackFaces(MdlMeshRecord& mesh)
    {
        const size_t count = mesh.vertices.size();
        for (size_t v = 0; v < count; ++v) {
            MdlVertexRecord copy = mesh.vertices[v];
            copy.normal = copy.normal * -1.0f;
            mesh.vertices.push_back(copy);
        }
        const size_t faces = mesh.faces.size();
        for (size_t f = 0; f < faces; ++f) {
            MdlFaceRecord back = mesh.faces[f];
            const uint32_t offset = static_cast<uint32_t>(count);
            back.index[0] = mesh.faces[f].index[0] + offset;
            back.index[1] = mesh.faces[f].index[2] + offset;
            back.index[2] = mesh.faces[f].index[1] + offset;
            back.normal = back.normal * -1.0f;
            mesh.faces.push_back(back);
        }
    }

    static uint32_t Colour32(float r, float g, float b)
    {
        auto channel = [](float value) {
            if (!(value > 0.0f))
                return 0u;
            return value >= 1.0f ? 255u : static_cast<uint32_t>(std::lround(value * 255.0f));
        };
        return channel(r) << 16 | channel(g) << 8 | channel(b);
    }

    // Meshes are drawn with their vertex colours: one without them takes its material's
    // diffuse colour, so that untextured, coloured materials keep their colour.
    uint32_t MaterialColour(unsigned index) const
    {
        aiColor4D colour(1, 1, 1, 1);
        if (index < scene_.mNumMaterials)
            scene_.mMaterials[index]->Get(AI_MATKEY_COLOR_DIFFUSE, colour);
        return Colour32(colour.r, colour.g, colour.b);
    }

    bool IsDoubleSided(unsigned index) const
    {
        int twoSided = 0;
        return index < scene_.mNumMaterials && scene_.mMaterials[index]->Get(AI_MATKEY_TWOSIDED, twoSided) == AI_SUCCESS &&
               twoSided != 0;
    }

    // The file name the MDL gives a texture of the material: an image held inside the
    // scene is written out (alpha: as the opacity map); a file named is checked for.
    std::string TextureName(const aiMaterial& material, aiTextureType type, const std::string& materialName, bool alpha)
    {
        aiString path;
        if (material.GetTextureCount(type) == 0 || material.GetTexture(type, 0, &path) != AI_SUCCESS ||
            path.length == 0)
            return {};
        if (const aiTexture* embedded = scene_.GetEmbeddedTexture(path.C_Str()))
            return EmbeddedImageName(*embedded, materialName, alpha);
        if (path.C_Str()[0] == '*') {
            Warn("material [" + materialName + "]: texture [" + path.C_Str() + "] names an image the file does not hold");
            return {};
        }
        const std::string name = options_.uriTextureNames ? DecodeUri(path.C_Str()) : std::string(path.C_Str());
        CheckedName(name, "texture");
        if (!options_.sourceFolder.empty()) {
            std::error_code error;
            const std::filesystem::path folder(options_.sourceFolder);
            // The player looks for the bare file name (exports often hold absolute paths).
            const size_t slash = name.find_last_of("/\\");
            const std::string bare = slash == std::string::npos ? name : name.substr(slash + 1);
            if (!std::filesystem::is_regular_file(folder / name, error) &&
                !std::filesystem::is_regular_file(folder / bare, error))
                Warn("material [" + materialName + "]: texture [" + name + "] is not beside the source file; the player "
                     "stops with an error unless it finds it (current folder, GFX/, OLDGFX/, DATA/)");
        }
        return name;
    }

    std::string EmbeddedImageName(const aiTexture& texture, const std::string& materialName, bool alpha)
    {
        const auto known = imageNames_.find({&texture, alpha});
        if (known != imageNames_.end())
            return known->second;
        // A failure is remembered too: the colour texture is asked for under two types.
        imageNames_[{&texture, alpha}] = "";
        if (texture.mHeight != 0 || !texture.pcData) {
            Warn("material [" + materialName + "]: an image held inside the scene file as raw texels is left out");
            return {};
        }
        const auto* bytes = reinterpret_cast<const uint8_t*>(texture.pcData);
        const size_t size = texture.mWidth;
        const char* extension = nullptr;
        if (size >= 8 && bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G')
            extension = ".png";
        else if (size >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF)
            extension = ".jpg";
        if (!extension) {
            Warn("material [" + materialName + "]: an image held inside the scene file is neither PNG nor JPEG "
                 "(the formats the player reads); it is left out");
            return {};
        }
        const std::string stem = ImageStem(options_.imagePrefix + (options_.imagePrefix.empty() ? "" : "_") + materialName,
                                           !alpha) +
                                 (alpha ? "_alpha" : "");
        // The player finds files by their name without regard to case.
        std::string name = stem + extension;
        for (int k = 2; usedImageNames_.count(Lower(name)) > 0; ++k)
            name = stem + "_" + std::to_string(k) + extension;
        usedImageNames_.insert(Lower(name));
        CheckedName(name, "texture");
        result_.images.push_back({name, std::vector<uint8_t>(bytes, bytes + size)});
        imageNames_[{&texture, alpha}] = name;
        return name;
    }

    std::string MaterialName(unsigned index)
    {
        if (index >= scene_.mNumMaterials)
            return {};
        auto known = materialNames_.find(index);
        if (known != materialNames_.end())
            return known->second;
        const aiMaterial& source = *scene_.mMaterials[index];
        aiString sourceName;
        source.Get(AI_MATKEY_NAME, sourceName);
        std::string name = sourceName.length > 0 ? sourceName.C_Str() : "material";
        // Meshes find their material by exact name: every material gets a name of its own.
        const std::string base = name;
        for (int k = 2; usedMaterialNames_.count(name) > 0; ++k)
            name = base + "#" + std::to_string(k);
        usedMaterialNames_[name] = index;
        materialNames_[index] = CheckedName(name, "material");

        MdlMaterialRecord material;
        material.name = name;
        std::string diffuse = TextureName(source, aiTextureType_DIFFUSE, name, false);
        if (diffuse.empty())
            diffuse = TextureName(source, aiTextureType_BASE_COLOR, name, false);
        const std::string opacity = TextureName(source, aiTextureType_OPACITY, name, true);
        const std::string reflection = TextureName(source, aiTextureType_REFLECTION, name, false);
        if (!diffuse.empty()) {
            if (Lower(diffuse).find("alpha") != std::string::npos)
                Warn("material [" + name + "]: texture [" + diffuse +
                     "] has \"alpha\" in its name, so the player takes it for an alpha map and skips it");
            material.textures.push_back(diffuse);
            if (!opacity.empty()) {
                if (Lower(opacity).find("alpha") != std::string::npos)
                    material.textures.push_back(opacity);
                else
                    Warn("material [" + name + "]: opacity map [" + opacity +
                         "] is left out; the player takes an alpha map only from a file name holding \"alpha\"");
            }
            if (!reflection.empty())
                material.textures.push_back(reflection);
        } else if (!opacity.empty() || !reflection.empty()) {
            Warn("material [" + name + "]: an opacity or reflection map without a colour texture is left out");
        }
        aiColor4D colours[3] = {{0, 0, 0, 1}, {1, 1, 1, 1}, {0, 0, 0, 1}};
        source.Get(AI_MATKEY_COLOR_AMBIENT, colours[0]);
        source.Get(AI_MATKEY_COLOR_DIFFUSE, colours[1]);
        source.Get(AI_MATKEY_COLOR_SPECULAR, colours[2]);
        for (int c = 0; c < 3; ++c) {
            material.colors[c] = {colours[c].r, colours[c].g, colours[c].b};
            if (!IsFinite(material.colors[c]))
                throw ConvertError("material [" + name + "]: a colour is not a finite number");
        }
        material.mode = 2;
        result_.file.materials.push_back(std::move(material));
        return name;
    }

    void AddCamera(const aiCamera& camera)
    {
        const std::string name = CheckedName(camera.mName.C_Str(), "camera");
        CheckedName(name + ".Target", "camera target");
        const aiNode* node = scene_.mRootNode->FindNode(camera.mName);
        if (!node)
            Warn("camera [" + name + "] hangs below no node; it stays where its own record puts it");
        const NodeSamples still{{aiMatrix4x4()}};
        const NodeSamples& samples = node ? samples_.at(node) : still;

        float fieldOfView = static_cast<float>(kPi / 4);
        const float aspect = camera.mAspect > 0 ? camera.mAspect : kDefaultAspect;
        if (camera.mOrthographicWidth > 0 || !(camera.mHorizontalFOV > 0) || camera.mHorizontalFOV >= kPi) {
            Warn("camera [" + name + "] is orthographic or has no usable angle; it gets a 45 degree field of view");
        } else if (options_.gltfCameras) {
            fieldOfView = camera.mHorizontalFOV / aspect;
        } else {
            // The player's field of view is the vertical angle.
            fieldOfView = 2.0f * std::atan(std::tan(camera.mHorizontalFOV / 2) / aspect);
        }

        std::vector<Vector3> eyes, targets;
        std::vector<double> rolls, fovs;
        float roll = 0.0f, worst = 0.0f;
        for (size_t i = 0; i < frames_.size(); ++i) {
            const aiMatrix4x4& global = samples.At(i);
            const aiMatrix3x3 turn(global);
            const Vector3 eye = ToPlayer(global * (options_.gltfCameras ? aiVector3D() : camera.mPosition));
            aiVector3D look = turn * camera.mLookAt;
            const Vector3 forward = ToPlayer(look.NormalizeSafe());
            const Vector3 up = ToPlayer(turn * camera.mUp);
            if (!IsFinite(eye) || !IsFinite(forward) || !IsFinite(up) || Length(forward) < 0.5f)
                throw ConvertError("camera [" + name + "]: its placement is not a finite number or it looks nowhere");
            float error = 0.0f;
            roll = CameraRoll(forward, up, roll, error);
            worst = std::max(worst, error);
            // The player's projection divides by depth + 1: standing that much ahead, the
            // camera shows the source's picture.
            eyes.push_back(eye + forward * kConvertCameraShift);
            targets.push_back(eye + forward * kTargetDistance);
            rolls.push_back(roll);
            fovs.push_back(fieldOfView);
        }
        if (worst > 0.01f)
            Warn("camera [" + name + "]: its up direction is reached only within " +
                 std::to_string(static_cast<int>(std::lround(worst * 180 / kPi))) +
                 " degrees; the player tilts cameras by a roll angle alone");
        MdlCameraRecord record;
        record.name = name;
        record.position = eyes[0];
        record.target = targets[0];
        record.fieldOfView = fieldOfView;
        record.roll = static_cast<float>(rolls[0]);
        result_.file.cameras.push_back(record);
        // Every camera gets its tracks, also a still one: a camera is selected only with them.
        MdlTrackRecord track;
        track.name = name;
        track.position = PositionKeys(eyes);
        track.roll = ScalarKeys(rolls);
        track.fieldOfView = ScalarKeys(fovs);
        result_.file.tracks.push_back(std::move(track));
        MdlTrackRecord target;
        target.name = name + ".Target";
        target.position = PositionKeys(targets);
        result_.file.tracks.push_back(std::move(target));
    }

    void MeasureGeometry()
    {
        Vector3 low{1e30f, 1e30f, 1e30f}, high{-1e30f, -1e30f, -1e30f};
        bool any = false;
        for (const MdlMeshRecord& mesh : result_.file.meshes)
            for (const MdlVertexRecord& v : mesh.vertices) {
                low = {std::min(low.x, v.position.x), std::min(low.y, v.position.y), std::min(low.z, v.position.z)};
                high = {std::max(high.x, v.position.x), std::max(high.y, v.position.y), std::max(high.z, v.position.z)};
                any = true;
            }
        if (!any)
            return;
        centre_ = (low + high) * 0.5f;
        radius_ = std::max(Length(high - low) * 0.5f, 1e-3f);
    }

    // Where the light stands in the player at the sample; a directional one made to light
    // the scene (far) stands far off, against its direction.
    Vector3 LightPosition(const aiLight& light, const aiMatrix4x4& global, bool far) const
    {
        if (light.mType != aiLightSource_DIRECTIONAL || !far)
            return ToPlayer(global * light.mPosition);
        aiVector3D direction = aiMatrix3x3(global) * light.mDirection;
        const Vector3 towards = ToPlayer(direction.NormalizeSafe());
        return centre_ - towards * (kSunDistance * std::max(radius_, 1.0f));
    }

    // The colour and range that make the player's light (falling off as 1 / (0.01 d))
    // light the scene's centre as the source's light does, at most at full strength with
    // its hue kept, and reach every mesh. A light amid the meshes is matched half the
    // scene's radius away, where the surfaces around it are.
    void MatchBrightness(const aiLight& light, MdlLightRecord& record) const
    {
        const float distance = std::max(Length(record.position - centre_), 0.5f * radius_);
        float falloff = 1.0f;
        if (light.mType != aiLightSource_DIRECTIONAL) {
            float constant = light.mAttenuationConstant, linear = light.mAttenuationLinear,
                  quadratic = light.mAttenuationQuadratic;
            if (!(constant > 0) && !(linear > 0) && !(quadratic > 0))
                quadratic = 1.0f;  // none given: the inverse square of physical lights
            falloff = constant + linear * distance + quadratic * distance * distance;
            if (!(falloff > 0) || !std::isfinite(falloff))
                falloff = 1.0f;
        }
        const aiColor3D source = light.mColorDiffuse;
        Vector3 lit{std::max(source.r, 0.0f) / falloff, std::max(source.g, 0.0f) / falloff,
                    std::max(source.b, 0.0f) / falloff};
        const float brightest = std::max({lit.x, lit.y, lit.z});
        if (brightest > 1.0f)
            lit = lit * (1.0f / brightest);
        record.color = lit * (distance * kPlayerLightFalloff);
        record.range = std::max(1.0f, 1.5f * (distance + radius_) / kPlayerRangeUnit);
    }

    // Whether the light lights the scene in the player (as AddLight names it).
    bool WillBeDynamic(const aiLight& light) const
    {
        const std::string name = light.mName.C_Str();
        if (Contains(Lower(name), "dyna"))
            return true;
        return !options_.keepLightNames && !HasLightRole(name) && light.mType != aiLightSource_AMBIENT;
    }

    void AddLight(const aiLight& light)
    {
        std::string name = light.mName.C_Str();
        const aiNode* node = scene_.mRootNode->FindNode(light.mName);
        const NodeSamples still{{aiMatrix4x4()}};
        const NodeSamples& samples = node ? samples_.at(node) : still;
        // Punctual lights light the scene unless their name gives them another role.
        bool dynamic = Contains(Lower(name), "dyna");
        const bool convert = !options_.keepLightNames && !HasLightRole(name);
        if (convert && light.mType == aiLightSource_AMBIENT) {
            Warn("light [" + name + "] is an ambient light, which the player does not have; it lights nothing");
        } else if (convert) {
            name += ".Dyna";
            dynamic = true;
            if (light.mType == aiLightSource_SPOT)
                Warn("light [" + name + "] is a spot light; the player's lights shine all round");
        }
        CheckedName(name, "light");
        MdlLightRecord record;
        record.name = name;
        const bool matched = convert && dynamic;
        record.position = LightPosition(light, samples.At(0), matched);
        if (matched) {
            MatchBrightness(light, record);
        } else {
            // Colours above 1 (intensities folded in) are scaled down together, keeping the hue.
            const aiColor3D colour = light.mColorDiffuse;
            const float brightest = std::max({colour.r, colour.g, colour.b, 1.0f});
            record.color = {std::max(colour.r / brightest, 0.0f), std::max(colour.g / brightest, 0.0f),
                            std::max(colour.b / brightest, 0.0f)};
            record.range = 1.0f;
        }
        if (!IsFinite(record.position) || !IsFinite(record.color))
            throw ConvertError("light [" + name + "]: its position or colour is not a finite number");
        if (dynamic && ++dynamicLights_ == kPlayerMaxLights + 1)
            Warn("light [" + name + "] and those after it light nothing: the player lights with at most " +
                 std::to_string(kPlayerMaxLights) + " lights");
        result_.file.lights.push_back(record);
        if (samples.Moves()) {
            std::vector<Vector3> positions;
            for (size_t i = 0; i < frames_.size(); ++i)
                positions.push_back(LightPosition(light, samples.At(i), matched));
            MdlTrackRecord track;
            track.name = name;
            track.position = PositionKeys(positions);
            result_.file.tracks.push_back(std::move(track));
        }
    }

    // The player gives a track to every object whose name equals the track's, ignoring case
    // (and a camera's target the track of the camera's name plus ".target" or ".cible"): two
    // such objects would move as one.
    void CheckNames() const
    {
        std::multimap<std::string, std::string> claimants;
        const MdlFile& file = result_.file;
        for (const MdlMeshRecord& mesh : file.meshes)
            claimants.emplace(Lower(mesh.name), "mesh [" + mesh.name + "]");
        for (const MdlLightRecord& light : file.lights)
            claimants.emplace(Lower(light.name), "light [" + light.name + "]");
        for (const MdlCameraRecord& camera : file.cameras) {
            claimants.emplace(Lower(camera.name), "camera [" + camera.name + "]");
            claimants.emplace(Lower(camera.name) + ".target", "the target of camera [" + camera.name + "]");
            claimants.emplace(Lower(camera.name) + ".cible", "the target of camera [" + camera.name + "]");
        }
        for (const MdlTrackRecord& track : file.tracks) {
            const auto [first, end] = claimants.equal_range(Lower(track.name));
            if (first == end || std::next(first) == end)
                continue;
            throw ConvertError("[" + track.name + "] moves, and " + first->second + " and " + std::next(first)->second +
                               " have that name (letter case aside): the player would move both with one track; "
                               "rename one of them");
        }
    }

    const aiScene& scene_;
    ConvertOptions options_;
    ConvertResult result_;
    struct Channel {
        const aiNodeAnim* channel;
        double ticksPerSecond;
    };
    std::map<std::string, Channel> channels_;
    std::vector<int> frames_;
    std::map<const aiNode*, NodeSamples> samples_;
    double held_ = 0;
    std::map<unsigned, std::string> materialNames_;
    std::map<std::pair<const aiTexture*, bool>, std::string> imageNames_;
    std::set<std::string> usedImageNames_;
    // The meshes' extent at frame 0 (player axes), which converted lights are made to light.
    Vector3 centre_{};
    float radius_ = 1.0f;
    size_t dynamicLights_ = 0;
    bool litScene_ = false;  // a light will light the scene
    std::map<std::string, unsigned> usedMaterialNames_;
};

}  // namespace

ConvertResult ConvertScene(const aiScene& scene, const ConvertOptions& options)
{
    return Converter(scene, options).Run();
}

std::string DecodeUri(const std::string& uri)
{
    auto digit = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    for (size_t i = 0; i < uri.size(); ++i) {
        if (uri[i] == '%' && i + 2 < uri.size() && digit(uri[i + 1]) >= 0 && digit(uri[i + 2]) >= 0) {
            out += static_cast<char>(digit(uri[i + 1]) * 16 + digit(uri[i + 2]));
            i += 2;
        } else {
            out += uri[i];
        }
    }
    return out;
}

ConvertResult ConvertFile(const std::string& path, ConvertOptions options)
{
    Assimp::Importer importer;
    // Without the helper nodes the FBX reader would add for pivots (their names are not the artist's).
    importer.SetPropertyBool(AI_CONFIG_IMPORT_FBX_PRESERVE_PIVOTS, false);
    const aiScene* scene =
        importer.ReadFile(path, aiProcess_Triangulate | aiProcess_SortByPType | aiProcess_GenSmoothNormals |
                                    aiProcess_JoinIdenticalVertices | aiProcess_ValidateDataStructure);
    if (!scene || !scene->mRootNode)
        throw ConvertError("Cannot import [" + path + "]: " + importer.GetErrorString());
    const std::string lower = Lower(path);
    auto endsWith = [&lower](const char* tail) {
        const size_t n = std::char_traits<char>::length(tail);
        return lower.size() >= n && lower.compare(lower.size() - n, n, tail) == 0;
    };
    options.gltfCameras = options.uriTextureNames = endsWith(".gltf") || endsWith(".glb");
    options.sourceFolder = std::filesystem::path(path).parent_path().string();
    if (options.sourceFolder.empty())
        options.sourceFolder = ".";
    return ConvertScene(*scene, options);
}
