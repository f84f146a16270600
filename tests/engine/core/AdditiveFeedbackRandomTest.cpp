// The web build's rand must give the desktop C library's sequence for every seed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/core/AdditiveFeedbackRandom.h"

TEST(AdditiveFeedbackRandom, GivesTheCLibrarySequenceForEverySeed)
{
    // Seed 0 (taken as 1), small, large and the largest seed; long enough to wrap the
    // 34-word state many times.
    for (unsigned seed : {0u, 1u, 2u, 7u, 12345u, 2147483647u, 2147483648u, 4294967295u}) {
        std::srand(seed);
        AdditiveFeedbackRandom generator(seed);
        for (int i = 0; i < 20000; ++i)
            ASSERT_EQ(generator.Next(), std::rand()) << "seed " << seed << ", value " << i;
    }
}

TEST(AdditiveFeedbackRandom, ReseedingRestartsTheSequence)
{
    AdditiveFeedbackRandom generator(99);
    const int first = generator.Next();
    generator.Next();
    generator.Seed(99);
    EXPECT_EQ(generator.Next(), first);
    EXPECT_NE(AdditiveFeedbackRandom(98).Next(), first);
}
