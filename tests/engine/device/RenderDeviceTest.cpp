// Tests of the device base: camera and projection math, colour packing, saved transforms, state operations and blocks, fonts.
#include <gtest/gtest.h>
#include <cmath>
#include <functional>
#include "engine/device/Font.h"
#include "engine/device/RenderDevice.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"
#include "support/TestPak.h"

namespace {

constexpr float kPi = 3.14159265f;

void ExpectMatrixNear(const Matrix4& expected, const Matrix4& actual, float tolerance = 1e-5f)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(expected.m[r][c], actual.m[r][c], tolerance) << "row " << r << " column " << c;
}

// The device as the application sets it up after Init.
void SetUpCamera(RenderDevice& device)
{
    device.SetEye(0, 0, -5);
    device.SetTarget(0, 0, 0);
    device.SetFieldOfView(0.7853982f);
    device.SetNearPlane(1.0f);
    device.SetFarPlane(1500.0f);
    device.SetRoll(0);
    device.UpdateCamera();
}

}  // namespace

TEST(RenderDeviceTest, RollGivesTheUpHint)
{
    RecordingDevice device;
    device.SetRoll(0);
    EXPECT_FLOAT_EQ(0.0f, device.GetUpHint().x);
    EXPECT_FLOAT_EQ(1.0f, device.GetUpHint().y);
    EXPECT_FLOAT_EQ(0.0f, device.GetUpHint().z);
    device.SetRoll(kPi / 2);
    EXPECT_NEAR(1.0f, device.GetUpHint().x, 1e-6f);
    EXPECT_NEAR(0.0f, device.GetUpHint().y, 1e-6f);
    EXPECT_NEAR(0.0f, device.GetUpHint().z, 1e-6f);
    device.SetRoll(kPi / 4);  // the third component is sin r * cos r
    EXPECT_NEAR(0.5f, device.GetUpHint().z, 1e-6f);
}

TEST(RenderDeviceTest, ViewMatrixLooksFromEyeToTarget)
{
    RecordingDevice device;
    device.Open();
    SetUpCamera(device);
    Matrix4 expected;  // right (1,0,0), up (0,1,0), forward (0,0,1), eye 5 behind
    expected.m[3][2] = 5.0f;
    ExpectMatrixNear(expected, device.GetView());
    ExpectMatrixNear(expected, device.Last(Op::SetView)->As<Matrix4>());

    // An oblique camera: the rows are orthonormal and the target lands on the forward axis.
    device.SetEye(3, 4, -2);
    device.SetTarget(-1, 0, 5);
    device.UpdateCamera();
    const Matrix4& v = device.GetView();
    const Vector4 target = TransformPoint(v, {-1, 0, 5});
    EXPECT_NEAR(0.0f, target.x, 1e-4f);
    EXPECT_NEAR(0.0f, target.y, 1e-4f);
    EXPECT_NEAR(std::sqrt(16.0f + 16.0f + 49.0f), target.z, 1e-4f);
    const Vector4 eye = TransformPoint(v, {3, 4, -2});
    EXPECT_NEAR(0.0f, eye.x, 1e-4f);
    EXPECT_NEAR(0.0f, eye.z, 1e-4f);
    // Up stays up: a point above the target is above it in view space.
    EXPECT_GT(TransformPoint(v, {-1, 1, 5}).y, 0.0f);
}

