#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ProgressAnimation.h"
#include "ProgressMeter.h"

namespace {

TEST(ProgressMeter, ThePositionIsTheRunningStagesCounter) {
    std::atomic<int32_t> video{17}, audio{5};
    struct Case {
        const char* name;
        JobProgress::Stage stage;
        const std::atomic<int32_t>* counter;
        bool active;
        bool moves;
        int32_t position;
        std::vector<std::string> trace;
    };
    const Case cases[] = {
        {"video", JobProgress::Video, &video, true, true, 17, {"Video 17"}},
        {"audio", JobProgress::Audio, &audio, true, true, 5, {"Audio 5"}},
        {"inactive", JobProgress::Video, &video, false, false, 0, {}},
        {"between stages", JobProgress::Video, nullptr, true, true, 0, {}},
        {"preparing", JobProgress::Preparing, nullptr, true, true, 0, {}},
    };
    for (const Case& c : cases) {
        JobProgress p;
        p.stage = c.stage;
        p.counter = c.counter;
        std::vector<std::string> trace;
        int32_t position = -1;
        bool moves = progressPosition(
            c.active, countersOf(p),
            [&](const char* name, int32_t v) { trace.push_back(name + (" " + std::to_string(v))); },
            &position);
        EXPECT_EQ(moves, c.moves) << c.name;
        if (moves) {
            EXPECT_EQ(position, c.position) << c.name;
        }
        EXPECT_EQ(trace, c.trace) << c.name;
    }
}

TEST(ProgressMeter, BothCountersAddUp) {
    std::atomic<int32_t> video{3}, audio{4};
    int32_t position = 0;
    ASSERT_TRUE(progressPosition(true, StageCounters{&audio, &video}, nullptr, &position));
    EXPECT_EQ(position, 7);
}

std::vector<int32_t> ticks(ProgressAnimation& a, int n, bool* stopped) {
    std::vector<int32_t> positions;
    *stopped = false;
    for (int i = 0; i < n && !*stopped; ++i) {
        int32_t p = 0;
        *stopped = !a.tick(&p);
        positions.push_back(p);
    }
    return positions;
}

TEST(ProgressAnimation, StepsThroughTheRangeThenStopsOrRepeats) {
    ProgressAnimation a;
    bool stopped = false;
    a.start(5, false);
    EXPECT_EQ(ticks(a, 10, &stopped), (std::vector<int32_t>{1, 2, 3, 4, 5}));
    EXPECT_TRUE(stopped);

    a.start(3, true);
    EXPECT_EQ(ticks(a, 7, &stopped), (std::vector<int32_t>{1, 2, 3, 1, 2, 3, 1}));
    EXPECT_FALSE(stopped);

    a.stop();
    EXPECT_EQ(a.animationMax, 0);
    EXPECT_FALSE(a.animationRepeat);
}

}  // namespace
