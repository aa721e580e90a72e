#pragma once
// Motion-vector arithmetic both codecs share: the median of the vector predictor and the
// rounding of chroma vectors.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace dsp {

// Median of three candidates.
inline int32_t median3(int32_t a, int32_t b, int32_t c) {
    return std::max(std::min(a, b), std::min(std::max(a, b), c));
}

// Chroma vector component (in half samples) of one luma vector component: the component
// halved, any fraction of a chroma sample becoming a half sample.
inline int32_t chromaFromOneVector(int32_t v) {
    constexpr int32_t kRound[4] = {0, 1, 1, 1};  // by |v| mod 4
    const int32_t a = std::abs(v);
    const int32_t c = kRound[a % 4] + 2 * (a / 4);
    return v < 0 ? -c : c;
}

// Chroma vector component of the sum of the four block vectors of a macroblock: the sum
// divided by 8, its fraction rounded to 0, a half or a whole sample.
inline int32_t chromaFromFourVectors(int32_t sum) {
    constexpr int32_t kRound[16] = {0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2};
    const int32_t a = std::abs(sum);
    const int32_t c = kRound[a % 16] + 2 * (a / 16);
    return sum < 0 ? -c : c;
}

}  // namespace dsp