TEST(RenderDeviceTest, DegenerateCamerasKeepThePreviousMatricesAndHintsFallBack)
{
    RecordingDevice device;
    device.Open();
    SetUpCamera(device);
    const Matrix4 view = device.GetView();
    const Matrix4 projection = device.GetProjection();

    // Eye on target: the view stays, nothing is set for it.
    device.ClearCalls();
    device.SetEye(1, 2, 3);
    device.SetTarget(1, 2, 3);
    device.UpdateCamera();
    EXPECT_EQ(0, device.Count(Op::SetView));
    EXPECT_EQ(view, device.GetView());

    // Near equal to far, or no field of view: the projection stays.
    device.SetTarget(0, 0, 0);
    device.SetNearPlane(10.0f);
    device.SetFarPlane(10.005f);
    device.UpdateCamera();
    EXPECT_EQ(projection, device.GetProjection());
    device.SetFarPlane(1500.0f);
    device.SetFieldOfView(0.0f);
    device.UpdateCamera();
    EXPECT_EQ(projection, device.GetProjection());
    // A near plane at the scaled far plane would divide by zero: kept as well.
    device.SetFieldOfView(0.7853982f);
    device.SetNearPlane(1500.0f * 0.5128205f);
    device.UpdateCamera();
    EXPECT_EQ(projection, device.GetProjection());

    // Up hint along the view direction: world up stands in.
    device.SetEye(0, 0, 0);
    device.SetTarget(5, 0, 0);
    device.SetRoll(kPi / 2);  // hint (1, 0, 0)
    device.UpdateCamera();
    EXPECT_NEAR(1.0f, device.GetView().m[1][1], 1e-6f);  // u = (0, 1, 0)
    EXPECT_NEAR(1.0f, device.GetView().m[0][2], 1e-6f);  // f = (1, 0, 0)
    // Looking straight up with the hint up too: world up is parallel as well, so (0, 0, 1).
    device.SetTarget(0, 5, 0);
    device.SetRoll(0);
    device.UpdateCamera();
    EXPECT_NEAR(1.0f, device.GetView().m[2][1], 1e-6f);  // u = (0, 0, 1)
    EXPECT_NEAR(1.0f, device.GetView().m[1][2], 1e-6f);  // f = (0, 1, 0)
}

TEST(RenderDeviceTest, PerspectiveKeepsTheScaledFarPlaneAndAUnitCorner)
{
    // Values worked out by hand. cot(fov / 2) fills the diagonal (times the aspect 480/640 in
    // x); the far plane is scaled by 0.5128205 to F, Q = F / (F - near), the z row holds
    // -Q x near and the corner stays 1.
    struct Case {
        int width, height;
        float fov, nearPlane, farPlane;
        float m00, m11, m22, m32;
    };
    const Case cases[] = {
        // fov pi/4: cot(pi/8) = 1 + sqrt 2 = 2.4142136; F = 769.23075, Q = 769.23075 / 768.23075.
        {640, 480, 0.7853982f, 1.0f, 1500.0f, 1.8106602f, 2.4142136f, 1.0013017f, -1.0013017f},
        // fov pi/2: cot(pi/4) = 1; F = 51.28205, Q = 51.28205 / 49.28205 = 1.0405827.
        {800, 600, 1.5707963f, 2.0f, 100.0f, 0.75f, 1.0f, 1.0405827f, -2.0811654f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "fov " << c.fov << " near " << c.nearPlane);
        RecordingDevice device;
        device.Open(c.width, c.height, 32);
        SetUpCamera(device);
        device.SetFieldOfView(c.fov);
        device.SetNearPlane(c.nearPlane);
        device.SetFarPlane(c.farPlane);
        device.UpdateCamera();
        Matrix4 expected;
        expected.m[0][0] = c.m00;
        expected.m[1][1] = c.m11;
        expected.m[2][2] = c.m22;
        expected.m[2][3] = 1.0f;
        expected.m[3][2] = c.m32;
        expected.m[3][3] = 1.0f;
        ExpectMatrixNear(expected, device.GetProjection());
    }
}

