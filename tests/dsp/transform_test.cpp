// The transforms: the two inverse DCTs agree on every block the encoder's quantisation can
// make from real and random pictures; both meet the IEEE 1180 accuracy limits; the
// decoder's stays defined on the most extreme blocks a stream can code; the forward DCT is
// within one of the orthonormal DCT.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "dsp/dsp.h"
#include "seeded_test.h"
#include "tables/std_tables.h"
#include "testing/test_util.h"

namespace {

// Orthonormal DCT basis function k at sample n.
double basis(int k, int n) {
    const double c = k == 0 ? std::sqrt(0.125) : 0.5;
    return c * std::cos((2 * n + 1) * k * M_PI / 16);
}

// An 8x8 block of samples (intra) or of residuals (inter), raster order.
struct PixelBlock {
    int16_t v[64];
    bool intra;
    bool luma;
};

// Every 8x8 block of a plane of one picture, and of its difference from the previous
// picture with and without a shift of (dx, dy) samples (a residual of a good and of a
// poor prediction).
void addPlaneBlocks(const uint8_t* plane, const uint8_t* previous, int width, int height, bool luma,
                    std::vector<PixelBlock>* out) {
    const int shifts[][2] = {{0, 0}, {1, 2}};
    for (int by = 8; by + 16 <= height; by += 8)
        for (int bx = 8; bx + 16 <= width; bx += 8) {
            PixelBlock intra{{}, true, luma};
            for (int i = 0; i < 64; ++i) intra.v[i] = plane[(by + i / 8) * width + bx + i % 8];
            out->push_back(intra);
            if (!previous) continue;
            for (const auto& s : shifts) {
                PixelBlock inter{{}, false, luma};
                for (int i = 0; i < 64; ++i)
                    inter.v[i] = static_cast<int16_t>(
                        intra.v[i] - previous[(by + s[1] + i / 8) * width + bx + s[0] + i % 8]);
                out->push_back(inter);
            }
        }
}

// Blocks of the first pictures of the sample movie, decoded with ffmpeg.
std::vector<PixelBlock> realBlocks() {
    const int width = 176, height = 144, frames = 6;
    testing_util::TempDir dir;
    const std::string yuv = dir.file("sample.yuv");
    EXPECT_EQ(
        testing_util::ffmpeg(
            "-i " +
            testing_util::shellQuote(std::string(KINOLITE_SOURCE_DIR) + "/samples/sample.3gp") +
            " -frames:v " + std::to_string(frames) + " -pix_fmt yuv420p -f rawvideo " +
            testing_util::shellQuote(yuv)),
        0);
    const std::vector<uint8_t> pictures = testing_util::readFile(yuv);
    const size_t lumaBytes = size_t(width) * height, frameBytes = lumaBytes * 3 / 2;
    EXPECT_EQ(pictures.size(), frameBytes * frames);
    std::vector<PixelBlock> blocks;
    for (int f = 0; f < frames && (f + 1) * frameBytes <= pictures.size(); ++f) {
        const uint8_t* frame = pictures.data() + f * frameBytes;
        const uint8_t* previous = f > 0 ? frame - frameBytes : nullptr;
        addPlaneBlocks(frame, previous, width, height, true, &blocks);
        for (size_t c = 0; c < 2; ++c) {
            const size_t offset = lumaBytes + c * lumaBytes / 4;
            addPlaneBlocks(frame + offset, previous ? previous + offset : nullptr, width / 2,
                           height / 2, false, &blocks);
        }
    }
    return blocks;
}

// Random samples and residuals, with every eighth block at the extremes of the range (the
// largest coefficients a block can have).
std::vector<PixelBlock> randomBlocks(std::mt19937& rng, int count) {
    std::vector<PixelBlock> blocks;
    for (int n = 0; n < count; ++n) {
        PixelBlock b{{}, n % 2 == 0, n % 4 < 2};
        const int lo = b.intra ? 0 : -255;
        for (int16_t& x : b.v)
            x = static_cast<int16_t>(n % 8 >= 6 ? (rng() % 2 ? 255 : lo)
                                                : lo + static_cast<int>(rng() % (256 - lo)));
        blocks.push_back(b);
    }
    return blocks;
}

using TransformTest = dsp_test::SeededTest;

TEST_F(TransformTest, DecoderAndEncoderInverseDctsAgreeOnEveryCodedBlock) {
    std::vector<PixelBlock> blocks = realBlocks();
    ASSERT_GT(blocks.size(), 1000u);
    const std::vector<PixelBlock> random = randomBlocks(rng, 2000);
    blocks.insert(blocks.end(), random.begin(), random.end());

    const dsp::Kernels& k = dsp::kernels();
    int intraWeights[64], interWeights[64];
    for (int i = 0; i < 64; ++i) {
        intraWeights[i] = tables::kDefaultIntraMatrix[i];
        interWeights[i] = tables::kDefaultInterMatrix[i];
    }
    dsp::QuantMatrix intraMatrix, interMatrix;
    dsp::buildQuantMatrix(intraWeights, &intraMatrix);
    dsp::buildQuantMatrix(interWeights, &interMatrix);
    for (int method : {dsp::kQuantH263, dsp::kQuantMpeg}) {
        const dsp::QuantKernels& q = k.quant[method];
        for (int qp = 1; qp <= 31; ++qp) {
            for (size_t n = 0; n < blocks.size(); ++n) {
                const PixelBlock& b = blocks[n];
                alignas(16) int16_t coef[64], level[64];
                k.tx.fdct(b.v, coef);
                if (b.intra) {
                    const int dcScaler = b.luma ? dsp::lumaDcScaler(qp) : dsp::chromaDcScaler(qp);
                    q.quantIntra(coef, level, qp, dcScaler, &intraMatrix);
                    q.dequantIntra(level, coef, qp, dcScaler, &intraMatrix);
                } else {
                    q.quantInter(coef, level, qp, &interMatrix);
                    q.dequantInter(level, coef, qp, &interMatrix);
                }
                alignas(16) int32_t rows16[64], rows32[64];
                for (int i = 0; i < 64; ++i) rows16[i] = coef[i];
                k.tx.idctRows16(rows16);
                k.tx.idctRows32(coef, rows32);
                ASSERT_EQ(std::memcmp(rows16, rows32, sizeof rows16), 0)
                    << (method == dsp::kQuantMpeg ? "mpeg" : "h263") << " qp " << qp
                    << (b.intra ? " intra" : " inter") << " block " << n
                    << (n < blocks.size() - random.size() ? " (real)" : " (random)");
            }
        }
    }
}

// Double-precision inverse DCT.
void referenceIdct(const int32_t* in, double* out) {
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double sum = 0;
            for (int v = 0; v < 8; ++v)
                for (int u = 0; u < 8; ++u) sum += in[v * 8 + u] * basis(v, y) * basis(u, x);
            out[y * 8 + x] = sum;
        }
}

