// Scene objects: positions from tracks, and lights whose names carry their roles.
#include "engine/scene/SceneObject.h"
#include "engine/core/Clock.h"
#include "engine/scene/Mesh.h"
#include "engine/scene/NameRules.h"
#include "engine/scene/SceneLight.h"
#include "engine/scene/Track.h"

Vector3 SceneObject::GetPosition(float t) const
{
    Vector3 position;
    if (track && track->PositionAt(t, position))
        return position;
    return {};
}

Vector3 Mesh::GetPosition(float t) const
{
    Vector3 position;
    if (track && track->PositionAt(t, position))
        return position;
    return staticPosition;
}

SceneLight::SceneLight() : SceneObject(Kind::Light)
{
    halo.changeTime = ClockNow();
}

void SceneLight::SetName(const std::string& name)
{
    SceneObject::SetName(ToLower(name));
    const LightRoles roles = LightRolesFromName(name);
    isHalo = roles.halo;
    isDynamic = roles.dynamic;
    isParticleSource = roles.particleSource;
    isParticleDestination = roles.particleDestination;
}

LightRecord SceneLight::GetRecord() const
{
    LightRecord record;
    record.x = currentPosition.x;
    record.y = currentPosition.y;
    record.z = currentPosition.z;
    record.range = range;
    record.r = red;
    record.g = green;
    record.b = blue;
    return record;
}
