#include "ProgressMeter.h"

StageCounters countersOf(const JobProgress& progress) {
    StageCounters c;
    const std::atomic<int32_t>* counter = progress.counter;
    switch (progress.stage.load()) {
        case JobProgress::Audio:
            c.audio = counter;
            break;
        case JobProgress::Video:
            c.video = counter;
            break;
        default:
            break;
    }
    return c;
}

bool progressPosition(bool countersActive, const StageCounters& counters, const CounterTrace& trace,
                      int32_t* position) {
    if (!countersActive) return false;
    int32_t p = 0;
    if (counters.audio) {
        int32_t v = *counters.audio;
        if (trace) trace("Audio", v);
        p += v;
    }
    if (counters.video) {
        int32_t v = *counters.video;
        if (trace) trace("Video", v);
        p += v;
    }
    *position = p;
    return true;
}
