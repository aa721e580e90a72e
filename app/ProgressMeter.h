#pragma once
// The arithmetic of the main window's 20 ms timer: which counters are set while a stage
// runs and the bar position they give.

#include <atomic>
#include <cstdint>
#include <functional>

#include "pipeline/job_runner.h"

// The counter addresses the timer reads: the running stage's counter, as the job runner
// publishes it, or none.
struct StageCounters {
    const std::atomic<int32_t>* audio = nullptr;
    const std::atomic<int32_t>* video = nullptr;
};
StageCounters countersOf(const JobProgress& progress);

// Receives each counter value read, with its name ("Audio" or "Video").
using CounterTrace = std::function<void(const char* name, int32_t value)>;

// The bar position: 0 plus the value behind each counter that is set; nothing moves (the
// result is none) while the counters are not active.
bool progressPosition(bool countersActive, const StageCounters& counters, const CounterTrace& trace,
                      int32_t* position);
