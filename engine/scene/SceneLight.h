// SceneLight: a light of the scene; its lower-cased name gives its roles (halo, dynamic, stream ends).
#pragma once
#include <string>
#include "engine/device/DeviceTypes.h"
#include "engine/scene/SceneObject.h"

class Texture;

// The fading state of a light's halo.
struct HaloState {
    static constexpr float kFadeSpeed = 9.0f;  // per second: fully in or out in 1/9 s
    Texture* texture = nullptr;  // drawn with; not owned (the scene or a layer owns it)
    bool visible = false;        // as the device last answered
    float fade = 0.0f;           // 0..1
    float changeFade = 0.0f;     // fade at the last visibility change
    float changeTime = 0.0f;     // clock seconds at the last change (creation at first)
};

class SceneLight : public SceneObject {
public:
    // Takes the clock time as the halo's first change time.
    SceneLight();

    // Stores the name in lower case and sets the roles from it: "halo", "dyna",
    // "particlegensrc", "particlegendest".
    void SetName(const std::string& name) override;

    // The record SetLight reads: the current position (staticPosition), range and colour.
    LightRecord GetRecord() const;

    float range = 0.0f;
    float red = 0.0f, green = 0.0f, blue = 0.0f;
    bool isHalo = false;
    bool isDynamic = false;
    bool isParticleSource = false;
    bool isParticleDestination = false;
    HaloState halo;
    // Where a dynamic light is this frame (its track position, else staticPosition).
    Vector3 currentPosition;
};
