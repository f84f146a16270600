// Scene loading: objects built from the file's records, then the loading steps that tie them together.
#include <algorithm>
#include <cmath>
#include <unordered_set>
#include "engine/core/Fatal.h"
#include "engine/core/File.h"
#include "engine/core/Log.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"
#include "engine/scene/MdlFile.h"
#include "engine/scene/NameRules.h"
#include "engine/scene/ObjectFlags.h"
#include "engine/scene/Scene.h"

namespace {

// Particle counts beyond this are refused like a missing count: a number in a light's
// name must not decide how much memory the scene takes.
constexpr long kMaxStreamParticles = 65536;

void CopyVectorKeys(std::vector<TrackKey>& keys, const std::vector<MdlVectorKey>& records)
{
    keys.resize(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        keys[i].x = records[i].value.x;
        keys[i].y = records[i].value.y;
        keys[i].z = records[i].value.z;
        keys[i].frame = records[i].frame;
    }
}

void FillTrack(Track& track, const MdlTrackRecord& record)
{
    CopyVectorKeys(track.position, record.position);
    track.roll.resize(record.roll.size());
    for (size_t i = 0; i < record.roll.size(); ++i) {
        track.roll[i].roll = record.roll[i].value;
        track.roll[i].frame = record.roll[i].frame;
    }
    track.fieldOfView.resize(record.fieldOfView.size());
    for (size_t i = 0; i < record.fieldOfView.size(); ++i) {
        track.fieldOfView[i].fov = record.fieldOfView[i].value;
        track.fieldOfView[i].frame = record.fieldOfView[i].frame;
    }
    // Each key turns relative to the previous one; the file's second and third axes are
    // swapped into the scene's axes and the angle's sense reversed.
    Quaternion q;
    track.rotation.resize(record.rotation.size());
    for (size_t i = 0; i < record.rotation.size(); ++i) {
        const MdlRotationKey& key = record.rotation[i];
        const float s = std::sin(-key.angle / 2);
        const float c = std::cos(-key.angle / 2);
        q = HamiltonProduct(q, Quaternion{s * key.axis.x, s * key.axis.z, s * key.axis.y, c});
        TrackKey& out = track.rotation[i];
        out.x = q.x;
        out.y = q.y;
        out.z = q.z;
        out.w = q.w;
        out.e1 = key.e1;
        out.e2 = key.e2;
        out.frame = key.frame;
    }
    CopyVectorKeys(track.scale, record.scale);
}

// True when target hangs somewhere below root; each object is looked at once, so a
// child shared by several parents does not make the search grow with the paths.
bool HangsBelow(const SceneObject* target, const SceneObject* root)
{
    std::vector<const SceneObject*> pending(root->children.begin(), root->children.end());
    std::unordered_set<const SceneObject*> seen;
    while (!pending.empty()) {
        const SceneObject* o = pending.back();
        pending.pop_back();
        if (o == target)
            return true;
        if (!seen.insert(o).second)
            continue;
        pending.insert(pending.end(), o->children.begin(), o->children.end());
    }
    return false;
}

}  // namespace

void Scene::Load(const char* fileName)
{
    totalFaces_ = 0;
    totalVertices_ = 0;
    if (!HasMdlExtension(fileName))
        return;
    std::vector<uint8_t> bytes;
    {
        File file;
        if (!file.Open(fileName))
            ReportFatal("Unable to open MDL file [%s]", fileName);
        bytes = file.ReadAll();
    }
    MdlFile data = ReadMdl(bytes, fileName);
    std::vector<uint8_t>().swap(bytes);
    frameCount_ = data.frameCount;

    for (const MdlCameraRecord& record : data.cameras) {
        auto target = std::make_unique<CameraTarget>();
        auto camera = std::make_unique<Camera>(target.get());
        camera->SetName(record.name);
        camera->staticPosition = record.position;
        target->staticPosition = record.target;
        camera->fieldOfView = record.fieldOfView;
        camera->roll = record.roll;
        cameras_.push_back(camera.get());
        targets_.push_back(target.get());
        objects_.push_back(target.get());
        owned_.push_back(std::move(camera));
        owned_.push_back(std::move(target));
    }
    for (const MdlLightRecord& record : data.lights) {
        auto light = std::make_unique<SceneLight>();
        light->SetName(record.name);
        light->staticPosition = light->currentPosition = record.position;
        light->red = record.color.x;
        light->green = record.color.y;
        light->blue = record.color.z;
        light->range = record.range;
        lights_.push_back(light.get());
        objects_.push_back(light.get());
        owned_.push_back(std::move(light));
    }
    for (MdlMeshRecord& record : data.meshes) {
        auto mesh = std::make_unique<Mesh>(device_);
        mesh->SetName(record.name);
        mesh->materialName = record.material;
        totalVertices_ += static_cast<uint32_t>(record.vertices.size());
        totalFaces_ += static_cast<uint32_t>(record.faces.size());
        mesh->vertices.resize(record.vertices.size());
        mesh->restVertices.resize(record.vertices.size());
        mesh->faces.resize(record.faces.size());
        for (uint32_t i = 0; i < record.vertices.size(); ++i)
            mesh->SetVertex(i, record.vertices[i].position, record.vertices[i].normal);
        for (uint32_t f = 0; f < record.faces.size(); ++f) {
            const uint32_t* index = record.faces[f].index;
            mesh->SetFace(f, index[0], index[1], index[2]);
        }
        for (uint32_t i = 0; i < record.vertices.size(); ++i) {
            const MdlVertexRecord& in = record.vertices[i];
            mesh->SetTextureCoordinates(i, in.u, in.v);
            mesh->SetColor(i, device_.ConvertColor(in.color));
        }
        std::vector<MdlVertexRecord>().swap(record.vertices);
        std::vector<MdlFaceRecord>().swap(record.faces);
        mesh->SetPivot(record.pivot);
        mesh->pendingChildren = std::move(record.children);
        mesh->Finish();
        meshes_.push_back(mesh.get());
        objects_.push_back(mesh.get());
        owned_.push_back(std::move(mesh));
    }
    for (const MdlMarkerRecord& record : data.markers) {
        auto marker = std::make_unique<Marker>();
        marker->SetName(record.name);
        marker->value = record.value;
        marker->staticPosition = record.position;
        markers_.push_back(marker.get());
        objects_.push_back(marker.get());
        owned_.push_back(std::move(marker));
    }
    for (MdlMaterialRecord& record : data.materials) {
        auto material = std::make_unique<Material>(device_);
        material->name = record.name;
        material->textureNames = std::move(record.textures);
        std::copy(std::begin(record.colors), std::end(record.colors), std::begin(material->colors));
        material->flag = record.flag;
        material->mode = record.mode;
        materials_.push_back(std::move(material));
    }
    for (const MdlTrackRecord& record : data.tracks) {
        auto track = std::make_unique<Track>(record.name);
        FillTrack(*track, record);
        tracks_.push_back(std::move(track));
    }
    FinishLoading();
}

