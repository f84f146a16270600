// Shared helpers of the first image layers' tests: a test archive of pictures, drawing at a chosen fade, draw inspection.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>
#include "engine/device/Texture.h"
#include "engine/layers/LayerOperation.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

// Lets a test draw one frame of a layer at a chosen fade, as its envelope would.
template <class LayerType>
class FadeDriven : public LayerType {
public:
    using LayerType::LayerType;
    void DrawWithFade(float fade)
    {
        this->fade = fade;
        this->DrawFrame();
    }
};

// The pictures every test may load, packed into the process archive.
inline std::vector<std::pair<std::string, std::string>> ImageLayerTestFiles()
{
    return {
        {"pic.png", EncodePng(8, 8, SolidRgb(8, 8, 200, 100, 50))},
        {"pica.png", EncodePng(8, 8, SolidRgb(8, 8, 128, 128, 128))},
        {"white.jpg", EncodeJpeg(8, 8, 3, SolidRgb(8, 8, 255, 255, 255))},
        {"font.png", EncodePng(16, 16, SolidRgb(16, 16, 255, 255, 255))},
        {"blur.png", EncodePng(16, 16, SolidRgb(16, 16, 90, 90, 90))},
        {"sharp.png", EncodePng(8, 8, SolidRgb(8, 8, 10, 200, 10))},
    };
}

class ImageLayerTest : public ::testing::Test {
protected:
    ImageLayerTest() : pak_(ImageLayerTestFiles()) { device.Open(640, 480, 32); }

    template <class LayerType>
    std::unique_ptr<FadeDriven<LayerType>> Make(const std::vector<std::pair<std::string, std::string>>& parameters)
    {
        auto layer = std::make_unique<FadeDriven<LayerType>>(device, nested);
        for (const auto& [name, value] : parameters) layer->SetParameter(name, value);
        layer->Init();
        return layer;
    }

    // The draws of the last frame, in order.
    std::vector<const RecordedCall*> Draws() const { return device.All(Op::Draw); }

    // Name of the colour image of the texture a SetTexture call bound ("" for none).
    static std::string BoundImage(const RecordedCall* call)
    {
        const auto* texture = static_cast<const Texture*>(call->object);
        return texture ? texture->GetName() : std::string();
    }

    ScopedTestPak pak_;
    RecordingDevice device;
    std::vector<LayerOperation> nested;
};

// Centre of a drawn quad.
inline float CentreX(const RecordedCall* draw)
{
    float sum = 0.0f;
    for (const Vertex& v : draw->Vertices()) sum += v.x;
    return sum / static_cast<float>(draw->Vertices().size());
}
