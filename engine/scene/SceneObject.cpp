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
    const std::string lower = ToLower(name);
    SceneObject::SetName(lower);
    isHalo = lower.find("halo") != std::string::npos;
    isDynamic = lower.find("dyna") != std::string::npos;
    isParticleSource = lower.find("particlegensrc") != std::string::npos;
    isParticleDestination = lower.find("particlegendest") != std::string::npos;
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
