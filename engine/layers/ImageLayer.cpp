// ImageLayer: the shared placement parameters.
#include "engine/layers/ImageLayer.h"

void ImageLayer::AddPlacementAccessors(const PlacementIds& ids)
{
    AddStringAccessor(ids.alphaTexture, "AlphaTexture", &AlphaTexture);
    AddStringAccessor(ids.texture, "Texture", &Texture);
    AddFloatAccessor(ids.xOffset, "XOffset", &XOffset);
    AddFloatAccessor(ids.yOffset, "YOffset", &YOffset);
    AddFloatAccessor(ids.xScale, "XScale", &XScale);
    AddFloatAccessor(ids.yScale, "YScale", &YScale);
}