TEST(RenderDeviceTest, OrthoSetsIdentityWorldAndViewFirst)
{
    RecordingDevice device;
    device.Open();
    device.SetWorld(Matrix4::Translation(1, 2, 3));
    device.ClearCalls();
    device.SetOrtho(640, 480, 0, 1);
    const Matrix4& p = device.GetProjection();
    EXPECT_NEAR(0.003125f, p.m[0][0], 1e-7f);
    EXPECT_NEAR(0.0041667f, p.m[1][1], 1e-7f);
    EXPECT_FLOAT_EQ(1.0f, p.m[2][2]);
    EXPECT_FLOAT_EQ(0.0f, p.m[3][2]);
    EXPECT_FLOAT_EQ(1.0f, p.m[3][3]);
    EXPECT_EQ(Matrix4::Identity(), device.GetWorld());
    EXPECT_EQ(Matrix4::Identity(), device.GetView());
    EXPECT_EQ((std::vector<Op>{Op::SetOrtho, Op::SetWorld, Op::SetView, Op::SetProjection}), device.Ops());
    const Matrix4 shifted = RenderDevice::OrthoMatrix(100, 50, 2, 6);
    EXPECT_FLOAT_EQ(0.25f, shifted.m[2][2]);
    EXPECT_FLOAT_EQ(-0.5f, shifted.m[3][2]);
}

TEST(RenderDeviceTest, ColoursPackTruncatedAndStayInTheirChannels)
{
    EXPECT_EQ(0xFFFF7F00u, PackColor(1.0f, 0.5f, 0.0f));
    EXPECT_EQ(0xFF000000u, PackColor(0, 0, 0));
    EXPECT_EQ(0xFF010203u, PackColor(1.9f / 255, 2.9f / 255, 3.5f / 255));
    // Out-of-range and undefined components cannot spill into the next channel.
    EXPECT_EQ(0xFFFF0000u, PackColor(2.0f, -1.0f, NAN));
}

TEST(RenderDeviceTest, SavedTransformsRestoreWhatWasInForce)
{
    RecordingDevice device;
    device.Open();
    SetUpCamera(device);
    device.SetWorld(Matrix4::RotationY(0.3f));
    const Matrix4 world = device.GetWorld(), view = device.GetView(), projection = device.GetProjection();

    device.PushTransform(device.GetWorld());
    device.PushTransform(device.GetView());
    device.PushTransform(device.GetProjection());
    device.SetOrtho(640, 480, 0, 1);
    device.SetProjection(device.PopTransform());
    device.SetView(device.PopTransform());
    device.SetWorld(device.PopTransform());
    EXPECT_EQ(world, device.GetWorld());
    EXPECT_EQ(view, device.GetView());
    EXPECT_EQ(projection, device.GetProjection());
    EXPECT_EQ(0u, device.GetTransformDepth());
    // One pop too many answers identity instead of reading past the stack.
    EXPECT_EQ(Matrix4::Identity(), device.PopTransform());
}

