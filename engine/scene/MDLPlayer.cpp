// MDLPlayer: scene loading, fog set-up, camera selection and the per-frame order of scene and modifiers.
#include "engine/scene/MDLPlayer.h"

#include <cstdio>
#include "engine/core/Fatal.h"
#include "engine/device/RenderDevice.h"
#include "engine/layers/LayerRegistry.h"
#include "engine/layers/ScreenSpace.h"
#include "engine/scene/NameRules.h"

static LayerRegistrar<MDLPlayer> mdlPlayerRegistrar("MDLPlayer");

MDLPlayer::MDLPlayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : Layer(device, nestedOperations), scene_(std::make_unique<Scene>(device))
{
    AddStringAccessor(0, "MDLFile", &MDLFile);
    AddStringAccessor(1, "CurrentCamera", &CurrentCamera, [this] { cameraChanged_ = true; });
    AddFloatAccessor(2, "NearPlane", &NearPlane);
    AddFloatAccessor(3, "FarPlane", &FarPlane);
    AddBoolAccessor(4, "ShowBBoxes", &ShowBBoxes);
    AddBoolAccessor(5, "ShowMesheCount", &ShowMesheCount);
    SetDefaultName("MDLPlayer Layer [%X]");

    for (const LayerOperation& operation : this->nestedOperations) {
        if (operation.kind != OperationKind::Create)
            continue;
        std::unique_ptr<MDLModifier> modifier =
            MDLModifierRegistry::Instance().Create(device, *scene_, operation.target);
        MDLModifier& added = *modifier;
        if (operation.insertAtBottom)
            modifiers_.push_front(std::move(modifier));
        else
            modifiers_.push_back(std::move(modifier));
        if (!operation.newName.empty())
            added.SetName(operation.newName);
        for (const ParameterAssignment& assignment : operation.assignments) {
            try {
                added.SetParameter(assignment.name, assignment.value);
            } catch (const CUserException& error) {
                ReraiseWithPlace(error, "(modifier " + operation.target +
                                            (assignment.line > 0 ? ", script line " + std::to_string(assignment.line) : "") + ")");
            }
        }
    }
}

MDLPlayer::~MDLPlayer()
{
    // Modifiers refer to the scene: they go first.
    modifiers_.clear();
    if (haloTexture_)
        device.DestroyTexture(haloTexture_);
}

void MDLPlayer::Init()
{
    RestartNow();
    scene_->Load(MDLFile.c_str());
    if (!haloTextureFile_.empty()) {
        haloTexture_ = LoadLayerTexture(device, haloTextureFile_, "");
        scene_->SetHaloTexture(haloTexture_);
    }
    scene_->LoadTextures();
    for (const auto& modifier : modifiers_)
        modifier->Init();
    SetUpFog();
}

bool MDLPlayer::FogFromLight(const SceneLight& light, Fog& fog)
{
    const std::string& name = light.GetName();  // already lower case
    if (name.find(".fog") == std::string::npos)
        return false;
    fog = Fog{};
    // A marker without a readable number leaves its value at 0.
    FindNameFloat(name, ".s", fog.start);
    FindNameFloat(name, ".e", fog.end);
    FindNameFloat(name, ".d", fog.density);
    fog.red = light.red;
    fog.green = light.green;
    fog.blue = light.blue;
    return true;
}

void MDLPlayer::SetUpFog()
{
    fogOn_ = false;
    for (const SceneLight* light : scene_->GetLights()) {
        Fog fog;
        if (!FogFromLight(*light, fog))
            continue;
        fog_ = fog;
        device.SetFogColor(fog.red, fog.green, fog.blue);
        device.SetFog(FogMode::Linear, fog.start, fog.end, fog.density);
        device.EnableFog(true);
        fogOn_ = true;
    }
}

void MDLPlayer::Restart(float t)
{
    Layer::Restart(t);
    for (const auto& modifier : modifiers_)
        modifier->Restart(t);
}

void MDLPlayer::Render()
{
    scene_->showBoundingBoxes = ShowBBoxes;
    scene_->showMeshCount = ShowMesheCount;
    device.SetNearPlane(NearPlane);
    device.SetFarPlane(FarPlane);
    device.UpdateCamera();
    device.EnableDepth(true);
    if (fogOn_) {
        device.SetFogColor(fog_.red, fog_.green, fog_.blue);
        device.SetFog(FogMode::Linear, fog_.start, fog_.end, fog_.density);
        device.EnableFog(true);
    }
    if (cameraChanged_) {
        scene_->SelectCamera(CurrentCamera.c_str());
        cameraChanged_ = false;
    }
    scene_->Draw(time * Scene::kFramesPerSecond);
    // Later layers must not be fogged.
    device.EnableFog(false);

    for (const auto& modifier : modifiers_)
        modifier->Frame();
    for (auto it = modifiers_.begin(); it != modifiers_.end(); ++it) {
        MDLModifier& modifier = **it;
        if (!modifier.IsAlive() && modifier.DeletesWhenOver()) {
            modifier.Release();
            modifiers_.erase(it);
            break;
        }
    }
}

void MDLPlayer::Release()
{
    for (const auto& modifier : modifiers_)
        modifier->Release();
    scene_->ReleaseTextures();
    if (haloTexture_) {
        scene_->SetHaloTexture(nullptr);
        device.DestroyTexture(haloTexture_);
        haloTexture_ = nullptr;
    }
}
