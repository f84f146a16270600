// SceneObject: the common part of every object of a scene, and the cameras, their targets and markers.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/device/Matrix.h"

class Track;

class SceneObject {
public:
    enum class Kind { Mesh, Camera, CameraTarget, Light, Marker };

    explicit SceneObject(Kind kind) : kind_(kind) {}
    virtual ~SceneObject() = default;
    SceneObject(const SceneObject&) = delete;
    SceneObject& operator=(const SceneObject&) = delete;

    // Lights keep their names in lower case and take their roles from them.
    virtual void SetName(const std::string& name) { name_ = name; }
    const std::string& GetName() const { return name_; }
    Kind GetKind() const { return kind_; }

    // The track's position at t (frames). Without a track (or without position keys) a
    // mesh answers its pivot and any other object (0, 0, 0).
    virtual Vector3 GetPosition(float t) const;

    uint32_t flags = 0;                         // ObjectFlag bits
    const Track* track = nullptr;               // bound by name after loading
    Matrix4 world;                              // rebuilt each frame for animated objects
    Vector3 staticPosition;                     // pivot or position from the file
    std::vector<std::string> pendingChildren;   // child names until they are linked
    std::vector<SceneObject*> children;
    SceneObject* parent = nullptr;
    bool updated = false;                       // this frame's world matrix is computed

private:
    Kind kind_;
    std::string name_;
};

class CameraTarget : public SceneObject {
public:
    CameraTarget() : SceneObject(Kind::CameraTarget) {}
};

class Camera : public SceneObject {
public:
    explicit Camera(CameraTarget* target) : SceneObject(Kind::Camera), target(target) {}

    float fieldOfView = 0;  // radians, as stored in the file
    float roll = 0;         // radians, as stored in the file
    CameraTarget* target;   // owned by the scene
};

class Marker : public SceneObject {
public:
    Marker() : SceneObject(Kind::Marker) {}
    uint32_t value = 0;  // kept as read; nothing interprets it
};
