// Flies: camera-facing sprites wandering inside a shell around an object.
#pragma once
#include <vector>
#include "engine/scene/MDLModifier.h"

// A fly moves in a straight line from where it last turned.
struct Fly {
    Vector3 base;       // offset from the object where the current leg began
    Vector3 direction;  // each component in -1..1; the fly covers 4 x direction per second
    float legStart = 0; // local time at which the leg began
};

class Flies : public MDLModifier {
public:
    // Scripts cannot ask for more flies than this.
    static constexpr int kMaxFlies = 65536;

    Flies(RenderDevice& device, Scene& scene);

    // The common Init, the quad scaled, NBFlies flies (bounded) inside the shell.
    void Init() override;
    const std::vector<Fly>& GetFlies() const { return flies_; }
    // Where fly i is at local time t, as an offset from the object.
    Vector3 OffsetAt(const Fly& fly, float t) const;

protected:
    void Render() override;

    int32_t NBFlies = 1;
    float ZoneMin = 0.0f;
    float ZoneMax = 1.0f;

private:
    std::vector<Fly> flies_;
    Vertex quad_[4];
};
