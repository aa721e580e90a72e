#pragma once
// The progress dialog's animation: a timer that steps the bar through 1 .. max.

#include <cstdint>

struct ProgressAnimation {
    int32_t animationMax = 0;
    bool animationRepeat = false;
    int32_t animationCount = 0;

    void start(int32_t max, bool repeat) {
        animationMax = max;
        animationRepeat = repeat;
        animationCount = 0;
    }
    void stop() {
        animationMax = 0;
        animationRepeat = false;
    }
    // One tick: the count moves on and becomes the bar's position; at the end of the range
    // it returns to 0. Returns false when the timer is to stop.
    bool tick(int32_t* position) {
        *position = ++animationCount;
        if (animationCount < animationMax) return true;
        animationCount = 0;
        return animationRepeat;
    }
};
