// Test helper: compares captured 0xRRGGBB pixels channel by channel with a tolerance.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <gtest/gtest.h>

inline ::testing::AssertionResult PixelNear(uint32_t actual, uint32_t expected, int tolerance)
{
    for (int shift : {16, 8, 0}) {
        const int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
        if (std::abs(a - e) > tolerance) {
            // AssertionResult streams each value on its own, so std::hex must act on one stream here.
            std::ostringstream text;
            text << std::hex << "pixel 0x" << actual << " expected 0x" << expected;
            return ::testing::AssertionFailure() << text.str();
        }
    }
    return ::testing::AssertionSuccess();
}