TEST(RenderDeviceTest, StateBlocksRecordWithoutApplyingAndReplayInOrder)
{
    RecordingDevice device;
    device.Open();
    device.EnableLighting(true);
    device.ClearCalls();

    uint32_t block = 0;
    device.BeginStateBlock();
    device.SetCullMode(CullMode::CounterClockwise);
    device.EnableAlphaBlend(true);
    device.SetSrcBlend(BlendFactor::SrcAlpha);
    device.SetDestBlend(BlendFactor::InvSrcAlpha);
    device.SetAlphaOp(0, AlphaOp::SelectArg1);
    device.SetAlphaArg1(0, AlphaArg::Texture);
    device.SetColorArg2(1, ColorArg::Texture);
    device.EnableLighting(false);
    device.SetFog(FogMode::Exp2, 1, 2, 0.5f);
    device.EndStateBlock(&block);
    EXPECT_NE(0u, block);
    // Nothing took effect while recording.
    EXPECT_EQ(CullMode::Clockwise, device.cullMode);
    EXPECT_TRUE(device.IsLightingEnabled());
    EXPECT_EQ((std::vector<Op>{Op::BeginStateBlock, Op::EndStateBlock}), device.Ops());

    uint32_t other = 0;
    device.BeginStateBlock();
    device.SetCullMode(CullMode::None);
    device.EndStateBlock(&other);
    EXPECT_NE(block, other);

    device.ClearCalls();
    device.ApplyStateBlock(block);
    EXPECT_EQ((std::vector<Op>{Op::ApplyStateBlock, Op::SetCullMode, Op::EnableAlphaBlend, Op::SetSrcBlend,
                                        Op::SetDestBlend, Op::SetAlphaOp, Op::SetAlphaArg1, Op::SetColorArg2,
                                        Op::EnableLighting, Op::SetFog}),
              device.Ops());
    EXPECT_EQ(CullMode::CounterClockwise, device.cullMode);
    EXPECT_EQ(BlendFactor::InvSrcAlpha, device.destBlend);
    EXPECT_EQ(AlphaArg::Texture, device.stages[0].alphaArg1);
    EXPECT_EQ(ColorArg::Texture, device.stages[1].colorArg2);
    EXPECT_FALSE(device.IsLightingEnabled());
    EXPECT_EQ(FogMode::Exp2, device.fogMode);
    EXPECT_FLOAT_EQ(0.5f, device.fogDensity);

    // Applying twice replays twice; deleted and unknown handles do nothing.
    device.ApplyStateBlock(other);
    EXPECT_EQ(CullMode::None, device.cullMode);
    device.DeleteStateBlock(block);
    device.ClearCalls();
    device.ApplyStateBlock(block);
    device.ApplyStateBlock(12345);
    EXPECT_EQ(0, device.Count(Op::SetCullMode));
}

TEST(RenderDeviceTest, PointsProjectOntoTheViewport)
{
    RecordingDevice device;
    device.Open(640, 480, 32);
    SetUpCamera(device);
    TransformedVertex out;
    EXPECT_TRUE(device.ProjectPoint(0, 0, 0, 640, 480, out));
    EXPECT_FLOAT_EQ(320.0f, out.x);
    EXPECT_FLOAT_EQ(240.0f, out.y);
    // w = view z + 1: the projection's corner is 1, so the origin at distance 5 has w 6.
    EXPECT_FLOAT_EQ(1.0f / 6.0f, out.rhw);
    EXPECT_EQ(0x00FFFFFFu, out.color);
    // Screen positions on a pixel's half round up, not to the even neighbour.
    EXPECT_TRUE(device.ProjectPoint(0, 0, 0, 641, 481, out));
    EXPECT_FLOAT_EQ(321.0f, out.x);
    EXPECT_FLOAT_EQ(241.0f, out.y);
    // Up on screen is smaller y.
    EXPECT_TRUE(device.ProjectPoint(0, 1, 0, 640, 480, out));
    EXPECT_LT(out.y, 240.0f);
    // Off to the side, and where w is 0 (one unit behind the eye), are off screen.
    EXPECT_FALSE(device.ProjectPoint(100, 0, 0, 640, 480, out));
    EXPECT_FALSE(device.ProjectPoint(0, 0, -6, 640, 480, out));

    TransformedVertex points[2] = {};
    points[0].z = 0;
    points[1].x = 100;
    uint32_t results[2] = {7, 7};
    device.ArePointsVisible(points, results, 2);
    EXPECT_EQ(kPointVisible, results[0]);
    EXPECT_EQ(kPointHidden, results[1]);
    EXPECT_FLOAT_EQ(-1.0f, points[1].x);
}

TEST(RenderDeviceTest, FontCacheLoadsEachSheetOnceAndOwnsIt)
{
    int w = 0, h = 0;
    std::vector<std::vector<int>> rows(6, std::vector<int>(16, 3));
    rows[5].resize(14);
    const std::vector<uint8_t> sheet = DrawFontSheet(5, rows, w, h);
    ScopedTestPak pak({{"font1.png", EncodePng(w, h, sheet)}});
    {
        RecordingDevice device;
        device.Open();
        Font* first = device.GetFont("font1.png");
        const int surfaces = device.liveSurfaces;
        EXPECT_EQ(94, surfaces);
        EXPECT_EQ(first, device.GetFont("font1.png"));
        EXPECT_EQ(surfaces, device.liveSurfaces);
        EXPECT_EQ(5, first->GetHeight());
    }
}

