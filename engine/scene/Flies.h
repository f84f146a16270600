// Flies: camera-facing sprites wandering inside a shell around an object.
#pragma once
#include <vector>
#include "engine/scene/MDLModifier.h"

// A fly's place is worked out afresh from its base every frame, so a new heading moves
// it at once to where that heading would have taken it since time 0.
struct Fly {
    Vector3 base;       // offset from the object; zero at creation
    Vector3 direction;  // each component in -1..1; zero until the first turn
};

class Flies : public MDLModifier {
public:
    // Scripts cannot ask for more flies than this.
    static constexpr int kMaxFlies = 65536;

    Flies(RenderDevice& device, Scene& scene);

    // The common Init, the quad scaled, NBFlies flies (bounded), all at the object.
    void Init() override;
    const std::vector<Fly>& GetFlies() const { return flies_; }
    // Where a fly is at local time t, as an offset from the object: base + 4t x direction,
    // rising a further 4t.
    static Vector3 OffsetAt(const Fly& fly, float t);

protected:
    void Render() override;

    int32_t NBFlies = 1;
    float ZoneMin = 0.0f;
    float ZoneMax = 1.0f;

private:
    std::vector<Fly> flies_;
    Vertex quad_[4];
};
