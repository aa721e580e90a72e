// Motion vectors and motion compensation: prediction from candidates, the range wrap, the
// motion codes, the filled border for vectors far outside the picture, half-sample
// prediction of a macroblock, and skipped macroblocks.

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "tables/std_tables.h"
#include "vdec/dec_motion.h"
#include "vdec/dec_session.h"
#include "vdec/dec_sessiondecode.h"
#include "vdec_test_util.h"

namespace {

using vdec_test::BitWriter;
using vdec_test::MemoryStream;

TEST(MotionVectorTest, PredictionFromCandidates) {
    const MotionVector left{4, -6}, above{10, 2}, aboveRight{-8, 30};
    const MotionVector* c[3] = {&left, &above, &aboveRight};
    const struct {
        const char* name;
        bool usable[3];
        MotionVector expected;
    } cases[] = {
        {"all three: median", {true, true, true}, {4, 2}},
        {"only the left one", {true, false, false}, {4, -6}},
        {"only the one above", {false, true, false}, {10, 2}},
        {"only above-right", {false, false, true}, {-8, 30}},
        {"two: the third counts as zero", {true, true, false}, {4, 0}},
        {"left missing", {false, true, true}, {0, 2}},
        {"none", {false, false, false}, {0, 0}},
    };
    for (const auto& k : cases) {
        MotionVector p = predictVector(c, k.usable);
        EXPECT_EQ(p.x, k.expected.x) << k.name;
        EXPECT_EQ(p.y, k.expected.y) << k.name;
    }
}

TEST(MotionVectorTest, ComponentsWrapIntoTheRange) {
    const struct {
        int32_t predictor, difference;
        int fcode;
        int32_t expected;
    } cases[] = {
        {31, 2, 1, -31},  {-32, -1, 1, 31}, {31, 0, 1, 31},    {-32, 0, 1, -32},    {63, 1, 2, -64},
        {-64, -5, 2, 59}, {0, 32, 1, -32},  {10, -20, 1, -10}, {2047, 1, 7, -2048},
    };
    for (const auto& c : cases)
        EXPECT_EQ(wrapVectorComponent(c.predictor, c.difference, c.fcode), c.expected)
            << c.predictor << " + " << c.difference << " fcode " << c.fcode;
}

TEST(MotionVectorTest, EveryMotionCodeReadsBack) {
    g_dec.bError = 0;
    BitWriter w;
    for (int m = -32; m <= 32; ++m) {
        const tables::Vlc& c = tables::kMvd[std::abs(m)];
        w.put(c.bits, c.length);
        if (m != 0) w.put(m < 0 ? 1 : 0, 1);
    }
    w.put(0, 32);
    MemoryStream s(w.bytes());
    for (int m = -32; m <= 32; ++m) EXPECT_EQ(readMotionCode(), m);
    EXPECT_EQ(g_dec.bError, 0);

    ::testing::internal::CaptureStdout();
    EXPECT_EQ(readMotionCode(), -1);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Invalid motion_vector code\n");
    EXPECT_EQ(g_dec.bError, 1);
    g_dec.bError = 0;
}

// A 176 x 144 decoder set-up whose reference frame holds a known pattern.
class CompensationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_volmd = new VolMode();
        g_vopmd = new VopMode();
        g_volmd->iWidth = 176;
        g_volmd->iHeight = 144;
        g_dec.bFirstPicture = 1;
        ::testing::internal::CaptureStdout();
        ASSERT_TRUE(createBuffers());
        ::testing::internal::GetCapturedStdout();
        for (int y = 0; y < 144; ++y)
            for (int x = 0; x < 176; ++x) refY(x, y) = uint8_t((x * 3 + y * 5) & 0xFF);
        for (int y = 0; y < 72; ++y)
            for (int x = 0; x < 88; ++x) {
                g_dec.reference.u[y * g_dec.chromaStride + x] = uint8_t(x + y);
                g_dec.reference.v[y * g_dec.chromaStride + x] = uint8_t(200 - x);
            }
        fillReferenceBorder();
    }
    void TearDown() override {
        delete g_volmd;
        delete g_vopmd;
        g_volmd = nullptr;
        g_vopmd = nullptr;
        releaseBuffers();
    }
    uint8_t& refY(int x, int y) { return g_dec.reference.y[y * g_dec.lumaStride + x]; }
    uint8_t curY(int x, int y) { return g_dec.current.y[y * g_dec.lumaStride + x]; }
};

