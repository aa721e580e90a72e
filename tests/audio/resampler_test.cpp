#include <gtest/gtest.h>

#include <vector>

#include "audio/resampler.h"

namespace {

constexpr int kFrame = 1024;

struct RateCase {
    uint32_t sourceRate;
    std::vector<int> firstCounts;  // samples per call from a fresh state
};

class ResamplerSequenceTest : public ::testing::TestWithParam<RateCase> {};

TEST_P(ResamplerSequenceTest, OutputCountsPerFrame) {
    const RateCase& c = GetParam();
    resampleInit(16000);
    resampleResetState();
    std::vector<int16_t> in1(kFrame + 1, 0), in2(kFrame + 1, 0), out1(kFrame + 2), out2(kFrame + 2);
    long total = 0;
    const int calls = 200;
    for (int k = 0; k < calls; ++k) {
        int n = resample(in1.data(), in2.data(), kFrame, c.sourceRate, out1.data(), out2.data());
        EXPECT_EQ(n % 2, 0);
        if (k < static_cast<int>(c.firstCounts.size())) {
            EXPECT_EQ(n, c.firstCounts[k]) << "call " << k;
        }
        total += n;
    }
    // Over many frames the count follows the rate ratio.
    double expected = double(calls) * kFrame * 16000.0 / c.sourceRate;
    EXPECT_NEAR(double(total), expected, 2.0);
}

INSTANTIATE_TEST_SUITE_P(Rates, ResamplerSequenceTest,
                         ::testing::Values(RateCase{44100, {372, 372, 370, 372, 372, 372, 370}},
                                           RateCase{48000, {342, 340, 342, 342, 340}},
                                           RateCase{32000, {512, 512, 512, 512}}),
                         [](const ::testing::TestParamInfo<RateCase>& info) {
                             return "Hz" + std::to_string(info.param.sourceRate);
                         });

TEST(ResamplerTest, ConstantLevelsScaleByTheIntegerGain) {
    const struct {
        int16_t in;
        int16_t out;
    } cases[] = {{10000, 9765}, {-10000, -9765}, {0, 0}};
    for (const auto& c : cases) {
        resampleInit(16000);
        resampleResetState();
        std::vector<int16_t> in1(kFrame + 1, c.in), in2(kFrame + 1, c.in), out1(kFrame + 2),
            out2(kFrame + 2);
        // The first call interpolates from element 0, which a fresh caller fills too.
        int n = resample(in1.data(), in2.data(), kFrame, 44100, out1.data(), out2.data());
        ASSERT_GT(n, 0);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(out1[i], c.out) << "input " << c.in << " sample " << i;
            ASSERT_EQ(out2[i], c.out);
        }
    }
}

TEST(ResamplerTest, LastInputSampleCarriesIntoElementZero) {
    resampleInit(16000);
    resampleResetState();
    std::vector<int16_t> in1(kFrame + 1), in2(kFrame + 1), out1(kFrame + 2), out2(kFrame + 2);
    for (int i = 1; i <= kFrame; ++i) {
        in1[i] = static_cast<int16_t>(i);
        in2[i] = static_cast<int16_t>(-i);
    }
    resample(in1.data(), in2.data(), kFrame, 48000, out1.data(), out2.data());
    EXPECT_EQ(in1[0], kFrame);
    EXPECT_EQ(in2[0], -kFrame);
}

}  // namespace
