// Frame-rate conversion: which source frames the encoder takes.

#include <gtest/gtest.h>

#include "venc/enc_framerate.h"

namespace {

int keptIn(uint32_t first, uint32_t count, uint32_t t, uint32_t s) {
    int kept = 0;
    for (uint32_t n = first; n < first + count; ++n) kept += encKeepSourceFrame(n, t, s) ? 1 : 0;
    return kept;
}

uint32_t firstKept(uint32_t t, uint32_t s) {
    for (uint32_t n = 1;; ++n)
        if (encKeepSourceFrame(n, t, s)) return n;
}

TEST(FrameRateTest, FirstKeptFrameOfA30FpsSource) {
    EXPECT_EQ(firstKept(8, 30), 4u);
    EXPECT_EQ(firstKept(10, 30), 1u);
    EXPECT_EQ(firstKept(15, 30), 2u);
}

TEST(FrameRateTest, ThirtyToTenTakesEveryThirdFrameFromTheFirst) {
    for (uint32_t n = 1; n <= 30; ++n) EXPECT_EQ(encKeepSourceFrame(n, 10, 30), n % 3 == 1) << n;
}

// Kept frames per S consecutive source frames for every row of the pattern table; every
// window of S frames keeps the same number.
TEST(FrameRateTest, KeptCountsPerRowOfThePatternTable) {
    struct Case {
        uint32_t t, s;
        int kept;
    };
    std::vector<Case> cases;
    for (uint32_t s = 1; s <= 40; ++s) {
        cases.push_back({15, s, s >= 15 ? 15 : static_cast<int>(s)});
        cases.push_back({8, s, s >= 9 ? 8 : static_cast<int>(s)});
        cases.push_back({12, s, s >= 9 ? 8 : static_cast<int>(s)});  // any other rate: the 8 column
        if (s <= 15) cases.push_back({10, s, s >= 10 ? 10 : static_cast<int>(s)});
    }
    for (const Case& c : cases)
        for (uint32_t first : {1u, 2u, 7u, 100u})
            EXPECT_EQ(keptIn(first, c.s, c.t, c.s), c.kept)
                << "T=" << c.t << " S=" << c.s << " from " << first;
}

TEST(FrameRateTest, TenFpsRulesForFastSources) {
    EXPECT_EQ(keptIn(1, 25, 10, 25), 10);  // n mod 5 is 1 or 3
    EXPECT_EQ(keptIn(1, 20, 10, 20), 8);
    EXPECT_EQ(keptIn(1, 30, 10, 30), 10);  // n mod 3 is 1
    EXPECT_EQ(keptIn(1, 26, 10, 26), 9);
    EXPECT_TRUE(encKeepSourceFrame(1, 10, 16));
    EXPECT_FALSE(encKeepSourceFrame(2, 10, 16));
    EXPECT_TRUE(encKeepSourceFrame(3, 10, 16));
}

TEST(FrameRateTest, PositionsBeyondTheTableAreDropped) {
    // S = 40: positions 32..39 count as position 30, which is never kept.
    for (uint32_t n = 32; n < 40; ++n) {
        EXPECT_FALSE(encKeepSourceFrame(n, 15, 40)) << n;
        EXPECT_FALSE(encKeepSourceFrame(n, 8, 40)) << n;
    }
    EXPECT_TRUE(encKeepSourceFrame(40, 15, 40));  // position 0
}

TEST(FrameRateTest, SpecificRowsKeepTheirPositions) {
    struct Case {
        uint32_t t, s;
        std::vector<uint32_t> kept;  // positions kept among 0..S-1
    };
    const Case cases[] = {
        {8, 12, {0, 2, 3, 4, 6, 8, 10, 11}},
        {8, 25, {0, 4, 8, 12, 16, 20, 22, 24}},
        {15, 16, {0, 1, 2, 3, 4, 5, 6, 7, 9, 10, 11, 12, 13, 14, 15}},
        {10, 13, {0, 1, 3, 4, 5, 6, 7, 9, 10, 12}},
    };
    for (const Case& c : cases) {
        std::vector<uint32_t> kept;
        for (uint32_t e = 0; e < c.s; ++e)
            if (encKeepSourceFrame(c.s + e, c.t, c.s)) kept.push_back(e);
        EXPECT_EQ(kept, c.kept) << "T=" << c.t << " S=" << c.s;
    }
}

}  // namespace
