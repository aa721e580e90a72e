// Texture coding: intra DC/AC prediction, the skip decision and the intra/inter choice of
// motion estimation.

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "dsp/dsp.h"
#include "venc/enc_blockenc.h"
#include "venc/enc_global.h"
#include "venc/enc_mbenc.h"
#include "venc/enc_mv.h"
#include "venc_test_util.h"

namespace {

using venc_test::ModeRecords;

// A picture of mbCols x mbRows macroblocks with its mode rows, prediction rows and a
// reconstruction frame buffer, ready for macroblock coding.
class MacroblockFixture : public ::testing::Test {
  protected:
    void SetUp() override {
        ctx.kernels = &dsp::kernels();
        ctx.quant = &ctx.kernels->quant[dsp::kQuantMpeg];
        ctx.geo.mbCols = 2;
        ctx.geo.mbRows = 2;
        ctx.geo.alignedWidth = 32;
        ctx.geo.alignedHeight = 32;
        ctx.geo.strideY = 64;
        ctx.geo.strideC = 32;
        ctx.geo.paddedHeight = 64;
        dsp::buildQuantMatrix(records.vol.rgiIntraMatrix, &ctx.intraMatrix);
        dsp::buildQuantMatrix(records.vol.rgiInterMatrix, &ctx.interMatrix);
        modes[0].assign(2, EncMbMode{});
        modes[1].assign(2, EncMbMode{});
        stores[0].assign(12, EncPredStore{});
        stores[1].assign(12, EncPredStore{});
        ctx.modeCurr = modes[0].data();
        ctx.modeAbove = modes[1].data();
        ctx.predCurr = stores[0].data();
        ctx.predAbove = stores[1].data();
        y.assign(64 * 64, 0);
        u.assign(32 * 32, 0);
        v.assign(32 * 32, 0);
        recon.y = y.data() + 16 * 64 + 16;
        recon.u = u.data() + 8 * 32 + 8;
        recon.v = v.data() + 8 * 32 + 8;
    }

    void setFlatSource(uint8_t value) {
        std::memset(ctx.work.srcY, value, 256);
        std::memset(ctx.work.srcU, value, 64);
        std::memset(ctx.work.srcV, value, 64);
    }

    // Motion search over a reference whose planes are all `level`.
    void setFlatReference(uint8_t level) {
        std::fill(y.begin(), y.end(), level);
        zoom.assign(4 * y.size(), 0);
        ctx.kernels->mc.buildZoom(y.data(), 64, 64, zoom.data(), 0);
        ctx.zoom = zoom.data();
        ctx.zoomStride = 128;
        ctx.searchOrder = dsp::spiralOrder(8);
    }

