// Motion arithmetic: the median, chroma vectors, the rounding of half-sample
// interpolation, the zoom plane, the spiral order of the integer search and the filled
// border of a plane.

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "dsp/dsp.h"
#include "dsp/motion_vector.h"

namespace {

TEST(MotionVectorTest, Median) {
    const struct {
        int32_t a, b, c, median;
    } cases[] = {{1, 1, 5, 1},  {-3, 7, 2, 2}, {9, 9, 9, 9},    {5, -1, 0, 0},
                 {0, 5, -1, 0}, {-1, 0, 5, 0}, {-32, 31, 0, 0}, {100, 50, 75, 75},
                 {2, 2, -7, 2}, {-7, 2, 2, 2}, {2, -7, 2, 2},   {-2048, 2047, -2048, -2048}};
    for (const auto& c : cases)
        EXPECT_EQ(dsp::median3(c.a, c.b, c.c), c.median) << c.a << " " << c.b << " " << c.c;
}

TEST(MotionVectorTest, ChromaVectors) {
    const struct {
        int32_t v, one;
    } ones[] = {{0, 0}, {1, 1}, {2, 1}, {3, 1}, {4, 2}, {5, 3}, {-3, -1}, {-5, -3}, {-8, -4}};
    for (const auto& c : ones) EXPECT_EQ(dsp::chromaFromOneVector(c.v), c.one) << c.v;
    const struct {
        int32_t sum, four;
    } fours[] = {{0, 0},  {2, 0},  {3, 1},  {13, 1},   {14, 2},
                 {16, 2}, {17, 2}, {30, 4}, {-30, -4}, {-3, -1}};
    for (const auto& c : fours) EXPECT_EQ(dsp::chromaFromFourVectors(c.sum), c.four) << c.sum;
}

// The plain table and the one of this machine.
std::vector<dsp::Kernels> plainAndMachineTables() {
    dsp::Kernels plain;
    dsp::dspInit(0, &plain);
    return {plain, dsp::kernels()};
}

TEST(InterpolationTest, RoundingTypes) {
    // Two columns of 10 and 11 (and rows below of 11 and 12).
    uint8_t src[17 * 32];
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 32; ++x) src[y * 32 + x] = uint8_t(10 + (x & 1) + (y & 1));
    const struct {
        int mode, rounding, expected;
    } cases[] = {
        {dsp::kFull, 0, 10},  {dsp::kHalfX, 0, 11},  {dsp::kHalfX, 1, 10},  {dsp::kHalfY, 0, 11},
        {dsp::kHalfY, 1, 10}, {dsp::kHalfXY, 0, 11}, {dsp::kHalfXY, 1, 11},
    };
    for (const dsp::Kernels& k : plainAndMachineTables()) {
        for (int size : {dsp::kSize16, dsp::kSize8}) {
            for (const auto& c : cases) {
                uint8_t dst[16 * 16];
                std::memset(dst, 0, sizeof dst);
                k.mc.interpolate[size][c.mode](dst, 16, src, 32, c.rounding);
                EXPECT_EQ(dst[0], c.expected) << "mode " << c.mode << " rounding " << c.rounding;
            }
        }
        // (10 + 11 + 11 + 12 + 2 - 1) >> 2 = 11 and (10 + 11 + 10 + 11 + 2 - 1) >> 2 = 10.
        uint8_t flat[9 * 16];
        for (int i = 0; i < 9 * 16; ++i) flat[i] = uint8_t(10 + (i & 1));
        uint8_t dst[8 * 8];
        k.mc.interpolate[dsp::kSize8][dsp::kHalfXY](dst, 8, flat, 16, 1);
        EXPECT_EQ(dst[0], 10);
        k.mc.interpolate[dsp::kSize8][dsp::kHalfXY](dst, 8, flat, 16, 0);
        EXPECT_EQ(dst[0], 11);
    }
}

TEST(InterpolationTest, ZoomPlaneFollowsTheInterpolationRules) {
    const uint8_t s[2 * 3] = {10, 20, 31, 40, 50, 61};  // 3 x 2 plane
    const uint8_t expected[6 * 4] = {
        10, 15, 20, 26, 31, 31,  // even row: samples and horizontal means, last column repeated
        25, 30, 35, 41, 46, 46,  // odd row: vertical means and four-sample means
        40, 45, 50, 56, 61, 61,  // last row
        40, 45, 50, 56, 61, 61,  // its odd row copies it
    };
    for (const dsp::Kernels& k : plainAndMachineTables()) {
        uint8_t z[6 * 4];
        k.mc.buildZoom(s, 3, 2, z, 0);
        for (int i = 0; i < 24; ++i) EXPECT_EQ(z[i], expected[i]) << i;
    }
}

TEST(SearchTest, SpiralOrderWalksEachRingFromItsBottomRightCorner) {
    const std::vector<dsp::SpiralStep> order = dsp::spiralOrder(8);
    ASSERT_EQ(order.size(), 8u * (1 + 8) / 2 * 8);  // 8i positions in ring i
    const int ring1[8][2] = {{1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}, {1, 0}};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(order[k].dx, ring1[k][0]) << k;
        EXPECT_EQ(order[k].dy, ring1[k][1]) << k;
    }
    // Ring 2 starts at (2, 2) and goes left first; ring 8 ends just below its start.
    EXPECT_EQ(order[8].dx, 2);
    EXPECT_EQ(order[9].dx, 1);
    EXPECT_EQ(order[9].dy, 2);
    EXPECT_EQ(order.back().dx, 8);
    EXPECT_EQ(order.back().dy, 7);
}

TEST(BorderTest, EdgeSamplesFillTheBorder) {
    // A 3 x 2 plane with a border of 2: stride 7, 6 rows.
    const int width = 3, height = 2, border = 2, stride = width + 2 * border;
    std::vector<uint8_t> buffer(static_cast<size_t>(stride) * (height + 2 * border), 0);
    uint8_t* origin = buffer.data() + border * stride + border;
    const uint8_t plane[2][3] = {{1, 2, 3}, {4, 5, 6}};
    for (int y = 0; y < height; ++y) std::memcpy(origin + y * stride, plane[y], width);
    dsp::fillPlaneBorder(origin, stride, width, height, border);
    const uint8_t expected[6][7] = {
        {1, 1, 1, 2, 3, 3, 3}, {1, 1, 1, 2, 3, 3, 3}, {1, 1, 1, 2, 3, 3, 3},
        {4, 4, 4, 5, 6, 6, 6}, {4, 4, 4, 5, 6, 6, 6}, {4, 4, 4, 5, 6, 6, 6},
    };
    EXPECT_EQ(std::memcmp(buffer.data(), expected, sizeof expected), 0);
}

}  // namespace