TEST(RenderDeviceTest, SelectionsAreCopiesOfTheRecords)
{
    RecordingDevice device;
    EXPECT_EQ(nullptr, device.GetSelectedDriver());
    EXPECT_EQ(nullptr, device.GetSelectedDevice());
    EXPECT_EQ(nullptr, device.GetSelectedMode());
    ASSERT_EQ(1, device.GetDriverCount());
    const DeviceInfo& info = device.GetDriver(0).GetDevice(0);
    EXPECT_EQ(6, info.GetModeCount());
    device.SelectMode(info.GetMode(3));
    DriverInfo extra;
    extra.name = "second";
    EXPECT_EQ(1, device.AddDriver(extra));  // may move the list; the selection stays valid
    ASSERT_NE(nullptr, device.GetSelectedMode());
    EXPECT_EQ(800, device.GetSelectedMode()->width);
    EXPECT_EQ(32, device.GetSelectedMode()->bitsPerPixel);
}

TEST(MatrixTest, RowVectorsApplyTheLeftMatrixFirst)
{
    const Vector4 x = TransformPoint(Matrix4::RotationZ(kPi / 2), {1, 0, 0});
    EXPECT_NEAR(0.0f, x.x, 1e-6f);
    EXPECT_NEAR(1.0f, x.y, 1e-6f);
    EXPECT_FLOAT_EQ(1.0f, x.w);
    const Vector4 z = TransformPoint(Matrix4::RotationY(kPi / 2), {0, 0, 1});
    EXPECT_NEAR(1.0f, z.x, 1e-6f);
    const Vector4 y = TransformPoint(Matrix4::RotationX(kPi / 2), {0, 1, 0});
    EXPECT_NEAR(1.0f, y.z, 1e-6f);

    // Scale, then move: the translation is not scaled.
    const Matrix4 m = Matrix4::Scaling(2, 2, 2) * Matrix4::Translation(10, 0, 0);
    EXPECT_FLOAT_EQ(12.0f, TransformPoint(m, {1, 0, 0}).x);
    const Matrix4 n = Matrix4::Translation(10, 0, 0) * Matrix4::Scaling(2, 2, 2);
    EXPECT_FLOAT_EQ(22.0f, TransformPoint(n, {1, 0, 0}).x);
    EXPECT_EQ(Matrix4::Translation(1, 2, 3), Matrix4::Identity() * Matrix4::Translation(1, 2, 3));
}

// Other modules' tests stand on the recording device, so it must keep the device contract.
namespace {

// A recording device that counts the changes its base announces, and draws at most two
// lights at once.
class AnnouncingDevice : public RecordingDevice {
public:
    AnnouncingDevice() { maxEnabledLights_ = 2; }
    int announced = 0;

private:
    void StateChanging(StateCall::Kind) override { ++announced; }
};

}  // namespace

