// Shared helpers of the remaining image layers' tests: generated PNG images and driving a layer's frame.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "support/TestImages.h"

// An 8-bit RGB PNG file of width x height whose pixel (x, y) is colour(x, y) as 0xRRGGBB.
inline std::string MakeTestPng(uint32_t width, uint32_t height, const std::function<uint32_t(uint32_t, uint32_t)>& colour)
{
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            const uint32_t c = colour(x, y);
            uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            p[0] = static_cast<uint8_t>(c >> 16);
            p[1] = static_cast<uint8_t>(c >> 8);
            p[2] = static_cast<uint8_t>(c);
        }
    }
    return EncodePng(static_cast<int>(width), static_cast<int>(height), rgb);
}

inline std::string MakePlainPng(uint32_t width, uint32_t height, uint32_t rgb)
{
    return EncodePng(static_cast<int>(width), static_cast<int>(height),
                     SolidRgb(static_cast<int>(width), static_cast<int>(height), static_cast<uint8_t>(rgb >> 16),
                              static_cast<uint8_t>(rgb >> 8), static_cast<uint8_t>(rgb)));
}

// Lets a test draw a fading layer's frame at a chosen time and fade.
template <class LayerType>
class Driven : public LayerType {
public:
    using LayerType::LayerType;
    void DrawAt(float t, float fade)
    {
        this->time = t;
        this->fade = fade;
        this->DrawFrame();
    }
};
