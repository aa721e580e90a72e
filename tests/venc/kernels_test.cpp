// Encoder kernels: the faster variants give exactly the plain kernels' results on random
// data, and the transforms are within one of the orthonormal DCT.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <random>
#include <vector>

#include "venc/enc_kernels.h"

namespace {

constexpr unsigned kSeed = 0x5eed1234;

struct Variant {
    const char* name;
    EncKernels kernels;
};

std::vector<Variant> fastVariants() {
    std::vector<Variant> v;
    EncKernels sse2;
    encInitKernels(&sse2, kEncCpuSse2, 1);
    if (encCpuFlags() & kEncCpuSse2) v.push_back({"sse2", sse2});
    EncKernels avx2;
    encInitKernels(&avx2, kEncCpuSse2 | kEncCpuAvx2, 1);
    if ((encCpuFlags() & kEncCpuAvx2) && (encCpuFlags() & kEncCpuSse2)) v.push_back({"avx2", avx2});
    return v;
}

TEST(KernelTest, ThisMachineHasAFastVariant) {
    // Every machine we target has SSE2; without it the comparisons below would test nothing.
    EXPECT_FALSE(fastVariants().empty());
}

TEST(KernelTest, SadVariantsMatchThePlainKernel) {
    std::mt19937 rng(kSeed);
    const int stride = 208;
    std::vector<uint8_t> ref(stride * 40), cur(256);
    for (const Variant& v : fastVariants()) {
        for (int trial = 0; trial < 2000; ++trial) {
            const int spread = 1 + static_cast<int>(rng() % 255);
            for (auto& b : ref) b = static_cast<uint8_t>(rng() % spread);
            for (auto& b : cur) b = static_cast<uint8_t>(rng() % spread);
            const int offset = static_cast<int>(rng() % (stride * 20));
            const int limits[] = {INT_MAX, -129, 0, static_cast<int>(rng() % 20000),
                                  static_cast<int>(rng() % 500)};
            for (int limit : limits) {
                ASSERT_EQ(v.kernels.sad16(cur.data(), ref.data() + offset, stride, limit),
                          encSad16Plain(cur.data(), ref.data() + offset, stride, limit))
                    << v.name << " seed " << kSeed << " trial " << trial << " limit " << limit;
                ASSERT_EQ(v.kernels.zoomSad16(cur.data(), ref.data() + offset, stride / 2, limit),
                          encZoomSad16Plain(cur.data(), ref.data() + offset, stride / 2, limit))
                    << v.name << " seed " << kSeed << " trial " << trial << " limit " << limit;
            }
        }
    }
}

TEST(KernelTest, SpiralOrderWalksEachRingFromItsBottomRightCorner) {
    const std::vector<EncSpiralStep> order = encSpiralOrder(8);
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

TEST(KernelTest, SpiralSearchVariantsMatchThePlainKernel) {
    std::mt19937 rng(kSeed);
    const int width = 64, height = 48, stride = width + 32;
    std::vector<uint8_t> plane(static_cast<size_t>(stride) * (height + 32));
    std::vector<uint8_t> cur(256);
    const uint8_t* origin = plane.data() + 16 * stride + 16;
    const std::vector<EncSpiralStep> order = encSpiralOrder(8);
    for (const Variant& v : fastVariants()) {
        for (int trial = 0; trial < 300; ++trial) {
            // Smooth content with noise, so that the search finds varied minima and ties.
            const int noise = 1 + static_cast<int>(rng() % 40);
            for (size_t i = 0; i < plane.size(); ++i)
                plane[i] =
                    static_cast<uint8_t>((i % stride) * 3 + (i / stride) * 2 + rng() % noise);
            const int column = static_cast<int>(rng() % 4), row = static_cast<int>(rng() % 3);
            const int sx = 16 * column + static_cast<int>(rng() % 9) - 4;
            const int sy = 16 * row + static_cast<int>(rng() % 9) - 4;
            for (int r = 0; r < 16; ++r)
                for (int c = 0; c < 16; ++c)
                    cur[r * 16 + c] = static_cast<uint8_t>(std::min(
                        255, origin[(sy + r) * stride + sx + c] + static_cast<int>(rng() % 3)));
            const int start = static_cast<int>(rng() % 3000) - 129;
            int bestPlain = start, xPlain = 16 * column, yPlain = 16 * row;
            int bestFast = start, xFast = xPlain, yFast = yPlain;
            const EncSearchArea area = {
                order.data(), static_cast<int>(order.size()), 16 * column, 16 * row, width, height};
            encSpiralSearchPlain(cur.data(), origin, stride, area, &bestPlain, &xPlain, &yPlain);
            v.kernels.spiralSearch(cur.data(), origin, stride, area, &bestFast, &xFast, &yFast);
            ASSERT_EQ(bestFast, bestPlain) << v.name << " seed " << kSeed << " trial " << trial;
            ASSERT_EQ(xFast, xPlain) << v.name << " seed " << kSeed << " trial " << trial;
            ASSERT_EQ(yFast, yPlain) << v.name << " seed " << kSeed << " trial " << trial;
            ASSERT_EQ(v.kernels.activity16(cur.data()), encActivity16Plain(cur.data()))
                << v.name << " seed " << kSeed << " trial " << trial;
        }
    }
}

TEST(KernelTest, QuantiserVariantsMatchThePlainKernels) {
    std::mt19937 rng(kSeed);
    EncQuantMatrix inter;
    int weights[64];
    for (int i = 0; i < 64; ++i) weights[i] = 16 + i / 3;
    encBuildQuantMatrix(weights, &inter);
    for (const Variant& v : fastVariants()) {
        for (int trial = 0; trial < 5000; ++trial) {
            int16_t coef[64], plain[64], fast[64];
            // Mostly the range of residual transforms, sometimes far beyond it.
            const int range = trial % 10 == 0 ? 32767 : (trial % 2 ? 2100 : 60);
            const int sparse = static_cast<int>(rng() % 4);
            for (auto& c : coef)
                c = static_cast<int16_t>(rng() % 4 < static_cast<unsigned>(sparse)
                                             ? 0
                                             : static_cast<int>(rng() % (2 * range + 1)) - range);
            const int qp = 1 + static_cast<int>(rng() % 31);
            const bool anyPlain = encQuantInterMpegPlain(coef, plain, qp, &inter);
            const bool anyFast = v.kernels.quantInter(coef, fast, qp, &inter);
            ASSERT_EQ(anyFast, anyPlain) << v.name << " seed " << kSeed << " trial " << trial;
            ASSERT_EQ(std::vector<int16_t>(fast, fast + 64),
                      std::vector<int16_t>(plain, plain + 64))
                << v.name << " qp " << qp << " seed " << kSeed << " trial " << trial;
            // Dequantisation of those levels, and of levels beyond what the quantiser makes.
            int16_t plainCoef[64], fastCoef[64];
            if (trial % 7 == 0) plain[static_cast<int>(rng() % 64)] = static_cast<int16_t>(rng());
            encDequantInterMpegPlain(plain, plainCoef, qp, &inter);
            v.kernels.dequantInter(plain, fastCoef, qp, &inter);
            ASSERT_EQ(std::vector<int16_t>(fastCoef, fastCoef + 64),
                      std::vector<int16_t>(plainCoef, plainCoef + 64))
                << v.name << " qp " << qp << " seed " << kSeed << " trial " << trial;
        }
    }
}

TEST(KernelTest, ZoomFrameVariantsMatchThePlainKernel) {
    std::mt19937 rng(kSeed);
    const int sizes[][2] = {{208, 176}, {160, 128}, {17, 5}, {33, 3}, {48, 48}, {1, 1}, {16, 2}};
    for (const Variant& v : fastVariants()) {
        for (const auto& size : sizes) {
            const int w = size[0], h = size[1];
            std::vector<uint8_t> plane(static_cast<size_t>(w) * h);
            for (auto& b : plane) b = static_cast<uint8_t>(rng());
            std::vector<uint8_t> fast(4 * plane.size(), 0xAA), plain(4 * plane.size(), 0x55);
            v.kernels.buildZoom(plane.data(), w, h, fast.data(), 0);
            encBuildZoomPlain(plane.data(), w, h, plain.data(), 0);
            ASSERT_EQ(fast, plain) << v.name << " " << w << "x" << h << " seed " << kSeed;
        }
    }
}

TEST(KernelTest, ZoomFrameFollowsTheInterpolationRules) {
    const uint8_t s[2 * 3] = {10, 20, 31, 40, 50, 61};  // 3 x 2 plane
    uint8_t z[6 * 4];
    encBuildZoomPlain(s, 3, 2, z, 0);
    const uint8_t expected[6 * 4] = {
        10, 15, 20, 26, 31, 31,  // even row: samples and horizontal means, last column repeated
        25, 30, 35, 41, 46, 46,  // odd row: vertical means and four-sample means
        40, 45, 50, 56, 61, 61,  // last row
        40, 45, 50, 56, 61, 61,  // its odd row copies it
    };
    for (int i = 0; i < 24; ++i) EXPECT_EQ(z[i], expected[i]) << i;
}

double basis(int k, int n) {
    const double c = k == 0 ? std::sqrt(0.125) : 0.5;
    return c * std::cos((2 * n + 1) * k * M_PI / 16);
}

TEST(KernelTest, ForwardDctIsWithinOneOfTheOrthonormalDct) {
    std::mt19937 rng(kSeed);
    std::vector<Variant> variants = fastVariants();
    EncKernels plain;
    encInitKernels(&plain, 0, 1);
    variants.push_back({"plain", plain});
    for (int trial = 0; trial < 3000; ++trial) {
        int16_t in[64], out[64], ref[64];
        const bool residual = trial % 2;
        for (auto& x : in)
            x = static_cast<int16_t>(residual ? static_cast<int>(rng() % 511) - 255
                                              : static_cast<int>(rng() % 256));
        encFdctPlain(in, ref);
        for (int u = 0; u < 8; ++u)
            for (int v = 0; v < 8; ++v) {
                double sum = 0;
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) sum += in[y * 8 + x] * basis(u, y) * basis(v, x);
                ASSERT_LE(std::fabs(ref[u * 8 + v] - sum), 1.0)
                    << "seed " << kSeed << " trial " << trial;
            }
        for (const Variant& v : variants) {
            v.kernels.fdct(in, out);
            ASSERT_EQ(std::vector<int16_t>(out, out + 64), std::vector<int16_t>(ref, ref + 64))
                << v.name << " seed " << kSeed << " trial " << trial;
        }
    }
}

TEST(KernelTest, InverseDctIsWithinOneOfTheOrthonormalInverse) {
    std::mt19937 rng(kSeed);
    for (int trial = 0; trial < 3000; ++trial) {
        // Coefficients as dequantisation leaves them: a few large low frequencies, small
        // high ones.
        int16_t in[64];
        for (int i = 0; i < 64; ++i) {
            const int range = i == 0 ? 2040 : (i < 10 ? 600 : 60);
            in[i] = static_cast<int16_t>(static_cast<int>(rng() % (2 * range + 1)) - range);
        }
        int32_t out[64];
        encIdctPlain(in, out);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                double sum = 0;
                for (int u = 0; u < 8; ++u)
                    for (int v = 0; v < 8; ++v) sum += in[u * 8 + v] * basis(u, y) * basis(v, x);
                ASSERT_LE(std::fabs(out[y * 8 + x] - sum), 1.0)
                    << "seed " << kSeed << " trial " << trial;
            }
    }
}

}  // namespace