void Scene::FinishLoading()
{
    BindMaterials();
    MoveAlphaMeshesLast();
    BindTracks();
    LinkChildren();
    SetUpLights();
    RecordSceneStateBlock();
    CreateStreams();
    PairMorphs();
    SplitStaticAndAnimated();
    currentCamera_ = cameras_.empty() ? nullptr : cameras_.front();
    LogStatistics();
}

void Scene::BindMaterials()
{
    // Names may repeat: the first material of a name serves its meshes, so a later one of
    // the same name ends up unused.
    for (size_t i = 0; i < materials_.size();) {
        Material& material = *materials_[i];
        bool used = false;
        for (Mesh* mesh : meshes_) {
            if (mesh->materialName != material.name || (mesh->material && mesh->material != &material))
                continue;
            mesh->material = &material;
            mesh->BuildStateBlock();
            used = true;
        }
        if (used) {
            ++i;
            continue;
        }
        LogLine("*** Warning !!! Removing unused material [%s] !! ***", material.name.c_str());
        materials_.erase(materials_.begin() + static_cast<std::ptrdiff_t>(i));
    }
}

void Scene::MoveAlphaMeshesLast()
{
    std::stable_partition(meshes_.begin(), meshes_.end(), [](const Mesh* m) { return !(m->flags & kFlagAlpha); });
    for (Mesh* mesh : meshes_)
        if (mesh->flags & kFlagAlpha)
            mesh->flags |= kFlagMovedLast;
}

void Scene::BindTracks()
{
    // Camera and target tracks are assigned in turn, so a later matching track replaces
    // an earlier one; any other object keeps the first track of its name.
    for (const auto& track : tracks_) {
        const std::string name = ToLower(track->GetName());
        for (Camera* camera : cameras_) {
            const std::string cameraName = ToLower(camera->GetName());
            if (name == cameraName)
                camera->track = track.get();
            if (name == cameraName + ".target" || name == cameraName + ".cible")
                camera->target->track = track.get();
        }
        for (SceneObject* object : objects_)
            if (!object->track && ToLower(object->GetName()) == name)
                object->track = track.get();
    }
}

void Scene::LinkChildren()
{
    for (SceneObject* object : objects_) {
        for (const std::string& childName : object->pendingChildren) {
            SceneObject* child = FindObject(childName);
            // An object may hang below several parents, but never below itself or its own
            // descendants: the hierarchy is walked every frame.
            if (!child || child == object || HangsBelow(object, child))
                continue;
            child->parent = object;
            object->children.push_back(child);
        }
        std::vector<std::string>().swap(object->pendingChildren);
    }
}

Texture* Scene::LoadOwnedTexture(const std::string& fileName)
{
    Texture* texture = device_.CreateTexture();
    ownedTextures_.push_back(texture);
    texture->Load(ResolveTextureName(fileName).c_str(), false);
    return texture;
}

