// The machine's fill rate at the device's mode: full-screen blended quads, counted and timed.
#pragma once
#include <cstdint>

class BenchClock;
class RenderDevice;
class Texture;

struct FillRateFigures {
    double fragmentsPerSecond = 0.0;  // 0 when the device counts no fragments
    uint64_t fragments = 0;           // counted by the device in the timed round
    long quads = 0;                   // full-screen quads drawn in the timed round
    double seconds = 0.0;             // wall time from the first draw until they were done
};

// Draws rounds of full-screen alpha-blended quads, doubling the quads until a round takes at
// least leastSeconds (or maxQuads is reached), and divides the fragments the device counted
// by the round's wall time. Draws into the back buffer inside BeginScene/EndScene and clears
// it afterwards; call it between frames.
// With a texture, every fragment also samples it (stage 0, filtered, repeated four times
// across the screen), as the layers' images are sampled.
FillRateFigures MeasureFillRate(RenderDevice& device, BenchClock& clock, double leastSeconds,
                                long maxQuads = 4096, Texture* texture = nullptr);
