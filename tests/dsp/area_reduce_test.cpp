// Area reduction: the factor and size choice, and the box means against a plain sum.

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "dsp/area_reduce.h"

namespace {

// Factor and reduced size for the sources and handset sizes that matter: up to twice the
// target nothing is reduced; beyond, the reduced size lies in [target, 2 x target) and is
// even, and its chroma half is what the same factor makes of the chroma plane.
TEST(AreaReduceTest, FactorLeavesBetweenOneAndTwoTimesTheTarget) {
    const int targets[] = {96, 128, 144, 160, 176, 82};
    for (int target : targets) {
        for (int input = 2; input <= 1920; ++input) {
            const int factor = dsp::areaReduceFactor(input, target);
            const int reduced = dsp::areaReducedSize(input, factor);
            if (input <= 2 * target) {
                ASSERT_EQ(factor, 1) << input << " -> " << target;
                ASSERT_EQ(reduced, input);
                continue;
            }
            ASSERT_GE(factor, 2) << input << " -> " << target;
            ASSERT_EQ(reduced % 2, 0);
            ASSERT_GE(reduced, target - (target & 1)) << input << " -> " << target;
            ASSERT_LT(reduced, 2 * target) << input << " -> " << target;
            ASSERT_EQ(reduced / 2, (input / 2) / factor) << input << " -> " << target;
            ASSERT_LE(reduced * factor, input);
        }
    }
    EXPECT_EQ(dsp::areaReduceFactor(1920, 176), 10);
    EXPECT_EQ(dsp::areaReducedSize(1920, 10), 192);
    EXPECT_EQ(dsp::areaReduceFactor(1080, 144), 7);
    EXPECT_EQ(dsp::areaReducedSize(1080, 7), 154);
}

// Every output sample is the rounded mean of its box (halves going up), over random
// planes, factors and strides; the input beyond the boxes is never read (sanitizers).
TEST(AreaReduceTest, BoxMeansOfRandomPlanes) {
    std::mt19937 rng(7);
    const struct {
        int fx, fy, outWidth, outHeight;
    } cases[] = {{1, 1, 9, 5}, {2, 2, 8, 6}, {3, 1, 7, 4},
                 {1, 4, 5, 3}, {7, 5, 4, 4}, {10, 7, 3, 2}};
    for (const auto& c : cases) {
        const int inStride = c.fx * c.outWidth + 3, inRows = c.fy * c.outHeight;
        std::vector<uint8_t> in(static_cast<size_t>(inStride) * inRows);
        for (auto& v : in) v = static_cast<uint8_t>(rng());
        const int outStride = c.outWidth + 2;
        std::vector<uint8_t> out(static_cast<size_t>(outStride) * c.outHeight, 0xEE);
        dsp::areaReducePlane(in.data(), inStride, out.data(), outStride, c.outWidth, c.outHeight,
                             c.fx, c.fy);
        for (int y = 0; y < c.outHeight; ++y) {
            for (int x = 0; x < c.outWidth; ++x) {
                int sum = 0;
                for (int j = 0; j < c.fy; ++j)
                    for (int i = 0; i < c.fx; ++i)
                        sum += in[static_cast<size_t>(y * c.fy + j) * inStride + x * c.fx + i];
                const int area = c.fx * c.fy;
                ASSERT_EQ(out[y * outStride + x], (sum + area / 2) / area)
                    << c.fx << "x" << c.fy << " at " << x << "," << y;
            }
            for (int x = c.outWidth; x < outStride; ++x) ASSERT_EQ(out[y * outStride + x], 0xEE);
        }
    }
    // Halves go up: a box of 0 and 1 gives 1; of 254 and 255 gives 255.
    const uint8_t pair[] = {0, 1, 254, 255};
    uint8_t two[2];
    dsp::areaReducePlane(pair, 4, two, 2, 2, 1, 2, 1);
    EXPECT_EQ(two[0], 1);
    EXPECT_EQ(two[1], 255);
}

}  // namespace
