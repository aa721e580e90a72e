// Every kernel of the tables against its plain version on the same random input, as
// dav1d's checkasm does: each table the machine can run is built next to the plain one and
// both are called on every block size and parameter, outputs compared byte for byte
// (including the bytes around a written block). A failure prints the seed;
// KINOLITE_TEST_SEED=<seed> repeats the run.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dsp/dsp.h"
#include "seeded_test.h"
#include "tables/std_tables.h"

namespace {

struct Variant {
    const char* name;
    dsp::Kernels k;
};

// The tables of the CPU feature sets this machine has, beyond the plain one.
std::vector<Variant> fastVariants() {
    const struct {
        const char* name;
        unsigned flags;
    } sets[] = {{"sse2", dsp::kCpuSse2}, {"avx2", dsp::kCpuSse2 | dsp::kCpuAvx2}};
    std::vector<Variant> variants;
    for (const auto& set : sets) {
        if ((dsp::cpuFlags() & set.flags) != set.flags) continue;
        Variant v{set.name, {}};
        dsp::dspInit(set.flags, &v.k);
        variants.push_back(v);
    }
    return variants;
}

class Checkasm : public dsp_test::SeededTest {
  protected:
    void fill(std::vector<uint8_t>& bytes) {
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(rng());
    }

    const std::vector<Variant> fast = fastVariants();
};

#if defined(__x86_64__) || defined(__i386__)
TEST_F(Checkasm, ThisMachineHasAFastVariant) {
    // Every x86 machine we target has SSE2; without it the comparisons test nothing.
    EXPECT_FALSE(fast.empty());
}
#endif

template <class T>
bool sameBytes(const T* a, const T* b, size_t count) {
    return std::memcmp(a, b, count * sizeof(T)) == 0;
}

TEST_F(Checkasm, ForwardDct) {
    for (const Variant& v : fast) {
        for (int trial = 0; trial < 4000; ++trial) {
            // Samples or residuals, every eighth block only the extremes of the range.
            const int lo = trial % 2 ? -255 : 0;
            alignas(16) int16_t in[64], a[64], b[64];
            for (int16_t& x : in)
                x = static_cast<int16_t>(trial % 8 < 2 ? (uniform(0, 1) ? 255 : lo)
                                                       : uniform(lo, 255));
            plain.tx.fdct(in, a);
            v.k.tx.fdct(in, b);
            ASSERT_TRUE(sameBytes(a, b, 64)) << v.name << " trial " << trial;
        }
    }
}

TEST_F(Checkasm, InverseDcts) {
    for (const Variant& v : fast) {
        for (int trial = 0; trial < 2000; ++trial) {
            // The decoder's transform takes anything dequantisation can give (up to a
            // saturated DC times the largest scaler); the encoder's takes the blocks its
            // own dequantisation makes: a few large low frequencies, small high ones.
            alignas(16) int32_t a[64], b[64];
            alignas(16) int16_t in[64];
            for (int i = 0; i < 64; ++i) {
                a[i] = b[i] = i == 0 ? uniform(-2048 * 46, 2047 * 46) : uniform(-2048, 2047);
                const int range = i == 0 ? 2040 : (i < 10 ? 600 : 60);
                in[i] = static_cast<int16_t>(trial % 4 ? uniform(-range, range) : 0);
            }
            in[0] = static_cast<int16_t>(uniform(-2040, 2040));
            // Now and then a DC whose row results leave 16 bits (the encoder's fast
            // transform hands those to the plain one).
            if (trial % 16 == 3) in[0] = static_cast<int16_t>(uniform(-32768, 32767));
            if (trial % 16 == 1) {
                // Around the edges of what the fast passes take: the DC at 2^18, the others
                // at the ends of 16 bits, and sometimes one step beyond.
                const int32_t edges[] = {-32768, 32767, -32769, 32768};
                for (int i = 1; i < 64; ++i) a[i] = edges[uniform(0, trial % 32 == 1 ? 3 : 1)];
                a[0] = (uniform(0, 1) ? 1 : -1) * ((1 << 18) + uniform(0, 1));
                std::memcpy(b, a, sizeof a);
            }
            plain.tx.idctRows16(a);
            v.k.tx.idctRows16(b);
            ASSERT_TRUE(sameBytes(a, b, 64)) << v.name << " idctRows16 trial " << trial;
            plain.tx.idctRows32(in, a);
            v.k.tx.idctRows32(in, b);
            ASSERT_TRUE(sameBytes(a, b, 64)) << v.name << " idctRows32 trial " << trial;
        }
    }
}

TEST_F(Checkasm, BlockStores) {
    const int strides[] = {8, 16, 208};
    for (const Variant& v : fast) {
        for (int stride : strides) {
            for (int trial = 0; trial < 500; ++trial) {
                // Residuals of ordinary size, and now and then far beyond 16 bits.
                const int range = trial % 5 == 0 ? 1 << 20 : 300;
                alignas(16) int32_t block[64];
                for (int32_t& x : block) x = uniform(-range, range);
                std::vector<uint8_t> a(static_cast<size_t>(stride) * 10), b;
                fill(a);
                b = a;
                const size_t offset = static_cast<size_t>(stride);  // one row of margin
                plain.tx.putBlock(block, a.data() + offset, stride);
                v.k.tx.putBlock(block, b.data() + offset, stride);
                ASSERT_EQ(a, b) << v.name << " putBlock stride " << stride << " trial " << trial;
                plain.tx.addBlock(block, a.data() + offset, stride);
                v.k.tx.addBlock(block, b.data() + offset, stride);
                ASSERT_EQ(a, b) << v.name << " addBlock stride " << stride << " trial " << trial;
            }
        }
    }
}

TEST_F(Checkasm, Interpolation) {
    const int srcStride = 48, dstStride = 40;
    std::vector<uint8_t> src(static_cast<size_t>(srcStride) * 24);
    for (const Variant& v : fast) {
        for (int size : {dsp::kSize16, dsp::kSize8}) {
            for (int mode = 0; mode < 4; ++mode) {
                for (int rounding = 0; rounding < 2; ++rounding) {
                    for (int trial = 0; trial < 50; ++trial) {
                        fill(src);
                        std::vector<uint8_t> a(static_cast<size_t>(dstStride) * 20), b;
                        fill(a);
                        b = a;
                        // Any source position whose block and its right and lower
                        // neighbours lie inside the buffer.
                        const uint8_t* s = src.data() + uniform(0, 6) * srcStride + uniform(0, 30);
                        uint8_t* da = a.data() + dstStride + 2;
                        uint8_t* db = b.data() + dstStride + 2;
                        plain.mc.interpolate[size][mode](da, dstStride, s, srcStride, rounding);
                        v.k.mc.interpolate[size][mode](db, dstStride, s, srcStride, rounding);
                        ASSERT_EQ(a, b)
                            << v.name << " size " << (size == dsp::kSize16 ? 16 : 8) << " mode "
                            << mode << " rounding " << rounding << " trial " << trial;
                    }
                }
            }
        }
    }
}

TEST_F(Checkasm, ZoomPlane) {
    const int sizes[][2] = {{208, 176}, {160, 128}, {17, 5}, {33, 3}, {48, 48}, {1, 1}, {16, 2}};
    for (const Variant& v : fast) {
        for (const auto& size : sizes) {
            for (int rounding = 0; rounding < 2; ++rounding) {
                const int w = size[0], h = size[1];
                std::vector<uint8_t> plane(static_cast<size_t>(w) * h);
                fill(plane);
                std::vector<uint8_t> a(4 * plane.size(), 0xAA), b(4 * plane.size(), 0x55);
                plain.mc.buildZoom(plane.data(), w, h, a.data(), rounding);
                v.k.mc.buildZoom(plane.data(), w, h, b.data(), rounding);
                ASSERT_EQ(a, b) << v.name << " " << w << "x" << h << " rounding " << rounding;
            }
        }
    }
}

TEST_F(Checkasm, Sad) {
    const int stride = 208;
    std::vector<uint8_t> ref(stride * 40), cur(256);
    for (const Variant& v : fast) {
        for (int trial = 0; trial < 2000; ++trial) {
            // Narrow spreads give small sums that meet the limits within the block.
            const int spread = uniform(1, 255);
            for (auto& x : ref) x = static_cast<uint8_t>(uniform(0, spread - 1));
            for (auto& x : cur) x = static_cast<uint8_t>(uniform(0, spread - 1));
            const uint8_t* r = ref.data() + uniform(0, stride * 20);
            const int limits[] = {INT_MAX, -129, 0, uniform(0, 19999), uniform(0, 499)};
            for (int limit : limits) {
                ASSERT_EQ(v.k.sad.sad16(cur.data(), r, stride, limit),
                          plain.sad.sad16(cur.data(), r, stride, limit))
                    << v.name << " trial " << trial << " limit " << limit;
                ASSERT_EQ(v.k.sad.zoomSad16(cur.data(), r, stride / 2, limit),
                          plain.sad.zoomSad16(cur.data(), r, stride / 2, limit))
                    << v.name << " trial " << trial << " limit " << limit;
            }
            ASSERT_EQ(v.k.sad.activity16(cur.data()), plain.sad.activity16(cur.data()))
                << v.name << " trial " << trial;
        }
    }
}

TEST_F(Checkasm, SpiralSearch) {
    const int width = 64, height = 48, stride = width + 32;
    std::vector<uint8_t> plane(static_cast<size_t>(stride) * (height + 32));
    std::vector<uint8_t> cur(256);
    const uint8_t* origin = plane.data() + 16 * stride + 16;
    for (int range : {1, 4, 8}) {
        const std::vector<dsp::SpiralStep> order = dsp::spiralOrder(range);
        for (const Variant& v : fast) {
            for (int trial = 0; trial < 200; ++trial) {
                // Smooth content with noise, so that the search finds varied minima and ties.
                const int noise = uniform(1, 40);
                for (size_t i = 0; i < plane.size(); ++i)
                    plane[i] = static_cast<uint8_t>((i % stride) * 3 + (i / stride) * 2 +
                                                    uniform(0, noise - 1));
                const int column = uniform(0, 3), row = uniform(0, 2);
                const int sx = 16 * column + uniform(-4, 4), sy = 16 * row + uniform(-4, 4);
                for (int r = 0; r < 16; ++r)
                    for (int c = 0; c < 16; ++c)
                        cur[r * 16 + c] = static_cast<uint8_t>(
                            std::min(255, origin[(sy + r) * stride + sx + c] + uniform(0, 2)));
                const int start = uniform(-129, 2870);
                int bestPlain = start, xPlain = 16 * column, yPlain = 16 * row;
                int bestFast = start, xFast = xPlain, yFast = yPlain;
                const dsp::SearchArea area = {order.data(), static_cast<int>(order.size()),
                                              16 * column,  16 * row,
                                              width,        height};
                plain.sad.spiralSearch(cur.data(), origin, stride, area, &bestPlain, &xPlain,
                                       &yPlain);
                v.k.sad.spiralSearch(cur.data(), origin, stride, area, &bestFast, &xFast, &yFast);
                ASSERT_EQ(bestFast, bestPlain)
                    << v.name << " range " << range << " trial " << trial;
                ASSERT_EQ(xFast, xPlain) << v.name << " range " << range << " trial " << trial;
                ASSERT_EQ(yFast, yPlain) << v.name << " range " << range << " trial " << trial;
            }
        }
    }
}

// Matrices a quantiser kernel meets: the defaults, one with weights from 16, and one with
// weights down to 1 (whose reciprocals do not fit 16 bits).
struct Matrix {
    const char* name;
    dsp::QuantMatrix m;
    int maxCoef;  // largest |coefficient| whose 32-bit intermediate values fit
};

std::vector<Matrix> quantMatrices(std::mt19937& rng) {
    int weights[3][64];
    for (int i = 0; i < 64; ++i) {
        weights[0][i] = tables::kDefaultInterMatrix[i];
        weights[1][i] = 16 + i / 3;
        weights[2][i] = 1 + static_cast<int>(rng() % 255);
    }
    weights[2][5] = 1;
    std::vector<Matrix> matrices = {
        {"default", {}, 32767}, {"from 16", {}, 32767}, {"from 1", {}, 2047}};
    for (int i = 0; i < 3; ++i) dsp::buildQuantMatrix(weights[i], &matrices[i].m);
    return matrices;
}

TEST_F(Checkasm, Quantisers) {
    const std::vector<Matrix> matrices = quantMatrices(rng);
    const char* const kMethodNames[2] = {"h263", "mpeg"};
    for (const Variant& v : fast) {
        for (int method : {dsp::kQuantH263, dsp::kQuantMpeg}) {
            const dsp::QuantKernels& p = plain.quant[method];
            const dsp::QuantKernels& f = v.k.quant[method];
            for (const Matrix& matrix : matrices) {
                for (int qp = 1; qp <= 31; ++qp) {
                    for (int trial = 0; trial < 60; ++trial) {
                        SCOPED_TRACE(::testing::Message()
                                     << v.name << " " << kMethodNames[method] << " matrix "
                                     << matrix.name << " qp " << qp << " trial " << trial);
                        // Mostly the range of transforms, sometimes far beyond it, with a
                        // share of zeros.
                        const int range = std::min(
                            matrix.maxCoef, trial % 10 == 0 ? 32767 : (trial % 2 ? 2100 : 60));
                        const int zeros = uniform(0, 3);
                        alignas(16) int16_t coef[64], la[64], lb[64], ca[64], cb[64];
                        for (int16_t& c : coef)
                            c = static_cast<int16_t>(
                                uniform(0, 3) < zeros ? 0 : uniform(-range, range));
                        const bool anyA = p.quantInter(coef, la, qp, &matrix.m);
                        const bool anyB = f.quantInter(coef, lb, qp, &matrix.m);
                        ASSERT_EQ(anyA, anyB);
                        ASSERT_TRUE(sameBytes(la, lb, 64)) << "quantInter";
                        // Dequantisation of those levels, sometimes with one beyond what the
                        // quantiser makes.
                        if (trial % 7 == 0) la[uniform(0, 63)] = static_cast<int16_t>(rng());
                        p.dequantInter(la, ca, qp, &matrix.m);
                        f.dequantInter(la, cb, qp, &matrix.m);
                        ASSERT_TRUE(sameBytes(ca, cb, 64)) << "dequantInter";

                        const int dcScaler =
                            trial % 2 ? dsp::lumaDcScaler(qp) : dsp::chromaDcScaler(qp);
                        coef[0] = static_cast<int16_t>(uniform(0, std::min(range, 2040)));
                        p.quantIntra(coef, la, qp, dcScaler, &matrix.m);
                        f.quantIntra(coef, lb, qp, dcScaler, &matrix.m);
                        ASSERT_TRUE(sameBytes(la, lb, 64)) << "quantIntra";
                        p.dequantIntra(la, ca, qp, dcScaler, &matrix.m);
                        f.dequantIntra(la, cb, qp, dcScaler, &matrix.m);
                        ASSERT_TRUE(sameBytes(ca, cb, 64)) << "dequantIntra";
                    }
                }
            }
        }
    }
}

}  // namespace
