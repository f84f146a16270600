// Scene: an MDL scene in memory; loads once, then animates and draws itself on a RenderDevice.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "engine/device/DeviceTypes.h"
#include "engine/device/Matrix.h"
#include "engine/scene/Material.h"
#include "engine/scene/MdlFile.h"
#include "engine/scene/Mesh.h"
#include "engine/scene/ParticleStream.h"
#include "engine/scene/SceneLight.h"
#include "engine/scene/SceneObject.h"
#include "engine/scene/Track.h"
#include "engine/scene/ViewCulling.h"

class RenderDevice;
class Texture;

class Scene {
public:
    static constexpr float kFramesPerSecond = static_cast<float>(kSceneFramesPerSecond);

    explicit Scene(RenderDevice& device);
    // Gives every device resource back (buffers, state blocks, textures).
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Reads the MDL file through File and runs the loading steps (materials bound, alpha
    // meshes last, tracks and children linked, halos, state block, streams, morphs, the
    // static/animated split, first camera, statistics). A name whose extension is not MDL
    // (any case) leaves the scene empty without a message. Errors are fatal.
    void Load(const char* fileName);
    // Creates and loads the materials' textures / gives them back.
    void LoadTextures();
    void ReleaseTextures();

    // Makes the camera named name (any case) current. Fatal when there is none of that
    // name, or it or its target has no track with position keys.
    void SelectCamera(const char* name);
    // Draws the scene at time frame (wrapped at the frame count).
    void Draw(float frame);
    // Draws one mesh with its states at its current world matrix (the scene state block,
    // fog and lighting switches, textures, second pass, restores, bounding box).
    void DrawMesh(Mesh& mesh);

    // The first object of the all-objects list named exactly name, or nullptr.
    SceneObject* FindObject(const std::string& name) const;
    // The first camera whose name equals name ignoring case, or nullptr.
    Camera* FindCamera(const std::string& name) const;
    // Every halo light draws with texture from now on (not owned).
    void SetHaloTexture(Texture* texture);

    RenderDevice& GetDevice() const { return device_; }
    // Lists in file order (meshes: alpha meshes moved to the end).
    const std::vector<Mesh*>& GetMeshes() const { return meshes_; }
    const std::vector<SceneLight*>& GetLights() const { return lights_; }
    const std::vector<Camera*>& GetCameras() const { return cameras_; }
    const std::vector<CameraTarget*>& GetCameraTargets() const { return targets_; }
    const std::vector<Marker*>& GetMarkers() const { return markers_; }
    // Every object except the cameras themselves (their targets are in it).
    const std::vector<SceneObject*>& GetObjects() const { return objects_; }
    const std::vector<SceneObject*>& GetStaticObjects() const { return staticObjects_; }
    const std::vector<SceneObject*>& GetAnimatedObjects() const { return animatedObjects_; }
    const std::vector<SceneLight*>& GetHalos() const { return halos_; }
    const std::vector<SceneLight*>& GetDynamicLights() const { return dynamicLights_; }
    const std::vector<std::unique_ptr<Material>>& GetMaterials() const { return materials_; }
    const std::vector<std::unique_ptr<Track>>& GetTracks() const { return tracks_; }
    const std::vector<std::unique_ptr<ParticleStream>>& GetStreams() const { return streams_; }

    uint32_t GetFrameCount() const { return frameCount_; }
    uint32_t GetTotalFaces() const { return totalFaces_; }
    uint32_t GetTotalVertices() const { return totalVertices_; }
    Camera* GetCurrentCamera() const { return currentCamera_; }
    // The eye of the last frame that applied a camera (else the device's eye then).
    Vector3 GetEye() const { return eye_; }
    const Matrix4& GetViewProjection() const { return viewProjection_; }
    int GetMeshesDrawn() const { return meshesDrawn_; }
    uint32_t GetStateBlock() const { return stateBlock_; }

    bool showBoundingBoxes = false;
    bool showMeshCount = false;  // "drawn/total" printed with "font1.png" (loaded on first use)

private:
    void FinishLoading();
    void BindMaterials();
    void MoveAlphaMeshesLast();
    void BindTracks();
    void LinkChildren();
    void SetUpLights();
    void RecordSceneStateBlock();
    void CreateStreams();
    void PairMorphs();
    void SplitStaticAndAnimated();
    void LogStatistics();
    Texture* LoadOwnedTexture(const std::string& fileName);

    void ApplyCamera(float t);
    void UpdateObject(SceneObject& object, float t);
    void ApplyParentRotation(SceneObject& object, const Matrix4& rotation, float t);
    void CullStaticObjects();
    void PrepareMeshes(float t);
    void SendDynamicLights(float t);
    void DrawMeshes();
    void DrawBoundingBox(const Mesh& mesh);
    void DrawMeshCount();

    RenderDevice& device_;
    std::vector<std::unique_ptr<SceneObject>> owned_;
    std::vector<Mesh*> meshes_;
    std::vector<SceneLight*> lights_;
    std::vector<Camera*> cameras_;
    std::vector<CameraTarget*> targets_;
    std::vector<Marker*> markers_;
    std::vector<SceneObject*> objects_;
    std::vector<SceneObject*> staticObjects_;
    std::vector<SceneObject*> animatedObjects_;
    std::vector<SceneLight*> halos_;
    std::vector<SceneLight*> dynamicLights_;
    std::vector<std::unique_ptr<Material>> materials_;
    std::vector<std::unique_ptr<Track>> tracks_;
    std::vector<std::unique_ptr<ParticleStream>> streams_;
    std::vector<Texture*> ownedTextures_;  // halo and stream textures made at loading

    uint32_t frameCount_ = 0;
    uint32_t totalFaces_ = 0;
    uint32_t totalVertices_ = 0;
    Camera* currentCamera_ = nullptr;
    Vector3 eye_;
    Matrix4 viewProjection_;
    ViewFrustum frustum_;
    uint32_t stateBlock_ = 0;
    int meshesDrawn_ = 0;
    size_t rotationVisitsLeft_ = 0;  // parent rotations still allowed this frame
};