void Scene::SetUpLights()
{
    for (SceneLight* light : lights_) {
        if (light->isHalo) {
            std::string file;
            if (FindNameText(light->GetName(), ".m", file)) {
                light->halo.texture = LoadOwnedTexture(file);
                halos_.push_back(light);
            } else {
                LogLine("Warning : Halo [%s] has no texture file, skipping.", light->GetName().c_str());
            }
        }
        if (light->isDynamic) {
            device_.EnableLight(static_cast<int>(dynamicLights_.size()), true);
            dynamicLights_.push_back(light);
        }
    }
}

void Scene::RecordSceneStateBlock()
{
    if (stateBlock_)
        device_.DeleteStateBlock(stateBlock_);
    device_.BeginStateBlock();
    device_.SetSrcBlend(BlendFactor::One);
    device_.SetDestBlend(BlendFactor::One);
    device_.SetColorOp(0, ColorOp::Modulate);
    device_.SetColorArg1(0, ColorArg::Texture);
    device_.SetColorArg2(0, ColorArg::Diffuse);
    device_.SetAlphaOp(0, AlphaOp::Disable);
    device_.EnableDepth(true);
    device_.SetCullMode(CullMode::Clockwise);
    device_.EnableAlphaBlend(false);
    device_.EndStateBlock(&stateBlock_);
}

void Scene::CreateStreams()
{
    for (SceneLight* source : lights_) {
        if (!source->isParticleSource)
            continue;
        const std::string key = NameKey(source->GetName());
        for (SceneLight* destination : lights_) {
            if (!destination->isParticleDestination || destination->GetName().find(key) == std::string::npos)
                continue;
            long count = 0;
            std::string file;
            if (FindNameNumber(source->GetName(), ".c", count) && count > 0 && count <= kMaxStreamParticles &&
                FindNameText(source->GetName(), ".m", file)) {
                Texture* texture = LoadOwnedTexture(file);
                streams_.push_back(std::make_unique<ParticleStream>(source->staticPosition,
                                                                    destination->staticPosition, texture,
                                                                    static_cast<int>(count)));
            } else {
                LogLine("Warning : Particle Source [%s] does not contain Particle Count or texture info, skipping.",
                        source->GetName().c_str());
            }
        }
    }
}

void Scene::PairMorphs()
{
    for (Mesh* source : meshes_) {
        if (!(source->flags & kFlagMorph))
            continue;
        const std::string& sourceName = source->GetName();
        const std::string prefix = sourceName.substr(0, sourceName.find('.'));
        std::vector<Mesh*> destinations;
        for (Mesh* other : meshes_) {
            if (other == source || other->GetName().find(prefix) == std::string::npos)
                continue;
            if (!(other->flags & kFlagMorphDest)) {
                LogLine("**** Warning : found a non-morph object using same PREFIX as an morph object. ignoring.");
                continue;
            }
            if (other->morph.sequence < 0 || static_cast<size_t>(other->morph.sequence) > meshes_.size())
                ReportFatal("Morph destination [%s] has the position %d in its sequence, beyond the %zu meshes of the scene.",
                            other->GetName().c_str(), other->morph.sequence, meshes_.size());
            if (other->vertices.size() != source->vertices.size())
                ReportFatal("Morph Meshes [%s] and [%s] must have the same number of vertices (Is %d and %d).",
                            sourceName.c_str(), other->GetName().c_str(), static_cast<int>(source->vertices.size()),
                            static_cast<int>(other->vertices.size()));
            destinations.push_back(other);
        }
        if (destinations.empty())
            ReportFatal("Can't find destination morph meshe for [%s].", sourceName.c_str());
        // Gaps in the ".c" numbers are closed up; equal numbers keep their file order.
        std::stable_sort(destinations.begin(), destinations.end(),
                         [](const Mesh* a, const Mesh* b) { return a->morph.sequence < b->morph.sequence; });
        std::vector<Mesh*>& list = source->morph.targets;
        list.clear();
        list.push_back(source);
        list.insert(list.end(), destinations.begin(), destinations.end());
        for (size_t i = 0; i < list.size(); ++i) {
            MorphData& entry = list[i]->morph;
            entry.intervalStart = static_cast<float>(entry.startFrame);
            entry.intervalEnd = i + 1 < list.size() ? static_cast<float>(list[i + 1]->morph.startFrame) - 1.0f
                                                    : static_cast<float>(entry.endFrame);
        }
    }
}

void Scene::SplitStaticAndAnimated()
{
    for (SceneObject* object : objects_) {
        if (object->track || object->parent) {
            animatedObjects_.push_back(object);
        } else {
            object->world = Matrix4::Translation(object->staticPosition.x, object->staticPosition.y,
                                                 object->staticPosition.z);
            staticObjects_.push_back(object);
        }
    }
}

void Scene::LogStatistics()
{
    LogLine("--------------------------");
    LogLine("Statistics :");
    LogLine("Meshes  : %d", static_cast<int>(meshes_.size()));
    LogLine("Cameras : %d", static_cast<int>(cameras_.size()));
    LogLine("Lights  : %d", static_cast<int>(lights_.size()));
    LogLine("Total Faces     : %d", static_cast<int>(totalFaces_));
    LogLine("Total Vertices  : %d", static_cast<int>(totalVertices_));
}
