// Scene drawing: camera from tracks, hierarchy, culling, per-frame geometry, lights, meshes and effects.
#include <cmath>
#include "engine/core/Clock.h"
#include "engine/device/Font.h"
#include "engine/device/RenderDevice.h"
#include "engine/scene/Halo.h"
#include "engine/scene/Morph.h"
#include "engine/scene/ObjectFlags.h"
#include "engine/scene/Scene.h"

void Scene::Draw(float frame)
{
    const float t = frameCount_ > 0 ? std::fmod(frame, static_cast<float>(frameCount_)) : frame;
    if (t >= 0.0f && currentCamera_)
        ApplyCamera(t);
    eye_ = device_.GetEye();
    viewProjection_ = device_.GetView() * device_.GetProjection();
    frustum_ = ViewFrustum::From(device_.GetView(), viewProjection_, device_.GetNearPlane(), device_.GetFarPlane());

    for (SceneObject* object : animatedObjects_) {
        object->world = Matrix4::Identity();
        object->updated = false;
        object->flags &= ~kFlagDriven;
    }
    // A tree needs at most one visit per (ancestor, descendant) pair; only a file whose
    // children are shared over and over (each sharing doubling the paths) reaches the cap.
    const size_t n = animatedObjects_.size();
    rotationVisitsLeft_ = n * n;
    for (SceneObject* object : animatedObjects_)
        UpdateObject(*object, t);
    CullStaticObjects();
    PrepareMeshes(t);
    SendDynamicLights(t);
    DrawMeshes();
    const float now = ClockNow();
    DrawHalos(device_, halos_, t, eye_, now);
    for (const auto& stream : streams_) {
        stream->Update(now);
        stream->Draw(device_);
    }
    if (showMeshCount)
        DrawMeshCount();
}

void Scene::ApplyCamera(float t)
{
    const Camera& camera = *currentCamera_;
    Vector3 eye, target;
    // A camera without tracks (possible for the first camera) leaves the device's camera alone.
    if (!camera.track || !camera.track->PositionAt(t, eye) || !camera.target->track ||
        !camera.target->track->PositionAt(t, target))
        return;
    float fieldOfView = camera.fieldOfView;
    float roll = camera.roll;
    camera.track->FieldOfViewAt(t, fieldOfView);
    camera.track->RollAt(t, roll);
    device_.SetEye(eye.x, eye.y, eye.z);
    device_.SetTarget(target.x, target.y, target.z);
    device_.SetFieldOfView(fieldOfView);
    device_.SetRoll(roll);
    device_.UpdateCamera();
}

void Scene::UpdateObject(SceneObject& object, float t)
{
    if (object.updated)
        return;
    object.updated = true;
    Quaternion q;
    const bool rotates = object.track && object.track->RotationAt(t, q);
    Vector3 position = object.staticPosition;
    if (object.track)
        object.track->PositionAt(t, position);
    Matrix4 matrix = Matrix4::Translation(position.x, position.y, position.z);
    if (!rotates) {
        object.world = matrix;
        return;
    }
    const Matrix4 rotation = RotationMatrix(q);
    object.world = rotation * matrix;
    object.flags |= kFlagDriven;
    for (SceneObject* child : object.children)
        ApplyParentRotation(*child, rotation, t);
}

void Scene::ApplyParentRotation(SceneObject& object, const Matrix4& rotation, float t)
{
    if (rotationVisitsLeft_ == 0)
        return;
    --rotationVisitsLeft_;
    // The descendant's own matrix first, so that the rotation is not lost when its turn
    // in the list comes later.
    UpdateObject(object, t);
    object.world = rotation * object.world;
    object.flags |= kFlagDriven;
    for (SceneObject* child : object.children)
        ApplyParentRotation(*child, rotation, t);
}

void Scene::CullStaticObjects()
{
    for (SceneObject* object : staticObjects_) {
        if (object->GetKind() != SceneObject::Kind::Mesh)
            continue;
        Mesh& mesh = static_cast<Mesh&>(*object);
        if (!(mesh.flags & kFlagMorphDest) && frustum_.IsBoxVisible(mesh.box, mesh.center))
            mesh.flags |= kFlagVisible;
        else
            mesh.flags &= ~kFlagVisible;
    }
}