    ModeRecords records{32, 32};
    EncMbContext ctx;
    std::vector<uint8_t> zoom;
    std::vector<EncMbMode> modes[2];
    std::vector<EncPredStore> stores[2];
    std::vector<uint8_t> y, u, v;
    EncPlanes recon;
};

TEST_F(MacroblockFixture, FlatIntraBlockWithoutNeighboursCodesDcDifferenceZero) {
    setFlatSource(128);
    EncMbMode& mode = ctx.modeCurr[0];
    mode.dctMd = venc::INTRA;
    mode.iQP = 3;
    encCodeIntraMB(&ctx, recon, 0, 0, &mode);
    for (int b = 0; b < 6; ++b) {
        EXPECT_EQ(ctx.predCurr[b].v[0], 128 * 8) << b;  // DC level 128 x dc_scaler 8
        EXPECT_EQ(ctx.work.level[b][0], 0) << b;        // 128 - 1024 / 8
        EXPECT_EQ(mode.rgbCoded[b], 0) << b;
    }
    // Block 0 has no neighbour at all: left direction, no predictor block.
    EXPECT_EQ(mode.rgiPredDir[0], 1);
    EXPECT_EQ(mode.rgpPredBlock[0], nullptr);
    // Blocks 1 to 3 predict from blocks of the same macroblock; chroma has none.
    EXPECT_NE(mode.rgpPredBlock[1], nullptr);
    EXPECT_NE(mode.rgpPredBlock[3], nullptr);
    EXPECT_EQ(mode.rgpPredBlock[4], nullptr);
    EXPECT_EQ(mode.bACPred, 1);
    EXPECT_EQ(recon.y[0], 128);
    EXPECT_EQ(recon.y[15 * 64 + 15], 128);

    COutBitStream bs;
    encStatsClear(&enc_g_statsMB);
    encWriteIntraTexture(&bs, &ctx, &mode);
    bs.put(0, 32, "pad");
    // Luminance DC size 0 is 011, chrominance 11.
    EXPECT_EQ(venc_test::bitString(bs.buffer(), 3).substr(0, 16),
              "011011011011"
              "11"
              "11");
    EXPECT_EQ(enc_g_statsMB.nBitsY, 12);
    EXPECT_EQ(enc_g_statsMB.nBitsU, 2);
}

TEST_F(MacroblockFixture, AcDifferenceOf127SwitchesAcPredictionOff) {
    EncPredStore left[6] = {};
    for (auto& s : left) s.v[0] = 1024;
    EncPredStore own[6] = {};
    EncIntraNeighbours nb{left, nullptr, nullptr, 5, 0, 0, own, 5};
    EncMbMode mode{};
    mode.iQP = 5;
    int16_t level[64] = {};
    // Block 0 predicts from block 1 of the left macroblock (direction 1: first column).
    left[1].v[7 + 1] = -100;  // predictor level at raster position 8
    level[8] = 27;            // difference 127
    EXPECT_EQ(encChoosePrediction(&mode, nb, 0, level), -100000);
    level[8] = 26;  // difference 126: gain |26| - |126|
    EXPECT_EQ(encChoosePrediction(&mode, nb, 0, level), 26 - 126);
    EXPECT_EQ(mode.rgiPredDir[0], 1);
    EXPECT_EQ(mode.rgpPredBlock[0], &left[1]);
    EXPECT_EQ(mode.rgiPredQP[0], 5);
}

TEST_F(MacroblockFixture, StaticInterMacroblockIsSkippedAsOneBit) {
    setFlatSource(90);
    std::memcpy(ctx.work.predY, ctx.work.srcY, 256);
    std::memcpy(ctx.work.predU, ctx.work.srcU, 64);
    std::memcpy(ctx.work.predV, ctx.work.srcV, 64);
    for (auto& block : ctx.work.block) std::memset(block, 0, sizeof block);
    EncMotionVector mvs[5] = {};
    EncMbMode& mode = ctx.modeCurr[1];
    mode.dctMd = venc::INTER;
    mode.iQP = 4;
    encCodeInterMB(&ctx, recon, 1, 1, &mode, mvs);
    EXPECT_EQ(mode.bSkip, 1);
    EXPECT_EQ(recon.y[16 * 64 + 16], 90);
    COutBitStream bs;
    encStatsClear(&enc_g_statsMB);
    encWritePVopMBHeader(&bs, &mode);
    EXPECT_EQ(bs.totalBits(), 1u);
    bs.align();
    EXPECT_EQ(bs.buffer()[0], 0xBF);  // the bit 1, then stuffing 0111111
    EXPECT_EQ(enc_g_statsMB.nSkipMB, 1);
    EXPECT_EQ(enc_g_statsMB.nBitsCOD, 1);
}

TEST_F(MacroblockFixture, FlatMacroblockIsIntraWhenInterCostsMoreThan512) {
    struct Case {
        uint8_t reference;
        int dctMd;
        int complexity;  // what the decision adds to the complexity sum
    };
    const Case cases[] = {
        {100, venc::INTER, 0},  // SAD 0 with the zero-vector bias: cost -129, counted as 0
        {102, venc::INTER, 512 - 129 + 0},  // cost 512 - 129 = 383: not above 512
        {103, venc::INTRA, 0},              // cost 768 - 129 = 639 > 0 + 512: intra, activity 0
    };
    for (const Case& c : cases) {
        setFlatSource(100);
        setFlatReference(c.reference);
        ctx.complexitySum = 0;
        EncMbMode mode{};
        EncMotionVector mvs[5];
        encEstimate(&ctx, &mode, mvs, recon.y, 0, 0);
        EXPECT_EQ(mode.dctMd, c.dctMd) << int(c.reference);
        EXPECT_EQ(mvs[0].iMVX, 0);
        EXPECT_EQ(mvs[0].iMVY, 0);
        EXPECT_EQ(ctx.complexitySum, c.dctMd == venc::INTER ? std::max(c.complexity, 0) : 0)
            << int(c.reference);
    }
}

// The complexity sum is a 32-bit counter: on a huge picture it wraps instead of overflowing.
TEST_F(MacroblockFixture, ComplexitySumWrapsAtThirtyTwoBits) {
    setFlatSource(100);
    setFlatReference(102);  // inter, cost 512 - 129 = 383
    ctx.complexitySum = INT32_MAX - 100;
    EncMbMode mode{};
    EncMotionVector mvs[5];
    encEstimate(&ctx, &mode, mvs, recon.y, 0, 0);
    ASSERT_EQ(mode.dctMd, venc::INTER);
    EXPECT_EQ(ctx.complexitySum, INT32_MIN + 282);
}

TEST_F(MacroblockFixture, VectorPredictionAndWrapping) {
    std::vector<EncMotionVector> mvs(4 * enc_MVS_PER_MB);
    ctx.mvs = mvs.data();
    auto set = [&](int mb, int x, int y) {
        for (int i = 0; i < enc_MVS_PER_MB; ++i) encSetVector(&mvs[mb * enc_MVS_PER_MB + i], x, y);
    };
    auto bits = [&](int column, int row) {
        COutBitStream bs;
        const int n = encWriteVector(&bs, &ctx, column, row);
        bs.align();
        return venc_test::bitString(bs.buffer(), static_cast<size_t>(bs.byteCount()))
            .substr(0, static_cast<size_t>(n));
    };
    // The first macroblock predicts (0, 0): -33 half-pels wraps to +31 (code 31, then +),
    // 0 is the single bit 1.
    set(0, -33, 0);
    EXPECT_EQ(bits(0, 0),
              "000000000011"
              "0"
              "1");
    // Row 0, column 1: the left vector alone is the prediction.
    set(1, -33, 0);
    EXPECT_EQ(bits(1, 0),
              "1"
              "1");
    // Row 1, column 0: the median of 0 (no left), above and above-right, (-33, 0) each.
    set(2, -33, 1);
    EXPECT_EQ(bits(0, 1),
              "1"
              "01"
              "0");
}

}  // namespace
