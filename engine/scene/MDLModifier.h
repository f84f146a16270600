// MDLModifier: a timed effect attached to a scene player's Scene, and the registry of modifier types.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>
#include "engine/core/LibObject.h"
#include "engine/device/DeviceTypes.h"
#include "engine/device/Matrix.h"
#include "engine/layers/ParameterSet.h"

class RenderDevice;
class Scene;
class SceneObject;
class Texture;

class MDLModifier : public LibObject, public ParameterSet {
public:
    // Declares StartTime, LifeTime and the parameters every type shares: ObjetName,
    // Texture, AlphaTexture, XScale and YScale.
    MDLModifier(RenderDevice& device, Scene& scene);
    // Logs "Destroying Modifier [name]" and gives the texture back if Release did not.
    ~MDLModifier() override;

    // Once, after the parameters are set. The base finds the object (one warning when
    // there is none) and loads the texture; types extend it.
    virtual void Init();
    // Before destruction: gives the texture back (types undo what they changed first).
    virtual void Release();
    // Origin := t, or the clock's now when t is exactly -1.
    virtual void Restart(float t);

    // Renders when StartTime <= now - origin <= StartTime + LifeTime (inclusive; LifeTime
    // -1 never ends), with the local time = now - origin - StartTime.
    void Frame();
    // False exactly when LifeTime is not -1 and now - origin > StartTime + LifeTime.
    bool IsAlive() const;

    void SetName(const std::string& text) { name_ = text; }
    const std::string& GetName() const { return name_; }
    // The script's name of the modifier's type (set by the registry that made it).
    const std::string& GetTypeName() const { return typeName_; }
    void SetTypeName(const std::string& text) { typeName_ = text; }
    bool DeletesWhenOver() const { return deleteWhenOver_; }
    void SetDeleteWhenOver(bool value) { deleteWhenOver_ = value; }
    SceneObject* GetObject() const { return object_; }
    Texture* GetTexture() const { return texture_; }
    float GetOrigin() const { return origin_; }

protected:
    // One frame of the effect; reached only through Frame, with time_ set.
    virtual void Render() = 0;
    // The followed object's position at the scene frame of local time t, (0, 0, 0) without one.
    Vector3 ObjectPositionAt(float t) const;
    // Transparent sprites: lighting off, blending on, depth test as given, stage 0 alpha =
    // texture x diffuse, SrcAlpha / InvSrcAlpha.
    void BeginSprites(bool depthTest);
    // Hands the device back: stage 0 alpha off, lighting and blending off.
    void EndSprites();
    // Multiplies x by XScale and y by YScale (the sprite size).
    void ScaleQuad(Vertex quad[4]) const;

    RenderDevice& device_;
    Scene& scene_;
    SceneObject* object_ = nullptr;
    Texture* texture_ = nullptr;
    float time_ = 0.0f;    // seconds since the start of the window, during Render
    float origin_ = 0.0f;  // clock seconds at the last restart

    float StartTime = 0.0f;
    float LifeTime = -1.0f;
    std::string ObjetName;
    std::string TextureFile;  // "Texture"
    std::string AlphaTexture;
    float XScale = 1.0f;
    float YScale = 1.0f;

private:
    std::string name_;
    std::string typeName_;
    bool deleteWhenOver_ = true;
};

// A uniform random number in [0, 1) from the C generator's low 15 bits.
float ModifierRandom();
// True while angle modulo 2 pi lies in (0, pi/2) or (pi, 3 pi/2): the pulse windows.
bool InPulseWindow(float angle);
// The camera's right, up and forward axes in world space, read from a view matrix.
void ViewAxes(const Matrix4& view, Vector3& right, Vector3& up, Vector3& forward);
// A count from the script kept within 0..limit; a cut value is logged with the modifier's name.
int BoundedCount(int value, int limit, const char* parameter, const std::string& modifier);

class MDLModifierFactory {
public:
    virtual ~MDLModifierFactory() = default;
    virtual std::unique_ptr<MDLModifier> Create(RenderDevice& device, Scene& scene) = 0;
};

class MDLModifierRegistry {
public:
    // The process-wide registry (built on first use, so static registrars may run in any order).
    static MDLModifierRegistry& Instance();

    // Start-up only; a name registered twice keeps its first factory.
    void Register(const std::string& typeName, std::unique_ptr<MDLModifierFactory> factory);
    // Exact, case-sensitive lookup; an unknown name is fatal ("Could not find MDLModifier
    // [%s].\r\n Available are : \r\n%s") listing every name in byte order.
    std::unique_ptr<MDLModifier> Create(RenderDevice& device, Scene& scene, const std::string& typeName) const;
    std::vector<std::string> GetNames() const;  // byte order

private:
    std::map<std::string, std::unique_ptr<MDLModifierFactory>> factories_;
};

// Registers a modifier type during static initialisation, in the file that defines it.
template <class ModifierType>
class MDLModifierRegistrar {
public:
    explicit MDLModifierRegistrar(const char* typeName)
    {
        struct Factory : MDLModifierFactory {
            std::unique_ptr<MDLModifier> Create(RenderDevice& device, Scene& scene) override
            {
                return std::make_unique<ModifierType>(device, scene);
            }
        };
        MDLModifierRegistry::Instance().Register(typeName, std::make_unique<Factory>());
    }
};