void Scene::PrepareMeshes(float t)
{
    for (Mesh* mesh : meshes_) {
        if (!(mesh->flags & kFlagVisible) || (mesh->flags & kFlagHide))
            continue;
        if (mesh->flags & kFlagRecomputeNormals)
            mesh->RecomputeNormals();
        if (mesh->flags & kFlagEnvMap)
            mesh->ComputeEnvironmentCoordinates(viewProjection_);
        if (mesh->flags & kFlagMorph)
            EvaluateMorph(*mesh, t);
    }
}

void Scene::SendDynamicLights(float t)
{
    for (size_t i = 0; i < dynamicLights_.size(); ++i) {
        SceneLight& light = *dynamicLights_[i];
        if (light.track)
            light.track->PositionAt(t, light.currentPosition);
        device_.SetLight(static_cast<int>(i), light.GetRecord());
    }
}

void Scene::DrawMeshes()
{
    meshesDrawn_ = 0;
    if (!dynamicLights_.empty())
        device_.EnableLighting(true);
    for (size_t i = meshes_.size(); i-- > 0;) {
        Mesh& mesh = *meshes_[i];
        if (!(mesh.flags & kFlagVisible) || (mesh.flags & kFlagHide))
            continue;
        DrawMesh(mesh);
        ++meshesDrawn_;
    }
}

void Scene::DrawMesh(Mesh& mesh)
{
    RenderDevice& d = device_;
    const bool fogWas = d.IsFogEnabled();
    const bool lightingWas = d.IsLightingEnabled();
    d.ApplyStateBlock(stateBlock_);
    if ((mesh.flags & kFlagNoFog) && fogWas)
        d.EnableFog(false);
    d.SetWorld(mesh.world);
    Material* material = mesh.material;
    d.SetTexture(0, material ? material->GetTexture(0) : nullptr);
    d.SetTexture(1, material && (mesh.flags & kFlagEnvMap) ? material->GetTexture(1) : nullptr);
    d.SetMaterial(MaterialRecord{});
    d.ApplyStateBlock(mesh.GetStateBlock());
    mesh.DrawGeometry();
    if (mesh.flags & (kFlagAlpha | kFlagAlphaMap)) {
        d.SetCullMode(CullMode::Clockwise);
        mesh.DrawGeometry();
    }
    if (mesh.flags & (kFlagAlpha | kFlagAlphaMap | kFlagFloor))
        d.EnableAlphaBlend(false);
    if (d.IsFogEnabled() != fogWas)
        d.EnableFog(fogWas);
    if (d.IsLightingEnabled() != lightingWas)
        d.EnableLighting(lightingWas);
    if (showBoundingBoxes)
        DrawBoundingBox(mesh);
}

void Scene::DrawBoundingBox(const Mesh& mesh)
{
    device_.SetTexture(0, nullptr);
    device_.SetTexture(1, nullptr);
    device_.SetDepthFunc(CompareFunc::LessEqual);
    // Corner i has the larger x when bit 0 is set, y bit 1, z bit 2.
    auto corner = [&mesh](int i) {
        const Vector3 p = mesh.box[i] - mesh.staticPosition;
        return Vertex{p.x, p.y, p.z, 0, 0, 0, 0xFFFFFFFFu, 0, 0, 0, 0};
    };
    static constexpr int kLow[5] = {0, 1, 5, 4, 0};
    static constexpr int kHigh[5] = {2, 3, 7, 6, 2};
    static constexpr int kEdges[8] = {0, 2, 1, 3, 4, 6, 5, 7};
    Vertex strip[5];
    for (int i = 0; i < 5; ++i)
        strip[i] = corner(kLow[i]);
    device_.Draw(PrimitiveType::LineStrip, strip, 5);
    for (int i = 0; i < 5; ++i)
        strip[i] = corner(kHigh[i]);
    device_.Draw(PrimitiveType::LineStrip, strip, 5);
    Vertex edges[8];
    for (int i = 0; i < 8; ++i)
        edges[i] = corner(kEdges[i]);
    device_.Draw(PrimitiveType::LineList, edges, 8);
}

void Scene::DrawMeshCount()
{
    // The font is only needed when the count is shown.
    Font* font = device_.GetFont("font1.png");
    font->Print(nullptr, 200, 10, "%d/%d", meshesDrawn_, static_cast<int>(meshes_.size()));
}
