// The layer contract (time window inside a clock of its own) and the fade envelope base.
#pragma once
#include <string>
#include <vector>
#include "engine/core/LibObject.h"
#include "engine/layers/ParameterSet.h"
#include "engine/layers/LayerOperation.h"

class RenderDevice;

class Layer : public LibObject, public ParameterSet {
public:
    // Binds "StartTime" and "LifeTime". The nested operations are copied, so the layer
    // never depends on the lifetime of the script that created it.
    Layer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);
    // Logs "Destroying Layer [name]".
    ~Layer() override;

    // Once, after construction, naming and the CREATE operation's parameters.
    virtual void Init() = 0;
    // Once, just before the stack destroys the layer: give back device resources here.
    virtual void Release() = 0;
    // Clock origin := t, or the demo clock's now when t is exactly -1.0.
    virtual void Restart(float t);

    // Renders when StartTime <= now - origin <= StartTime + LifeTime (inclusive; a
    // LifeTime of exactly -1.0 is unlimited), with time = now - origin - StartTime.
    void Frame();
    // False exactly when LifeTime is not -1.0 and now - origin > StartTime + LifeTime.
    bool IsAlive();
    void RestartNow();
    // A named layer no longer leaves the stack by expiry.
    void SetName(const std::string& text);
    std::string GetName() const { return name; }
    bool IsAutoDelete() const { return autoDelete; }
    // The script's name of the layer's type (set by the registry that made it; empty otherwise).
    const std::string& GetTypeName() const { return typeName; }
    void SetTypeName(const std::string& text) { typeName = text; }
    // The script line of the CREATE that made it (0: not made from a script file).
    int GetScriptLine() const { return scriptLine; }
    void SetScriptLine(int line) { scriptLine = line; }

    RenderDevice& GetDevice() const { return device; }
    const std::vector<LayerOperation>& GetNestedOperations() const { return nestedOperations; }
    float GetClockOrigin() const { return clockOrigin; }
    float GetStartTime() const { return StartTime; }
    float GetLifeTime() const { return LifeTime; }

protected:
    // Draws one frame; reached only through Frame, with `time` set.
    virtual void Render() = 0;
    // Default name of a type: format holds one "%X", filled with rand(). Keeps auto-delete.
    void SetDefaultName(const char* format);

    float StartTime = 0.0f;
    float time = 0.0f;         // during Render: seconds since the window opened
    float clockOrigin = 0.0f;  // demo clock seconds at which the layer's clock started
    float LifeTime = -1.0f;
    RenderDevice& device;
    std::vector<LayerOperation> nestedOperations;
    std::string name;
    std::string typeName;
    bool autoDelete = true;
    int scriptLine = 0;
};

// "layer TYPE [name]", and ", script line N" when the layer knows its line: where an error happened.
std::string DescribeLayer(const Layer& layer);

// Rising / stable / falling envelope shared by the image layers.
class FadingLayer : public Layer {
public:
    // Binds "RisingTime", "FallingTime" and "StableTime".
    FadingLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations);

    // Restarts the clock now and sets the phase ends; LifeTime becomes R + S + F.
    // Derived types call it first from their own Init.
    void Init() override;
    void Release() override {}

    float GetFade() const { return fade; }
    // The envelope at t seconds into the window (what Render sets fade to).
    float FadeAt(float t) const;

protected:
    // Sets fade for `time` and dispatches to the phase's drawing function.
    void Render() override;
    virtual void RenderRising() {}
    virtual void RenderFalling() {}
    virtual void RenderStable() {}

    float risingEnd = 0.0f;
    float stableEnd = 0.0f;
    float fallingEnd = 0.0f;
    float riseRate = 0.0f;
    float fallRate = 0.0f;
    float fade = 0.0f;  // 0..1, also for zero-length phases
    float RisingTime = 0.0f;
    float FallingTime = 0.0f;
    float StableTime = 0.0f;
};
