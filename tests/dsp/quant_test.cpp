// Quantisation: the reciprocal table, the DC scalers, the inverse quantisation of one
// coefficient by either method with saturation, mismatch control, and examples of the
// block kernels.

#include <gtest/gtest.h>

#include <cstring>

#include "dsp/dsp.h"

namespace {

TEST(QuantTest, ReciprocalsAreRounded) {
    EXPECT_EQ(dsp::kReciprocal[0], 0);
    EXPECT_EQ(dsp::kReciprocal[1], 65536);
    EXPECT_EQ(dsp::kReciprocal[3], 21845);
    EXPECT_EQ(dsp::kReciprocal[46], 1425);
}

TEST(QuantTest, DcScalers) {
    const struct {
        int qp, luma, chroma;
    } cases[] = {{1, 8, 8},   {4, 8, 8},    {5, 10, 9},   {8, 16, 10},
                 {9, 17, 11}, {24, 32, 18}, {25, 34, 19}, {31, 46, 25}};
    for (const auto& c : cases) {
        EXPECT_EQ(dsp::lumaDcScaler(c.qp), c.luma) << c.qp;
        EXPECT_EQ(dsp::chromaDcScaler(c.qp), c.chroma) << c.qp;
    }
}

TEST(QuantTest, InverseQuantisationOfOneCoefficient) {
    enum Method { kH263, kIntra, kInter };
    const struct {
        Method method;
        int32_t level;
        int qp, weight;
        int32_t expected;
    } cases[] = {
        {kH263, 1, 4, 0, 11},          {kH263, -2, 5, 0, -25},
        {kH263, 100, 31, 0, 2047},     {kH263, -100, 31, 0, -2048},
        {kH263, 0, 7, 0, 0},           {kH263, 1, 1, 0, 3},
        {kIntra, 3, 10, 16, 60},       {kIntra, -3, 7, 17, -44},
        {kIntra, 2000, 31, 255, 2047}, {kIntra, -2000, 31, 255, -2048},
        {kInter, 1, 2, 16, 6},         {kInter, -2, 3, 20, -18},
        {kInter, 2048, 31, 255, 2047}, {kInter, -2048, 31, 255, -2048},
    };
    for (const auto& c : cases) {
        const int32_t got = c.method == kH263    ? dsp::dequantH263(c.level, c.qp)
                            : c.method == kIntra ? dsp::dequantMpegIntra(c.level, c.qp, c.weight)
                                                 : dsp::dequantMpegInter(c.level, c.qp, c.weight);
        EXPECT_EQ(got, c.expected)
            << "method " << c.method << " level " << c.level << " qp " << c.qp;
    }
}

TEST(QuantTest, MismatchControlTogglesTheLastCoefficientOnEvenSums) {
    int32_t coef[64] = {};
    coef[0] = 6;
    dsp::mismatchControl(coef);
    EXPECT_EQ(coef[63], 1);
    dsp::mismatchControl(coef);  // sum 7: odd, unchanged
    EXPECT_EQ(coef[63], 1);
    coef[5] = 1;  // sum 8: the last coefficient's lowest bit flips back
    dsp::mismatchControl(coef);
    EXPECT_EQ(coef[63], 0);
    coef[63] = 2047;
    coef[0] = 1;
    coef[5] = 0;
    dsp::mismatchControl(coef);  // 2048 is even: 2047 ^ 1
    EXPECT_EQ(coef[63], 2046);
    int16_t narrow[64] = {};
    narrow[63] = -2048;  // even: -2048 ^ 1
    dsp::mismatchControl(narrow);
    EXPECT_EQ(narrow[63], -2047);
}

TEST(QuantTest, BlockQuantiserExamples) {
    dsp::Kernels k;
    dsp::dspInit(0, &k);
    const dsp::QuantKernels& mpeg = k.quant[dsp::kQuantMpeg];
    dsp::QuantMatrix inter;
    int flat[64];
    for (int& w : flat) w = 16;
    dsp::buildQuantMatrix(flat, &inter);
    // Inter dequantisation of a single level 1 at QP 2, weight 16: 6, an even sum, so the
    // last coefficient becomes 1.
    int16_t level[64] = {}, coef[64];
    level[0] = 1;
    mpeg.dequantInter(level, coef, 2, &inter);
    EXPECT_EQ(coef[0], 6);
    EXPECT_EQ(coef[63], 1);
    // A block without levels stays all zero.
    std::memset(level, 0, sizeof level);
    mpeg.dequantInter(level, coef, 2, &inter);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(coef[i], 0);
    // Levels are limited to 2047 and coefficients to -2048..2047.
    int16_t big[64] = {};
    big[5] = -32000;
    EXPECT_TRUE(mpeg.quantInter(big, level, 1, &inter));
    EXPECT_EQ(level[5], -2047);
    mpeg.dequantInter(level, coef, 31, &inter);
    EXPECT_EQ(coef[5], -2048);
    // H.263 method: QP 4, level 1 -> 11; QP 5, level -2 -> -25.
    const dsp::QuantKernels& h263 = k.quant[dsp::kQuantH263];
    std::memset(level, 0, sizeof level);
    level[1] = 1;
    level[2] = -2;
    h263.dequantInter(level, coef, 4, &inter);
    EXPECT_EQ(coef[1], 11);
    h263.dequantInter(level, coef, 5, &inter);
    EXPECT_EQ(coef[2], -25);
}

}  // namespace
