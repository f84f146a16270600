// The pseudo-random generator of the desktop's C library (an additive feedback generator
// over 34 words seeded by a Lehmer sequence), for platforms whose C library has another.
#pragma once
#include <cstdint>

class AdditiveFeedbackRandom {
public:
    explicit AdditiveFeedbackRandom(unsigned seed = 1) { Seed(seed); }

    // The sequence srand(seed) starts (seed 0 counts as 1).
    void Seed(unsigned seed)
    {
        int32_t word = seed == 0 ? 1 : static_cast<int32_t>(seed);
        words_[0] = word;
        for (int i = 1; i < 31; ++i) {
            // 16807 * word mod (2^31 - 1) without overflow (Schrage's method).
            const int32_t high = word / 127773;
            const int32_t low = word % 127773;
            word = 16807 * low - 2836 * high;
            if (word < 0) word += 2147483647;
            words_[i] = word;
        }
        for (int i = 31; i < 34; ++i) words_[i] = words_[i - 31];
        oldest_ = 0;
        for (int i = 34; i < 344; ++i) Next();
    }

    // The next value of rand(): 0 to 2^31 - 1.
    int32_t Next()
    {
        // words_[oldest_] is word i-34; the new word i is word (i-31) + word (i-3).
        const uint32_t value = static_cast<uint32_t>(words_[(oldest_ + 3) % 34]) +
                               static_cast<uint32_t>(words_[(oldest_ + 31) % 34]);
        words_[oldest_] = static_cast<int32_t>(value);
        oldest_ = (oldest_ + 1) % 34;
        return static_cast<int32_t>(value >> 1);
    }

private:
    int32_t words_[34] = {};
    int oldest_ = 0;
};
