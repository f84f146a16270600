// Rendering tests of the OpenGL device: a point-lit quad and fog at known distances.
#include "support/GLTestSupport.h"

namespace {

// Shrinks x and y of the 16 x 16 screen to millimetres so distances from the eye are the z
// values alone (the largest offset, 0.008, changes them by far less than a colour step).
void UseDepthCamera(GLDevice& device)
{
    device.SetWorld(Matrix4::Scaling(0.001f, 0.001f, 1.0f));
    device.SetView(Matrix4::Identity());
    device.SetProjection(RenderDevice::OrthoMatrix(0.016f, 0.016f, 0.0f, 1000.0f));
}

ExpectedImage Solid(uint32_t color)
{
    ExpectedImage image(16, 16);
    image.Fill(0, 0, 16, 16, color);
    return image;
}

// A full-screen quad at distance z with normal (0, 0, nz).
void DrawLitQuad(GLDevice& device, float z, float nz, uint32_t color)
{
    std::vector<Vertex> quad = ScreenQuad(device, 0, 0, 16, 16, z, color);
    for (Vertex& v : quad) v.nz = nz;
    device.Draw(PrimitiveType::TriangleStrip, quad.data(), 4);
}

}  // namespace

TEST(GLDeviceLighting, PointLightWithAttenuationRangeAndMaterial)
{
    auto device = MakeTestDevice(16, 16);
    UseDepthCamera(*device);
    device->EnableLighting(true);
    MaterialRecord material;
    material.ambientR = material.ambientG = material.ambientB = 0.5f;
    material.emissiveR = 0.1f;
    device->SetMaterial(material);
    device->SetAmbient(0.2f, 0.2f, 0.2f);
    LightRecord light;
    light.z = -50.0f;  // 50 in front of the quad at z = 0
    light.range = 1.0f;
    light.r = 0.2f;
    light.g = 0.1f;
    light.b = 0.3f;
    device->SetLight(0, light);
    ASSERT_TRUE(device->EnableLight(0, true));
    LightRecord back;
    device->GetLight(0, back);
    EXPECT_FLOAT_EQ(back.range, 800.0f);
    EXPECT_FLOAT_EQ(back.b, 0.3f);

    // Attenuation 1 / (0.01 * 50) = 2. Ambient: 0.5 * (0.2 + 2 * light) = (0.3, 0.2, 0.4);
    // diffuse: white * 2 * light * N.L (1) = (0.4, 0.2, 0.6); emissive (0.1, 0, 0).
    // Sum (0.8, 0.4, 1.0) = (204, 102, 255).
    DrawLitQuad(*device, 0.0f, -1.0f, 0xFFFFFFFFu);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0xCC66FF), "light_in_range"));

    // The vertex colour is the diffuse material: half-grey halves the diffuse term.
    device->Clear(0);
    DrawLitQuad(*device, 0.0f, -1.0f, 0xFF808080u);  // 0.502 * (0.4, 0.2, 0.6) + (0.4, 0.2, 0.4)
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0x9A4DB1), "light_vertex_colour_diffuse"));

    // Facing away: no diffuse, the light's ambient part stays.
    device->Clear(0);
    DrawLitQuad(*device, 0.0f, 1.0f, 0xFFFFFFFFu);  // (0.4, 0.2, 0.4)
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0x663366), "light_facing_away"));

    // Range 0.05 * 800 = 40 < 50: the light is cut off; emissive + 0.5 * global ambient.
    light.range = 0.05f;
    device->SetLight(0, light);
    device->Clear(0);
    DrawLitQuad(*device, 0.0f, -1.0f, 0xFFFFFFFFu);  // (0.2, 0.1, 0.1)
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0x331A1A), "light_out_of_range"));

    // Lighting off: the vertex colour as it is.
    device->EnableLighting(false);
    device->Clear(0);
    DrawLitQuad(*device, 0.0f, -1.0f, 0xFF123456u);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0x123456), "light_off", 0));

    EXPECT_FALSE(device->EnableLight(-1, true));
}

TEST(GLDeviceFog, LinearExpAndExp2AtKnownDistances)
{
    auto device = MakeTestDevice(16, 16);
    UseDepthCamera(*device);
    device->SetFogColor(0.0f, 0.0f, 1.0f);
    device->EnableFog(true);
    const uint32_t white = 0xFFFFFFFFu;

    // Linear 0..200: f = (200 - d) / 200.
    device->SetFog(FogMode::Linear, 0.0f, 200.0f, 0.0f);
    device->Clear(0);
    DrawLitQuad(*device, 50.0f, -1.0f, white);  // f = 0.75: (191, 191, 255)
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0xBFBFFF), "fog_linear_50"));
    device->Clear(0);
    DrawLitQuad(*device, 150.0f, -1.0f, white);  // f = 0.25: (64, 64, 255)
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0x4040FF), "fog_linear_150"));
    device->Clear(0);
    DrawLitQuad(*device, 250.0f, -1.0f, white);  // beyond the end: fog colour
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0x0000FF), "fog_linear_beyond"));

    // Exp: f = e^(-100 * 0.01) = 0.3679: (94, 94, 255).
    device->SetFog(FogMode::Exp, 0.0f, 200.0f, 0.01f);
    device->Clear(0);
    DrawLitQuad(*device, 100.0f, -1.0f, white);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0x5E5EFF), "fog_exp"));

    // Exp2: f = e^(-(50 * 0.01)^2) = 0.7788: (199, 199, 255).
    device->SetFog(FogMode::Exp2, 0.0f, 200.0f, 0.01f);
    device->Clear(0);
    DrawLitQuad(*device, 50.0f, -1.0f, white);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0xC7C7FF), "fog_exp2"));

    // Fog off: untouched.
    device->EnableFog(false);
    device->Clear(0);
    DrawLitQuad(*device, 150.0f, -1.0f, white);
    EXPECT_TRUE(MatchesImage(device->ReadBackBuffer(), Solid(0xFFFFFF), "fog_off", 0));
}
