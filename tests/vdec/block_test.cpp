// Block decoding: DC differentials, coefficient events and escapes, AC/DC prediction, and
// the inverse quantisation and transform of decoded blocks (the arithmetic itself is
// tested in tests/dsp).

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "dsp/dsp.h"
#include "tables/std_tables.h"
#include "vdec/dec_blockdec.h"
#include "vdec/dec_session.h"
#include "vdec/dec_vlc.h"
#include "vdec_test_util.h"

namespace {

using vdec_test::BitWriter;
using vdec_test::MemoryStream;

// The decoder's inverse DCT, for the expected residuals.
void idct(int32_t* block) {
    dsp::kernels().tx.idctRows16(block);
}

// Gives the decoder fresh records and a clean error state for calling its parts directly.
class BlockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_volmd = new VolMode();
        g_vopmd = new VopMode();
        g_dec.bError = 0;
        g_dec.bShortHeader = 0;
    }
    void TearDown() override {
        delete g_volmd;
        delete g_vopmd;
        g_volmd = nullptr;
        g_vopmd = nullptr;
        g_dec.bError = 0;
    }
};

// The code of (last, run, level) in the intra or inter table.
tables::Vlc findCode(bool intra, int last, int run, int level) {
    for (const auto& c : intra ? tables::kTcoefIntra : tables::kTcoefInter)
        if (c.last == last && c.run == run && c.level == level) return c.code;
    ADD_FAILURE() << "no code";
    return tables::Vlc{0, 1};
}

TEST_F(BlockTest, MpegInterBlockGetsMismatchControl) {
    // A single level 1 at position 0 with quantiser 2 and weight 16 gives 6; the sum is even,
    // so coefficient 63 becomes 1 before the transform.
    g_volmd->iQuantType = 1;
    std::memset(g_volmd->rgbInterMatrix, 16, 64);
    BitWriter exact;
    // inter TCOEF (last 1, run 0, level 1), then the sign bit.
    exact.put(findCode(false, 1, 0, 1).bits, findCode(false, 1, 0, 1).length);
    exact.put(0, 1);
    exact.put(0, 32);
    MemoryStream s(exact.bytes());
    int32_t residual[64];
    decodeInterBlock(residual, 2);
    int32_t expected[64] = {};
    expected[0] = 6;
    expected[63] = 1;
    idct(expected);
    EXPECT_EQ(std::memcmp(residual, expected, sizeof expected), 0);
    EXPECT_EQ(g_dec.bError, 0);
}

TEST_F(BlockTest, RoundedDivisionHalvesAwayFromZero) {
    const struct {
        int32_t a, d, q;
    } cases[] = {{7, 2, 4},   {-7, 2, -4},    {5, 10, 1},     {-5, 10, -1},    {4, 10, 0},
                 {-4, 10, 0}, {1024, 8, 128}, {1024, 17, 60}, {-1024, 46, -22}};
    for (const auto& c : cases) EXPECT_EQ(roundedDivide(c.a, c.d), c.q) << c.a << " / " << c.d;
}

TEST_F(BlockTest, DcDifferentials) {
    const struct {
        const char* name;
        bool luma;
        uint32_t bits;
        int count;
        int expected;
        int consumed;
    } cases[] = {
        {"size 3, 010", true, 0b010010, 6, -5, 6},
        {"size 3, 110", true, 0b010110, 6, 6, 6},
        {"size 0", true, 0b011, 3, 0, 3},
        {"size 1, 1", true, 0b111, 3, 1, 3},
        {"size 1, 0", true, 0b110, 3, -1, 3},
        {"size 9 with marker", true, 0b000000011111111111, 18, 511, 18},
        {"chroma size 2, 00", false, 0b0100, 4, -3, 4},
        {"chroma size 0", false, 0b11, 2, 0, 2},
        {"luma all zeros: size 0, two bits", true, 0, 12, 0, 2},
        {"chroma all zeros: size 3, two bits", false, 0, 12, -7, 5},
    };
    for (const auto& c : cases) {
        BitWriter w;
        w.put(c.bits, c.count);
        w.put(0, 32);
        MemoryStream s(w.bytes());
        EXPECT_EQ(readDcDifferential(c.luma), c.expected) << c.name;
        EXPECT_EQ(g_bits.bitPosition(), uint64_t(c.consumed)) << c.name;
    }
}