struct InverseDct {
    const char* name;
    void (*run)(const dsp::Kernels& k, int32_t* block);
};

const InverseDct kInverseDcts[] = {
    {"idctRows16", [](const dsp::Kernels& k, int32_t* block) { k.tx.idctRows16(block); }},
    {"idctRows32",
     [](const dsp::Kernels& k, int32_t* block) {
         int16_t in[64];
         for (int i = 0; i < 64; ++i) in[i] = static_cast<int16_t>(block[i]);
         k.tx.idctRows32(in, block);
     }},
};

TEST_F(TransformTest, InverseDctsWithinTheIeee1180Limits) {
    // Random coefficient blocks of the forward transform of random samples in -L..H, as in
    // IEEE 1180: peak error at most 1, mean square error per sample at most 0.06.
    const int ranges[][2] = {{-256, 255}, {-5, 5}, {-300, 300}};
    for (const InverseDct& idct : kInverseDcts) {
        rng.seed(seed);
        for (const auto& range : ranges) {
            double sumSquare = 0;
            int peak = 0;
            const int blocks = 2000;
            for (int n = 0; n < blocks; ++n) {
                std::uniform_int_distribution<int> d(range[0], range[1]);
                double samples[64];
                for (double& s : samples) s = d(rng);
                int32_t coef[64];
                for (int v = 0; v < 8; ++v)
                    for (int u = 0; u < 8; ++u) {
                        double sum = 0;
                        for (int y = 0; y < 8; ++y)
                            for (int x = 0; x < 8; ++x)
                                sum += samples[y * 8 + x] * basis(v, y) * basis(u, x);
                        coef[v * 8 + u] = std::clamp(int32_t(std::lround(sum)), -2048, 2047);
                    }
                double exact[64];
                referenceIdct(coef, exact);
                idct.run(plain, coef);
                for (int i = 0; i < 64; ++i) {
                    int expected = int(std::clamp(std::lround(exact[i]), -256L, 255L));
                    int got = std::clamp(coef[i], -256, 255);
                    peak = std::max(peak, std::abs(got - expected));
                    sumSquare += double(got - expected) * (got - expected);
                }
            }
            EXPECT_LE(peak, 1) << idct.name << " range " << range[0];
            EXPECT_LE(sumSquare / (64.0 * blocks), 0.06) << idct.name << " range " << range[0];
        }
    }
}