TEST_F(CompensationTest, VectorFarLeftTakesTheEdgeColumn) {
    MacroblockMode mb;
    mb.dctMd = vdec::INTER;
    for (int i = 0; i < 5; ++i) g_mvRow[0][i] = MotionVector{-200, 0};
    predictInterMacroblock(&mb, 0, 1);
    for (int y = 16; y < 32; ++y)
        for (int x = 0; x < 16; ++x) ASSERT_EQ(curY(x, y), refY(0, y)) << x << "," << y;
    // Chroma from the left edge too.
    for (int y = 8; y < 16; ++y)
        EXPECT_EQ(g_dec.current.u[y * g_dec.chromaStride],
                  g_dec.reference.u[y * g_dec.chromaStride]);
}

TEST_F(CompensationTest, FourVectorsFarOutsideTakeTheCorners) {
    MacroblockMode mb;
    mb.dctMd = vdec::INTER4V;
    g_mvRow[10][1] = MotionVector{1000, 1000};    // bottom-right corner
    g_mvRow[10][2] = MotionVector{-1000, -1000};  // top-left corner
    g_mvRow[10][3] = MotionVector{1001, -999};    // top-right, odd: half positions
    g_mvRow[10][4] = MotionVector{0, 0};
    predictInterMacroblock(&mb, 10, 8);
    const int x0 = 160, y0 = 128;
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            ASSERT_EQ(curY(x0 + x, y0 + y), refY(175, 143));
            ASSERT_EQ(curY(x0 + 8 + x, y0 + y), refY(0, 0));
            ASSERT_EQ(curY(x0 + x, y0 + 8 + y), refY(175, 0));
            ASSERT_EQ(curY(x0 + 8 + x, y0 + 8 + y), refY(x0 + 8 + x, y0 + 8 + y));
        }
}

TEST_F(CompensationTest, HalfSampleVectorInsideThePicture) {
    MacroblockMode mb;
    mb.dctMd = vdec::INTER;
    for (int i = 0; i < 5; ++i) g_mvRow[3][i] = MotionVector{3, -1};  // (1.5, -0.5)
    g_vopmd->iRoundingType = 0;
    predictInterMacroblock(&mb, 3, 2);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const int rx = 48 + x + 1, ry = 32 + y - 1;
            const int expected =
                (refY(rx, ry) + refY(rx + 1, ry) + refY(rx, ry + 1) + refY(rx + 1, ry + 1) + 2) >>
                2;
            ASSERT_EQ(curY(48 + x, 32 + y), expected) << x << "," << y;
        }
}

TEST_F(CompensationTest, SkippedMacroblocksCopyTheReferenceAtTheEdges) {
    for (int row : {0, 8})
        for (int col : {0, 10}) copyReferenceMacroblock(col, row);
    for (int y : {0, 15, 128, 143})
        for (int x : {0, 15, 160, 175}) EXPECT_EQ(curY(x, y), refY(x, y));
}

TEST_F(CompensationTest, CandidatesStayInsideTheirSegment) {
    // Column 5 of row 3, segment 1; the left neighbour is in segment 1, the row above in
    // segment 0 (a GOB header or video packet started this row): only the left vector
    // predicts. In the same segment the median of all three is used.
    g_dec.mbColumns = 11;
    static MacroblockMode curr[11], above[11];
    g_dec.mbCurr = curr;
    g_dec.mbAbove = above;
    g_vopmd->iFCode = 1;
    for (int segmentAbove : {0, 1}) {
        for (auto& m : curr) m.iSegment = 1;
        for (auto& m : above) m.iSegment = segmentAbove;
        for (int i = 0; i < 5; ++i) {
            g_mvRow[4][i] = MotionVector{4, 6};    // left
            g_mvRow[5][i] = MotionVector{20, 20};  // above
            g_mvRow[6][i] = MotionVector{-2, 8};   // above-right
        }
        MacroblockMode mb;
        mb.dctMd = vdec::INTER;
        mb.iSegment = 1;
        BitWriter w;
        w.put(0b11, 2);  // two zero differences
        w.put(0, 32);
        MemoryStream s(w.bytes());
        g_dec.bError = 0;
        decodeMotionVectors(&mb, 5, 3);
        const MotionVector expected = segmentAbove == 1 ? MotionVector{4, 8} : MotionVector{4, 6};
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(g_mvRow[5][i].x, expected.x) << "segment above " << segmentAbove;
            EXPECT_EQ(g_mvRow[5][i].y, expected.y) << "segment above " << segmentAbove;
        }
    }
}

}  // namespace
