// ImageLayer: a fading layer that shows one image, with the placement parameters the image layers share.
#pragma once
#include <cstdint>
#include <string>
#include <vector>
#include "engine/layers/Layer.h"

// The accessor ids of the six placement parameters; every layer type keeps its own numbering.
struct PlacementIds {
    int32_t alphaTexture = 0, texture = 1, xOffset = 2, yOffset = 3, xScale = 4, yScale = 5;
};

class ImageLayer : public FadingLayer {
public:
    using FadingLayer::FadingLayer;

protected:
    // Constructors only: declares AlphaTexture, Texture (text), XOffset, YOffset, XScale and
    // YScale (floats) as accessors with those ids.
    void AddPlacementAccessors(const PlacementIds& ids = {});

    std::string AlphaTexture;  // alpha image; empty: none
    std::string Texture;       // colour image
    float XOffset = 0.0f;
    float YOffset = 0.0f;
    float XScale = 1.0f;
    float YScale = 1.0f;
};
