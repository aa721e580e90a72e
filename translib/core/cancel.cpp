#include "core/cancel.h"

#include <atomic>

namespace {

std::atomic<bool> g_cancelled{false};
static_assert(std::atomic<bool>::is_always_lock_free, "cancelJob runs in signal handlers");

}  // namespace

void cancelJob() {
    g_cancelled.store(true, std::memory_order_relaxed);
}

bool jobCancelled() {
    return g_cancelled.load(std::memory_order_relaxed);
}

void clearJobCancel() {
    g_cancelled.store(false, std::memory_order_relaxed);
}
