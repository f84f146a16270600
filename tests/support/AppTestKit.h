// Shared helpers of the application tests: a small font sheet and a fixed-step clock around each test.
#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Application.h"
#include "app/DemoApplication.h"
#include "app/FixedStepClock.h"
#include "engine/core/Clock.h"
#include "engine/core/File.h"
#include "support/RecordingDevice.h"
#include "support/TestImages.h"

// A font sheet of six rows of sixteen glyphs, each glyphWidth pixels wide.
inline std::string SmallFontSheet(int glyphWidth)
{
    int w = 0, h = 0;
    std::vector<std::vector<int>> rows(6, std::vector<int>(16, 3));
    std::vector<uint8_t> rgb = DrawFontSheet(glyphWidth, rows, w, h);
    return EncodePng(w, h, rgb);
}

// A demo application test on a fixed-step clock of 10 frames per second; the application
// goes before the clock is reset, and no posted quit, pin, rate or data folder outlives the test.
class FixedStepAppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearPostedQuitForTesting();
        ClockResetForTesting();
        ClockSetCounter(&counter_);
        ClockStart();
    }
    void TearDown() override
    {
        app_.reset();
        ClockUnpin();
        ClockSetRate(1.0f);
        ClockSetCounter(nullptr);
        ClockResetForTesting();
        ClearPostedQuitForTesting();
        SetDataFolder("");
    }

    FixedStepCounter counter_{10.0};
    std::unique_ptr<DemoApplication> app_;
    RecordingDevice* device_ = nullptr;
};