TEST_F(TransformTest, EncoderInverseDctIsWithinOneOfTheOrthonormalInverse) {
    for (int trial = 0; trial < 3000; ++trial) {
        // Coefficients as dequantisation leaves them: a few large low frequencies, small
        // high ones.
        int16_t in[64];
        int32_t wide[64];
        for (int i = 0; i < 64; ++i) {
            const int range = i == 0 ? 2040 : (i < 10 ? 600 : 60);
            in[i] = static_cast<int16_t>(static_cast<int>(rng() % (2 * range + 1)) - range);
            wide[i] = in[i];
        }
        int32_t out[64];
        plain.tx.idctRows32(in, out);
        double exact[64];
        referenceIdct(wide, exact);
        for (int i = 0; i < 64; ++i)
            ASSERT_LE(std::fabs(out[i] - exact[i]), 1.0) << "trial " << trial << " sample " << i;
    }
}

TEST_F(TransformTest, DecoderInverseDctOfDcOnlyAndExtremeBlocks) {
    int32_t dc[64] = {};
    dc[0] = 1024;
    plain.tx.idctRows16(dc);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(dc[i], 128);

    // The largest values a stream can produce (a saturated DC times the largest scaler, and
    // every AC coefficient at a limit) stay defined and finite.
    int32_t extreme[64];
    for (int i = 0; i < 64; ++i) extreme[i] = (i * 7) % 3 ? 2047 : -2048;
    extreme[0] = 2047 * 46;
    plain.tx.idctRows16(extreme);
    for (int i = 0; i < 64; ++i) EXPECT_LE(std::abs(extreme[i]), 1 << 20);
}

TEST_F(TransformTest, ForwardDctIsWithinOneOfTheOrthonormalDct) {
    for (int trial = 0; trial < 3000; ++trial) {
        int16_t in[64], out[64];
        const bool residual = trial % 2;
        for (auto& x : in)
            x = static_cast<int16_t>(residual ? static_cast<int>(rng() % 511) - 255
                                              : static_cast<int>(rng() % 256));
        plain.tx.fdct(in, out);
        for (int u = 0; u < 8; ++u)
            for (int v = 0; v < 8; ++v) {
                double sum = 0;
                for (int y = 0; y < 8; ++y)
                    for (int x = 0; x < 8; ++x) sum += in[y * 8 + x] * basis(u, y) * basis(v, x);
                ASSERT_LE(std::fabs(out[u * 8 + v] - sum), 1.0) << "trial " << trial;
            }
    }
}

}  // namespace
