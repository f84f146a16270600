// OndesRadio: a wave sprite at an object's resting place that pulses in two windows of every 2 pi seconds.
#pragma once
#include "engine/scene/MDLModifier.h"

class OndesRadio : public MDLModifier {
public:
    OndesRadio(RenderDevice& device, Scene& scene);

    // The pulse strength at local time t: |sin t|, ten times that for a timed modifier.
    float Strength(float t) const;

protected:
    void Render() override;

    int32_t NBOndes = 1;  // kept for scripts; the wave is drawn once
    float Width = 2.0f;   // kept for scripts
    float RotateX = 0.0f;
    float RotateY = 0.0f;
    float RotateZ = 0.0f;

private:
    Vertex quad_[4];
};
