// Scene: ownership of the objects and device resources, look-ups and camera selection.
#include "engine/scene/Scene.h"
#include <strings.h>
#include "engine/core/Fatal.h"
#include "engine/device/RenderDevice.h"
#include "engine/device/Texture.h"

Scene::Scene(RenderDevice& device) : device_(device) {}

Scene::~Scene()
{
    streams_.clear();
    owned_.clear();
    materials_.clear();
    for (Texture* texture : ownedTextures_)
        device_.DestroyTexture(texture);
    if (stateBlock_)
        device_.DeleteStateBlock(stateBlock_);
}

void Scene::LoadTextures()
{
    for (const auto& material : materials_)
        material->LoadTextures();
}

void Scene::ReleaseTextures()
{
    for (const auto& material : materials_)
        material->ReleaseTextures();
}

SceneObject* Scene::FindObject(const std::string& name) const
{
    for (SceneObject* object : objects_)
        if (object->GetName() == name)
            return object;
    return nullptr;
}

Camera* Scene::FindCamera(const std::string& name) const
{
    for (Camera* camera : cameras_)
        if (strcasecmp(camera->GetName().c_str(), name.c_str()) == 0)
            return camera;
    return nullptr;
}

void Scene::SelectCamera(const char* name)
{
    Camera* camera = FindCamera(name);
    if (!camera) {
        std::string listing;
        for (const Camera* known : cameras_)
            listing += " - " + known->GetName() + "\r\n";
        ReportFatal("Could not find any camera named [%s]\r\n Available are : \r\n%s", name, listing.c_str());
    }
    if (!camera->track || camera->track->position.empty())
        ReportFatal("Camera [%s] has no source track.", camera->GetName().c_str());
    if (!camera->target->track || camera->target->track->position.empty())
        ReportFatal("Camera [%s] has no target track.", camera->GetName().c_str());
    currentCamera_ = camera;
}

void Scene::SetHaloTexture(Texture* texture)
{
    for (SceneLight* light : lights_)
        if (light->isHalo)
            light->halo.texture = texture;
}
