// The OpenGL device's measured spans: fragments counted per span, in order, batches split at the edges.
#include <chrono>
#include "support/GLTestSupport.h"

namespace {

std::vector<RenderDevice::MeasuredSpan> TakeAll(GLDevice& device)
{
    std::vector<RenderDevice::MeasuredSpan> spans;
    device.TakeMeasures(spans, true);
    return spans;
}

}  // namespace

TEST(GLDeviceMeasure, SpansCountTheFragmentsOfTheirOwnDrawsInOrder)
{
    auto device = MakeTestDevice(64, 48);
    const RenderDevice::MeasureSupport support = device->GetMeasureSupport();
    ASSERT_TRUE(support.samples) << "a 3.3 core context counts samples";

    // Drawn before any span and still in the batch when the first span opens: not counted.
    DrawQuad(*device, 0, 0, 10, 10, 0.5f, 0xFFFF0000u);
    device->BeginMeasure(7);
    DrawQuad(*device, 0, 0, 10, 20, 0.5f, 0xFF00FF00u);  // 200 pixels
    // A second Begin ends the first span; its draws stay with it.
    device->BeginMeasure(8);
    device->EndMeasure();  // nothing drawn: 0
    device->BeginMeasure(9);
    DrawQuad(*device, 0, 0, 64, 48, 0.5f, 0x800000FFu);  // the whole screen, blended
    DrawQuad(*device, 60, 40, 70, 50, 0.5f, 0xFFFFFFFFu);  // 4 x 8 of it on screen
    device->EndMeasure();
    // Drawn after the last span: not counted either.
    DrawQuad(*device, 0, 0, 64, 48, 0.5f, 0xFFFFFFFFu);
    device->EndScene();

    const auto spans = TakeAll(*device);
    ASSERT_EQ(spans.size(), 3u);
    EXPECT_EQ(spans[0].tag, 7u);
    EXPECT_EQ(spans[0].samples, 200u);
    EXPECT_EQ(spans[1].tag, 8u);
    EXPECT_EQ(spans[1].samples, 0u);
    EXPECT_EQ(spans[2].tag, 9u);
    EXPECT_EQ(spans[2].samples, 64u * 48u + 32u);
    for (const auto& span : spans)
        EXPECT_GE(span.gpuSeconds, 0.0);
    // Taken once: nothing comes back a second time, and End without Begin adds nothing.
    device->EndMeasure();
    EXPECT_TRUE(TakeAll(*device).empty());

    // Later spans reuse the query objects of the taken ones and count as truly.
    for (int round = 0; round < 3; ++round) {
        device->BeginMeasure(10);
        DrawQuad(*device, 0, 0, 5, 5, 0.5f, 0xFFFFFFFFu);
        device->BeginMeasure(11);
        DrawQuad(*device, 0, 0, 3, 4, 0.5f, 0xFFFFFFFFu);
        device->EndMeasure();
        const auto again = TakeAll(*device);
        ASSERT_EQ(again.size(), 2u);
        EXPECT_EQ(again[0].samples, 25u) << "round " << round;
        EXPECT_EQ(again[1].samples, 12u) << "round " << round;
    }
}

TEST(GLDeviceMeasure, DepthRejectedFragmentsAreNotCountedAndUnwaitedTakesComeInEventually)
{
    auto device = MakeTestDevice(32, 32);
    device->EnableDepth(true);
    device->SetDepthFunc(CompareFunc::Less);
    DrawQuad(*device, 0, 0, 32, 32, 0.2f, 0xFFFF0000u);
    device->BeginMeasure(1);
    DrawQuad(*device, 0, 0, 16, 32, 0.1f, 0xFF00FF00u);  // in front: 512 pass
    DrawQuad(*device, 16, 0, 32, 32, 0.9f, 0xFF0000FFu);  // behind: none pass
    device->EndMeasure();

    // Bounded by time, not by a number of polls: on a busy machine the renderer's threads
    // may take a while to get to the drawing.
    std::vector<RenderDevice::MeasuredSpan> spans;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (spans.empty() && std::chrono::steady_clock::now() < deadline)
        device->TakeMeasures(spans, false);
    ASSERT_EQ(spans.size(), 1u);
    EXPECT_EQ(spans[0].samples, 512u);
}
