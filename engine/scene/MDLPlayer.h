// MDLPlayer: the layer that plays an MDL scene, with fog from its lights and the modifiers the script attaches.
#pragma once
#include <list>
#include <memory>
#include <string>
#include <vector>
#include "engine/layers/Layer.h"
#include "engine/scene/MDLModifier.h"
#include "engine/scene/Scene.h"

class MDLPlayer : public Layer {
public:
    // Creates the modifiers of the CREATE operations nested in the layer's own (INSERT
    // Bottom puts one first; its NAME and assignments follow). An unknown type is fatal.
    MDLPlayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);
    ~MDLPlayer() override;

    // Restarts the clock now, loads the scene, the halo texture (when a file is set), the
    // materials' textures, runs every modifier's Init, then sets fog from the ".fog" lights.
    void Init() override;
    // Gives back the modifiers' resources, the scene's textures and the halo texture.
    void Release() override;
    // The layer's restart, then every modifier's with the same time.
    void Restart(float t) override;

    Scene& GetScene() { return *scene_; }
    const std::list<std::unique_ptr<MDLModifier>>& GetModifiers() const { return modifiers_; }
    bool IsFogOn() const { return fogOn_; }

    // The fog a light's lower-case name asks for: ".fog" and the numbers after ".s"
    // (start), ".e" (end) and ".d" (density). False when the name holds no ".fog".
    struct Fog {
        float start = 0, end = 0, density = 0;
        float red = 0, green = 0, blue = 0;
    };
    static bool FogFromLight(const SceneLight& light, Fog& fog);
    const Fog& GetFog() const { return fog_; }

protected:
    // Scene at local time x 33 with its states, then the modifiers, then at most one
    // expired modifier leaves.
    void Render() override;

    std::string haloTextureFile_;  // none for a plain player; derived types may set it

    std::string MDLFile;
    std::string CurrentCamera;
    float NearPlane = 1.0f;
    float FarPlane = 1000.0f;
    bool ShowBBoxes = false;
    bool ShowMesheCount = false;

private:
    void SetUpFog();

    std::unique_ptr<Scene> scene_;
    std::list<std::unique_ptr<MDLModifier>> modifiers_;
    Texture* haloTexture_ = nullptr;
    bool cameraChanged_ = false;
    bool fogOn_ = false;
    Fog fog_;
};