TEST(RenderDeviceTest, AStateCallIsAnnouncedOnlyWhenItChangesAValueAndRecordedEveryTime)
{
    AnnouncingDevice device;
    device.Open();
    Texture* texture = device.CreateTexture();
    LightRecord light;
    light.range = 1.0f;
    const struct {
        const char* call;
        std::function<void()> make;
        bool changes;
    } steps[] = {
        {"blend One, as a device starts", [&] { device.SetSrcBlend(BlendFactor::One); }, false},
        {"blend SrcAlpha", [&] { device.SetSrcBlend(BlendFactor::SrcAlpha); }, true},
        {"blend SrcAlpha again", [&] { device.SetSrcBlend(BlendFactor::SrcAlpha); }, false},
        {"depth test on, as it starts", [&] { device.EnableDepth(true); }, false},
        // The second stage is off until its colour operation is named, even the stored one.
        {"stage 1 Modulate", [&] { device.SetColorOp(1, ColorOp::Modulate); }, true},
        {"stage 1 Modulate again", [&] { device.SetColorOp(1, ColorOp::Modulate); }, false},
        {"stage 0 Modulate, as it starts", [&] { device.SetColorOp(0, ColorOp::Modulate); }, false},
        {"texture on stage 2", [&] { device.SetTexture(2, texture); }, false},
        {"colour op on stage -1", [&] { device.SetColorOp(-1, ColorOp::Add); }, false},
        {"texture on stage 0", [&] { device.SetTexture(0, texture); }, true},
        // 0.001 x 255 truncates to 0: the same packed colour.
        {"fog colour red", [&] { device.SetFogColor(1, 0, 0); }, true},
        {"fog colour red, blue 0.001", [&] { device.SetFogColor(1, 0, 0.001f); }, false},
        // Out of the enumeration is Linear; start 0, end 1, density 1 are the starting values.
        {"fog mode 7, starting values", [&] { device.SetFog(static_cast<FogMode>(7), 0, 1, 1); }, false},
        {"fog Exp", [&] { device.SetFog(FogMode::Exp, 0, 1, 1); }, true},
        {"light 0", [&] { device.SetLight(0, light); }, true},
        {"light 0, the same", [&] { device.SetLight(0, light); }, false},
        {"light -1", [&] { device.SetLight(-1, light); }, false},
        {"world identity, as it starts", [&] { device.SetWorld(Matrix4::Identity()); }, false},
    };
    for (const auto& step : steps) {
        const int before = device.announced;
        const size_t calls = device.calls.size();
        step.make();
        EXPECT_EQ(device.announced - before, step.changes ? 1 : 0) << step.call;
        EXPECT_EQ(device.calls.size(), calls + 1) << step.call << ": every applied call is recorded";
    }
    EXPECT_EQ(device.stages[0].texture, texture);
    EXPECT_EQ(device.stages[0].colorOp, ColorOp::Modulate) << "stage -1 left stage 0 alone";
    EXPECT_EQ(device.fogMode, FogMode::Exp);
    EXPECT_EQ(device.fogColor, 0xFFFF0000u);

    // Recorded into a block: neither announced nor applied until the block is.
    uint32_t block = 0;
    device.BeginStateBlock();
    device.SetDestBlend(BlendFactor::Zero);
    device.EndStateBlock(&block);
    EXPECT_EQ(device.destBlend, BlendFactor::One);
    const int before = device.announced;
    device.ApplyStateBlock(block);
    EXPECT_EQ(device.announced - before, 1);
    EXPECT_EQ(device.destBlend, BlendFactor::Zero);
    device.DestroyTexture(texture);
}

TEST(RenderDeviceTest, LightsSwitchOnUpToWhatTheDeviceDrawsAtOnce)
{
    AnnouncingDevice device;  // two at once
    device.Open();
    const struct {
        int index;
        bool enable;
        bool answer;
        bool onAfter;
    } steps[] = {
        {0, true, true, true},    {1, true, true, true},   {2, true, false, false},  // a third is refused
        {0, true, true, true},                                                        // already on: no change
        {1, false, true, false},  {2, true, true, true},                              // room again
        {-1, true, false, false},                                                     // no such light
        {5, false, true, false},                                                      // off, never on
    };
    for (const auto& step : steps) {
        EXPECT_EQ(device.EnableLight(step.index, step.enable), step.answer) << step.index << " " << step.enable;
        EXPECT_EQ(device.IsLightOn(step.index), step.onAfter) << step.index;
    }
    EXPECT_EQ(device.GetState().EnabledLightCount(), 2);
    // While a block records, the call is only noted: it succeeds.
    device.BeginStateBlock();
    EXPECT_TRUE(device.EnableLight(3, true));
    uint32_t block = 0;
    device.EndStateBlock(&block);
    EXPECT_FALSE(device.IsLightOn(3));
}

