// Rendering tests of the OpenGL device: blend factor pairs over a known background.
#include "support/GLTestSupport.h"

namespace {

struct BlendCase {
    const char* name;
    bool blend;
    BlendFactor source;
    BlendFactor destination;
    uint32_t expected;  // 0xRRGGBB worked out by hand for the colours below
};

}  // namespace

// Background (0.4, 0.2, 0.8) = (102, 51, 204); source 0x80FF8000 = (255, 128, 0), alpha 128/255.
TEST(GLDeviceBlend, EachFactorPairCombinesSourceAndBackground)
{
    const BlendCase cases[] = {
        // 255*a + 102*(1-a) = 178.8; 128*a + 51*(1-a) = 89.7; 204*(1-a) = 101.6
        {"transparent", true, BlendFactor::SrcAlpha, BlendFactor::InvSrcAlpha, 0xB35A66},
        {"additive", true, BlendFactor::One, BlendFactor::One, 0xFFB3CC},
        {"replace", true, BlendFactor::One, BlendFactor::Zero, 0xFF8000},
        {"blending_off", false, BlendFactor::One, BlendFactor::One, 0xFF8000},
        // 102*1, 51*128/255 = 25.6, 204*0
        {"multiply", true, BlendFactor::Zero, BlendFactor::SrcColor, 0x661A00},
        {"multiply_by_destination", true, BlendFactor::DestColor, BlendFactor::Zero, 0x661A00},
        // 255*(153/255) + 102 -> 255; 128*(204/255) + 51 = 153.4; 0 + 204
        {"screen", true, BlendFactor::InvDestColor, BlendFactor::One, 0xFF99CC},
        {"keep_inverse_alpha", true, BlendFactor::Zero, BlendFactor::InvSrcAlpha, 0x331966},
        // The back buffer has no alpha: destination alpha reads 1.0.
        {"destination_alpha", true, BlendFactor::DestAlpha, BlendFactor::Zero, 0xFF8000},
        {"inverse_destination_alpha", true, BlendFactor::InvDestAlpha, BlendFactor::One, 0x6633CC},
        {"alpha_saturate", true, BlendFactor::SrcAlphaSat, BlendFactor::One, 0x6633CC},
        // src * src + dst * (1 - src): (255 + 0, 64.3 + 25.4, 0 + 204)
        {"source_colour", true, BlendFactor::SrcColor, BlendFactor::InvSrcColor, 0xFF5ACC},
    };
    auto device = MakeTestDevice(16, 16);
    device->SetAlphaOp(0, AlphaOp::SelectArg1);
    device->SetAlphaArg1(0, AlphaArg::Diffuse);
    for (const BlendCase& c : cases) {
        SCOPED_TRACE(c.name);
        device->SetClearColor(0.4f, 0.2f, 0.8f);
        device->Clear(0);
        device->EnableAlphaBlend(c.blend);
        device->SetSrcBlend(c.source);
        device->SetDestBlend(c.destination);
        DrawQuad(*device, 4, 4, 12, 12, 0.5f, 0x80FF8000u);
        ExpectedImage image(16, 16);
        image.Fill(0, 0, 16, 16, 0x6633CC);
        image.Fill(4, 4, 12, 12, c.expected);
        EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), image, std::string("blend_") + c.name));
    }
}
