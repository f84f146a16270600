// rand and srand of the web build: the desktop C library's sequence, so that a seed gives
// the same flicker, particles and layer names in the browser as on the desktop (the
// browser's C library would give another sequence).
#include "engine/core/AdditiveFeedbackRandom.h"

namespace {

AdditiveFeedbackRandom& Generator()
{
    static AdditiveFeedbackRandom generator(1);
    return generator;
}

}  // namespace

extern "C" void srand(unsigned seed)
{
    Generator().Seed(seed);
}

extern "C" int rand()
{
    return Generator().Next();
}