TEST(RecordingDeviceTest, KeepsTheContractOfClearInitAndLights)
{
    RecordingDevice device;
    device.Open(4, 2, 32);
    device.SetClearColor(1.0f, 0.5f, 0.0f);
    EXPECT_EQ(0xFFFF7F00u, device.clearColor);

    // Bit 0 set, or the clear colour disabled: depth only, the image stays.
    device.backBuffer.assign(device.backBuffer.size(), 0x11);
    device.EnableClearColor(true);
    EXPECT_TRUE(device.Clear(1));
    EXPECT_EQ(0x11111111u, device.BackBufferPixel(3, 1));
    device.EnableClearColor(false);
    EXPECT_TRUE(device.Clear(0));
    EXPECT_EQ(0x11111111u, device.BackBufferPixel(3, 1));
    device.EnableClearColor(true);
    EXPECT_TRUE(device.Clear(2));
    EXPECT_EQ(0xFFFF7F00u, device.BackBufferPixel(3, 1));
    // On 16-bit displays the colour is stored as the display packs it: (255, 127, 0) is
    // 31 << 11 | 31 << 5 in 5-6-5 and 31 << 10 | 15 << 5 in 5-5-5.
    for (const auto& [redMask, packed] : {std::pair{0xF800u, 0xFBE0u}, std::pair{0x7C00u, 0x7DE0u}}) {
        RecordingDevice narrow;
        narrow.SetRedMaskForTest(redMask);
        narrow.Open(4, 2, 16);
        narrow.SetClearColor(1.0f, 0.5f, 0.0f);
        narrow.EnableClearColor(true);
        narrow.Clear(0);
        EXPECT_EQ(packed, narrow.BackBufferPixel(3, 1)) << std::hex << redMask;
    }

    // A second Init changes nothing, whatever it asks for.
    EXPECT_TRUE(device.Init(nullptr, true, 800, 600, 16));
    EXPECT_EQ(4, device.GetWidth());
    EXPECT_EQ(2, device.GetHeight());
    EXPECT_EQ(32, device.GetBitsPerPixel());
    EXPECT_FALSE(device.IsFullScreen());
    EXPECT_FLOAT_EQ(0.5f, device.GetAspect());

    // Lights keep 800 times the range given and report it back undivided.
    LightRecord light;
    light.x = 1;
    light.y = 2;
    light.z = 3;
    light.range = 2.0f;
    light.r = 0.25f;
    device.SetLight(3, light);
    LightRecord back;
    device.GetLight(3, back);
    EXPECT_FLOAT_EQ(1600.0f, back.range);
    EXPECT_FLOAT_EQ(3.0f, back.z);
    EXPECT_FLOAT_EQ(0.25f, back.r);
}

TEST(RecordingDeviceTest, VisibilityTestsLeaveTheStateTheyDrewWith)
{
    RecordingDevice device;
    device.Open(640, 480, 32);
    SetUpCamera(device);
    device.EnableDepth(false);
    device.SetAlphaOp(0, AlphaOp::Modulate);

    // Off screen: nothing is drawn, nothing changes.
    device.ClearCalls();
    EXPECT_FALSE(device.IsPointVisible(100, 0, 0));
    EXPECT_EQ((std::vector<Op>{Op::IsPointVisible}), device.Ops());

    // Visible: the point was drawn with the diffuse colour, alpha off, depth on.
    EXPECT_TRUE(device.IsPointVisible(0, 0, 0));
    EXPECT_EQ(ColorOp::SelectArg1, device.stages[0].colorOp);
    EXPECT_EQ(ColorArg::Diffuse, device.stages[0].colorArg1);
    EXPECT_EQ(AlphaOp::Disable, device.stages[0].alphaOp);
    EXPECT_TRUE(device.depthTest);

    // Hidden: colour argument 1 goes back to the texture.
    device.SetPointsVisibleForTest(false);
    EXPECT_FALSE(device.IsPointVisible(0, 0, 0));
    EXPECT_EQ(ColorArg::Texture, device.stages[0].colorArg1);

    TransformedVertex point{};
    uint32_t result = 7;
    device.EnableDepth(false);
    device.ArePointsVisible(&point, &result, 1);
    EXPECT_EQ(kPointHidden, result);
    EXPECT_EQ(ColorArg::Diffuse, device.stages[0].colorArg1);
    EXPECT_TRUE(device.depthTest);
}

