// Rate control: buffer arithmetic, targets, the quadratic model and the quantiser limits.

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "venc/enc_ratectl.h"

namespace {

void start(uint32_t bitRate) {
    EncRateControlSettings s;
    s.bitRate = bitRate;
    s.frameRate = 30.0;
    s.ticksPerFrame = 3;
    s.intraPeriod = 100;
    s.intraQP = 3;
    encRateControlInitialise(s);
}

constexpr int kArea = 176 * 144;

TEST(RateControlTest, IntraVopFillsTheBuffer) {
    start(50000);
    EncRateControlView v = encRateControlView();
    EXPECT_EQ(v.frameBits, 5000u);
    EXPECT_EQ(v.bufferSize, 25000u);
    EXPECT_EQ(encRateControlIntraQP(), 3);
    encRateControlUpdateIntra(20000);
    v = encRateControlView();
    EXPECT_EQ(v.bufferFullness, 15000);
    EXPECT_EQ(v.remainingBits, 505000 - 20000);
    EXPECT_EQ(v.pLeft, 100u);
    EXPECT_EQ(v.headerBits, 500u);
    EXPECT_DOUBLE_EQ(encRateControlTotalBits(), 20000.0);
    // A small I-VOP leaves an empty buffer, never a negative one.
    start(50000);
    encRateControlIntraQP();
    encRateControlUpdateIntra(1000);
    EXPECT_EQ(encRateControlView().bufferFullness, 0);
}

TEST(RateControlTest, SecondPVopTargetAndModel) {
    start(50000);
    encRateControlIntraQP();
    encRateControlUpdateIntra(20000);
    EXPECT_EQ(encRateControlInterQP(), 3);  // the first P-VOP keeps the I-VOP's quantiser
    encRateControlUpdateInter(8000, 7000, 5 * kArea, 176, 144);
    EncRateControlView v = encRateControlView();
    EXPECT_EQ(v.bufferFullness, 18000);
    EXPECT_EQ(v.remainingBits, 477000);
    EXPECT_EQ(v.minTarget, 4770u);
    EXPECT_EQ(v.headerBits, 1000u);
    EXPECT_DOUBLE_EQ(v.mad, 5.0);
    EXPECT_DOUBLE_EQ(v.x1, 3 * 7000 / 5.0);
    EXPECT_EQ(v.x2, 0.0);
    // Target 4977, aimed at the buffer 4914, then held to 0.9 x Bs - F = 4500; the model
    // gives 21000 / 3500 + 0.5 -> 6, limited to ceil(1.25 x 3) = 4.
    EXPECT_EQ(encRateControlInterQP(), 4);
    EXPECT_EQ(encRateControlView().targetBits, 4500u);
}

TEST(RateControlTest, FullBufferTargetsAThirdOfAFrame) {
    start(50000);
    encRateControlIntraQP();
    encRateControlUpdateIntra(26000);  // F = 21000 > 0.8 x 25000
    encRateControlInterQP();
    encRateControlUpdateInter(5000, 4000, 3 * kArea, 176, 144);  // F stays 21000, H = 1000
    encRateControlInterQP();
    EXPECT_EQ(encRateControlView().targetBits, 5000u / 3 + 1000u);
}

TEST(RateControlTest, DivisionByZeroKeepsThePreviousQuantiser) {
    start(50000);
    encRateControlIntraQP();
    encRateControlUpdateIntra(1000);  // F = 0
    encRateControlInterQP();
    // F = 2000 < 0.1 x Bs: target (int)(1.3 x 5000) = 6500, equal to H = 7000 - 500.
    encRateControlUpdateInter(7000, 500, 2 * kArea, 176, 144);
    EXPECT_EQ(encRateControlInterQP(), 3);
    EXPECT_EQ(encRateControlView().targetBits, 6500u);
    // A static scene (no motion-search complexity at all) keeps it as well.
    encRateControlUpdateInter(200, 100, 0, 176, 144);
    EXPECT_EQ(encRateControlInterQP(), 3);
}

// The buffer counters are 32-bit: VOPs far larger than the frame budget (a huge picture at a
// tiny bit rate) wrap them around instead of overflowing.
TEST(RateControlTest, BufferCountersWrapAtThirtyTwoBits) {
    start(1000);  // B = 100, Bs = 500
    encRateControlIntraQP();
    encRateControlUpdateIntra(2000000000);
    EncRateControlView v = encRateControlView();
    EXPECT_EQ(v.bufferFullness, 1999999900);
    EXPECT_EQ(v.remainingBits, 10100 - 2000000000);
    encRateControlInterQP();
    encRateControlUpdateInter(2000000000, 1000000000, 1000, 176, 144);
    v = encRateControlView();
    EXPECT_EQ(v.bufferFullness, static_cast<int32_t>(3999999800LL - 4294967296LL));
    EXPECT_EQ(v.remainingBits, static_cast<int32_t>(10100LL - 4000000000LL + 4294967296LL));
    // A wrapped, negative fullness is below a tenth of the buffer: 1.3 B.
    const int qp = encRateControlInterQP();
    EXPECT_GE(qp, 1);
    EXPECT_LE(qp, 31);
    EXPECT_EQ(encRateControlView().targetBits, 130u);
}

// Over many VOPs of random sizes every P-VOP quantiser stays within the limits around the
// previous one, and each I-VOP after the first takes the truncated mean of its group.
TEST(RateControlTest, QuantiserLimitsAndGroupAverage) {
    const unsigned seed = 20240601;
    std::mt19937 rng(seed);
    start(80000);
    int prev = encRateControlIntraQP();
    encRateControlUpdateIntra(30000);
    long groupSum = 0;
    int groupCount = 0;
    for (int vop = 1; vop < 350; ++vop) {
        if (vop % 101 == 0) {
            const int qp = encRateControlIntraQP();
            EXPECT_EQ(qp, static_cast<int>(groupSum / groupCount)) << "seed " << seed;
            groupSum = 0;
            groupCount = 0;
            encRateControlUpdateIntra(20000 + static_cast<int>(rng() % 20000));
            prev = qp;
            continue;
        }
        const int qp = encRateControlInterQP();
        EXPECT_GE(qp, 1);
        EXPECT_LE(qp, 31);
        EXPECT_LE(qp, std::max(static_cast<int>(std::ceil(1.25 * prev)), 3))
            << vop << " seed " << seed;
        EXPECT_GE(qp, static_cast<int>(std::ceil(0.75 * prev))) << vop << " seed " << seed;
        groupSum += qp;
        ++groupCount;
        const int texture = 1000 + static_cast<int>(rng() % 12000) / qp * 3;
        encRateControlUpdateInter(texture + 300 + static_cast<int>(rng() % 400), texture,
                                  static_cast<int>(rng() % (20 * kArea)), 176, 144);
        prev = qp;
    }
}

}  // namespace
