// Test helper: compares captured 0xRRGGBB pixels channel by channel with a tolerance.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <gtest/gtest.h>

inline ::testing::AssertionResult PixelNear(uint32_t actual, uint32_t expected, int tolerance)
{
    for (int shift : {16, 8, 0}) {
        const int a = (actual >> shift) & 0xFF, e = (expected >> shift) & 0xFF;
        if (std::abs(a - e) > tolerance)
            return ::testing::AssertionFailure() << std::hex << "pixel 0x" << actual << " expected 0x" << expected;
    }
    return ::testing::AssertionSuccess();
}