TEST(RecordingDeviceTest, CallsCarryTypedArgumentsAndRefuseAWrongType)
{
    RecordingDevice device;
    device.Open();
    device.ClearCalls();
    device.SetSrcBlend(BlendFactor::SrcAlpha);
    device.SetColorArg2(1, ColorArg::Current);
    const Vertex quad[3] = {};
    device.Draw(PrimitiveType::TriangleFan, quad, 3);

    EXPECT_EQ(device.Last(Op::SetSrcBlend)->As<BlendFactor>(), BlendFactor::SrcAlpha);
    const StageArgs& stage = device.Last(Op::SetColorArg2)->As<StageArgs>();
    EXPECT_EQ(stage.stage, 1);
    EXPECT_EQ(stage.colorArg, ColorArg::Current);
    EXPECT_EQ(device.Last(Op::Draw)->Draw().primitive, PrimitiveType::TriangleFan);
    EXPECT_EQ(device.Last(Op::Draw)->Vertices().size(), 3u);
    // Reading the arguments as another type fails loudly instead of giving zeros.
    EXPECT_THROW(device.Last(Op::SetSrcBlend)->As<CullMode>(), std::bad_variant_access);
    EXPECT_EQ(device.Last(Op::SetCullMode), nullptr);
    EXPECT_EQ(device.Find(Op::Draw), 2u);
    EXPECT_EQ(device.Find(Op::Draw, 3), device.calls.size());
    // Names print as the interface spells them, companions with their class.
    EXPECT_STREQ(OpName(Op::SetColorArg2), "SetColorArg2");
    EXPECT_STREQ(OpName(Op::SurfaceDraw), "Surface::Draw");
    EXPECT_STREQ(OpName(Op::VertexBufferDraw), "VertexBuffer::Draw");
}

TEST(RenderDeviceTest, QueuedReadBacksComeBackOldestFirstAsReadBackBufferGivesThem)
{
    for (int bits : {32, 16}) {
        SCOPED_TRACE(bits);
        RecordingDevice device;
        std::vector<uint8_t> rgb{9};
        EXPECT_FALSE(device.TakeReadBack(rgb, true));  // nothing queued: untouched
        EXPECT_EQ(rgb, std::vector<uint8_t>{9});
        device.Open(4, 2, bits);
        device.EnableClearColor(true);
        device.SetClearColor(1.0f, 0.0f, 0.0f);
        device.Clear(0);
        const std::vector<uint8_t> red = device.ReadBackBuffer();
        ASSERT_EQ(red.size(), 4u * 2u * 3u);
        EXPECT_EQ(red[0], 0xFF);
        EXPECT_EQ(red[1], 0x00);
        device.QueueReadBack();
        device.SetClearColor(0.0f, 0.0f, 1.0f);
        device.Clear(0);
        device.QueueReadBack();
        EXPECT_EQ(device.GetQueuedReadBacks(), 2u);
        ASSERT_TRUE(device.TakeReadBack(rgb, false));
        EXPECT_EQ(rgb, red);  // the frame as it was when queued, not as it is now
        ASSERT_TRUE(device.TakeReadBack(rgb, false));
        EXPECT_EQ(rgb, device.ReadBackBuffer());
        EXPECT_EQ(rgb[2], 0xFF);
        EXPECT_FALSE(device.TakeReadBack(rgb, false));
        EXPECT_EQ(device.GetQueuedReadBacks(), 0u);
    }
}
