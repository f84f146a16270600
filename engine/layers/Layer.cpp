// Layer timing (window, expiry, restarts) and the fade envelope of FadingLayer.
#include "engine/layers/Layer.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include "engine/core/Clock.h"
#include "engine/core/Log.h"

Layer::Layer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : device(device), nestedOperations(nestedOperations) {
    BindFloat("StartTime", &StartTime);
    BindFloat("LifeTime", &LifeTime);
}

Layer::~Layer() {
    LogLine("Destroying Layer [%s]", name.c_str());
}

void Layer::Restart(float t) {
    clockOrigin = t == -1.0f ? ClockNow() : t;
}

void Layer::RestartNow() {
    clockOrigin = ClockNow();
}

void Layer::Frame() {
    const float local = ClockNow() - clockOrigin;
    if (local < StartTime) return;
    if (LifeTime != -1.0f && local > StartTime + LifeTime) return;
    time = ClockNow() - clockOrigin - StartTime;
    Render();
}

bool Layer::IsAlive() {
    const float local = ClockNow() - clockOrigin;
    return !(LifeTime != -1.0f && local > StartTime + LifeTime);
}

void Layer::SetName(const std::string& text) {
    name = text;
    autoDelete = false;
}

std::string DescribeLayer(const Layer& layer) {
    std::string text = "layer " + layer.GetTypeName() + " [" + layer.GetName() + "]";
    if (layer.GetScriptLine() > 0) text += ", script line " + std::to_string(layer.GetScriptLine());
    return text;
}

void Layer::SetDefaultName(const char* format) {
    char text[256];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(std::rand()));
    name = text;
}

FadingLayer::FadingLayer(RenderDevice& device, const std::vector<LayerOperation>& nestedOperations)
    : Layer(device, nestedOperations) {
    BindFloat("RisingTime", &RisingTime);
    BindFloat("FallingTime", &FallingTime);
    BindFloat("StableTime", &StableTime);
}

void FadingLayer::Init() {
    RestartNow();
    risingEnd = RisingTime;
    stableEnd = RisingTime + StableTime;
    fallingEnd = RisingTime + StableTime + FallingTime;
    LifeTime = fallingEnd;
    riseRate = 1.0f / RisingTime;
    fallRate = 1.0f / FallingTime;
}

float FadingLayer::FadeAt(float t) const {
    float value;
    if (t < risingEnd) {
        value = t * riseRate;
        return std::isfinite(value) ? std::fmin(std::fmax(value, 0.0f), 1.0f) : 0.0f;
    }
    if (t < stableEnd) return 1.0f;
    // A zero falling time makes the rate infinite: the phase is one instant, where the
    // envelope still stands at its stable value.
    value = std::isfinite(fallRate) ? fallingEnd * fallRate - t * fallRate : 1.0f;
    return std::isnan(value) ? 0.0f : std::fmin(std::fmax(value, 0.0f), 1.0f);
}

void FadingLayer::Render() {
    fade = FadeAt(time);
    if (time < risingEnd)
        RenderRising();
    else if (time < stableEnd)
        RenderStable();
    else
        RenderFalling();
}