TEST_F(BlockTest, DcDifferentialAfterAnErrorIsMinusOne) {
    BitWriter w;
    w.put(0b010110, 6);
    w.put(0, 32);
    MemoryStream s(w.bytes());
    g_dec.bError = 1;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(readDcDifferential(true), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Error decoding INTRADC pred. size\n");
}

// Writes a table code with its sign.
void putCode(BitWriter* w, const tables::TcoefCode& c, bool negative) {
    w->put(c.code.bits, c.code.length);
    w->put(negative ? 1 : 0, 1);
}

TEST_F(BlockTest, EveryTableCodeReadsBack) {
    for (bool intra : {true, false}) {
        const auto& table = intra ? tables::kTcoefIntra : tables::kTcoefInter;
        BitWriter w;
        for (size_t i = 0; i < 102; ++i) putCode(&w, table[i], i % 2 == 1);
        w.put(0, 32);
        MemoryStream s(w.bytes());
        for (size_t i = 0; i < 102; ++i) {
            CoefficientEvent ev = readCoefficientEvent(intra);
            EXPECT_EQ(ev.last, table[i].last);
            EXPECT_EQ(ev.run, table[i].run);
            EXPECT_EQ(ev.level, i % 2 ? -table[i].level : table[i].level) << "code " << i;
        }
        EXPECT_EQ(g_dec.bError, 0);
    }
}

TEST_F(BlockTest, Mpeg4Escapes) {
    // Type 1: (last 0, run 1, level 1) of the intra table plus LMAX(0, 1) = 10.
    // Type 2: (last 1, run 0, level 1) of the inter table plus RMAX(1, 1) + 1 = 41.
    // Type 3: last 1, run 5, level 4095 = -1; and level 2048 = -2048.
    const struct {
        const char* name;
        bool intra;
        std::function<void(BitWriter*)> write;
        CoefficientEvent expected;
    } cases[] = {
        {"type 1",
         true,
         [](BitWriter* w) {
             w->put(0x3, 7);
             w->put(0, 1);
             w->put(findCode(true, 0, 1, 1).bits, findCode(true, 0, 1, 1).length);
             w->put(1, 1);
         },
         {0, 1, -(1 + 10)}},
        {"type 2",
         false,
         [](BitWriter* w) {
             w->put(0x3, 7);
             w->put(0b10, 2);
             w->put(findCode(false, 1, 0, 1).bits, findCode(false, 1, 0, 1).length);
             w->put(0, 1);
         },
         {1, 0 + 40 + 1, 1}},
        {"type 3, level 4095",
         false,
         [](BitWriter* w) {
             w->put(0x3, 7);
             w->put(0b11, 2);
             w->put(1, 1);
             w->put(5, 6);
             w->put(1, 1);
             w->put(4095, 12);
             w->put(1, 1);
         },
         {1, 5, -1}},
        {"type 3, level 2048",
         true,
         [](BitWriter* w) {
             w->put(0x3, 7);
             w->put(0b11, 2);
             w->put(0, 1);
             w->put(63, 6);
             w->put(1, 1);
             w->put(2048, 12);
             w->put(1, 1);
         },
         {0, 63, -2048}},
        {"type 3, level 0 is not refused",
         true,
         [](BitWriter* w) {
             w->put(0x3, 7);
             w->put(0b11, 2);
             w->put(0, 1);
             w->put(2, 6);
             w->put(1, 1);
             w->put(0, 12);
             w->put(1, 1);
         },
         {0, 2, 0}},
    };
    for (const auto& c : cases) {
        BitWriter w;
        c.write(&w);
        const size_t bits = w.bitCount();
        w.put(0, 32);
        MemoryStream s(w.bytes());
        CoefficientEvent ev = readCoefficientEvent(c.intra);
        EXPECT_EQ(ev.last, c.expected.last) << c.name;
        EXPECT_EQ(ev.run, c.expected.run) << c.name;
        EXPECT_EQ(ev.level, c.expected.level) << c.name;
        EXPECT_EQ(g_bits.bitPosition(), bits) << c.name;
        EXPECT_EQ(g_dec.bError, 0) << c.name;
    }
}

TEST_F(BlockTest, LmaxAndRmaxCoverEveryCode) {
    // The escape offsets are looked up for every (last, run) and (last, level) a code has;
    // the tables must agree with the codes.
    for (bool intra : {true, false}) {
        const auto& table = intra ? tables::kTcoefIntra : tables::kTcoefInter;
        for (const auto& c : table) {
            int lmax = 0, rmax = 0;
            for (const auto& d : table) {
                if (d.last == c.last && d.run == c.run) lmax = std::max<int>(lmax, d.level);
                if (d.last == c.last && d.level == c.level) rmax = std::max<int>(rmax, d.run);
            }
            EXPECT_EQ(vlc::lmax(intra, c.last, c.run), lmax);
            EXPECT_EQ(vlc::rmax(intra, c.last, c.level), rmax);
        }
    }
}

TEST_F(BlockTest, InvalidCodeSetsTheError) {
    BitWriter w;
    w.put(0, 32);
    MemoryStream s(w.bytes());
    ::testing::internal::CaptureStdout();
    CoefficientEvent ev = readCoefficientEvent(false);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Invalid Huffman code\n");
    EXPECT_EQ(g_dec.bError, 1);
    EXPECT_EQ(ev.level, 0);
    EXPECT_EQ(ev.run, 0);
    EXPECT_EQ(ev.last, 0);
}

TEST_F(BlockTest, TooManyCoefficientsEndTheBlock) {
    // Escape type 3 with run 62 and level 5 (position 62), then one with run 1: position 64.
    BitWriter w;
    for (int run : {62, 1}) {
        w.put(0x3, 7);
        w.put(0b11, 2);
        w.put(0, 1);
        w.put(uint32_t(run), 6);
        w.put(1, 1);
        w.put(5, 12);
        w.put(1, 1);
    }
    w.put(0, 32);
    MemoryStream s(w.bytes());
    int32_t residual[64];
    ::testing::internal::CaptureStdout();
    decodeInterBlock(residual, 1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "TOO MUCH COEFF !!");
    EXPECT_EQ(g_dec.bError, 1);
    // The coefficient read before the error stays: H.263 inverse quantisation of 5 at
    // quantiser 1 is 11, at zigzag position 62 (raster 62).
    int32_t expected[64] = {};
    expected[tables::kScanZigzag[62]] = 11;
    idct(expected);
    EXPECT_EQ(std::memcmp(residual, expected, sizeof expected), 0);
}

TEST_F(BlockTest, AcPredictionScalesByTheQuantiserRatio) {
    PredictionStore neighbour{};
    neighbour.v[0] = 800;
    neighbour.v[1] = 3;
    neighbour.v[2] = -3;
    neighbour.v[8] = 7;  // first column, used only from the left
    MacroblockMode mb;
    mb.iQP = 5;
    mb.iPredQP = 10;
    mb.bACPred = 1;
    mb.iPredDir = 2;  // from above: the first row
    mb.pPredBlock = &neighbour;
    int32_t levels[64] = {};
    levels[0] = 2;
    levels[1] = 1;
    int32_t coef[64] = {};
    PredictionStore store{};
    reconstructIntraCoefficients(&mb, &store, 10, levels, coef);
    EXPECT_EQ(levels[0], 2 + 80);  // DC: 800 // 10
    EXPECT_EQ(levels[1], 1 + 6);
    EXPECT_EQ(levels[2], -6);
    EXPECT_EQ(levels[8], 0);
    EXPECT_EQ(coef[0], 82 * 10);
    EXPECT_EQ(store.v[0], 820);
    EXPECT_EQ(store.v[1], 7);
    EXPECT_EQ(store.v[2], -6);
    EXPECT_EQ(coef[1], dsp::dequantH263(7, 5));

    // Without a neighbour: DC from 1024, no AC prediction.
    mb.pPredBlock = nullptr;
    int32_t levels2[64] = {};
    levels2[1] = 1;
    reconstructIntraCoefficients(&mb, &store, 8, levels2, coef);
    EXPECT_EQ(levels2[0], 128);
    EXPECT_EQ(levels2[1], 1);

    // From the left with equal quantisers: the first column, values unchanged, saturated.
    neighbour.v[8] = 2000;
    mb.pPredBlock = &neighbour;
    mb.iPredDir = 1;
    mb.iPredQP = 5;
    int32_t levels3[64] = {};
    levels3[8] = 100;
    reconstructIntraCoefficients(&mb, &store, 8, levels3, coef);
    EXPECT_EQ(levels3[8], 2047);
    EXPECT_EQ(levels3[1], 0);
}

}  // namespace
