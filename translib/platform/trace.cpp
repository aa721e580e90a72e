#include "platform/trace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

namespace platform {

namespace {

std::atomic<bool> g_traceShown{true};
thread_local HeldTrace* t_held = nullptr;

// Bytes copied at a time when a spilled trace is printed.
constexpr size_t kCopyChunk = 16 * 1024;

bool stdoutGoesNowhere() {
    struct stat out, null;
    if (fstat(STDOUT_FILENO, &out) != 0) return true;
    if (!S_ISCHR(out.st_mode) || stat("/dev/null", &null) != 0) return false;
    return out.st_rdev == null.st_rdev;
}

}  // namespace

bool updateTraceTarget() {
    g_traceShown = !stdoutGoesNowhere();
    return g_traceShown;
}

bool traceShown() {
    return g_traceShown;
}

void traceV(const char* format, va_list args) {
    if (!g_traceShown) return;
    HeldTrace* held = t_held;
    if (!held) {
        std::vprintf(format, args);
        return;
    }
    char line[512];
    va_list again;
    va_copy(again, args);
    const int n = std::vsnprintf(line, sizeof line, format, args);
    if (n >= 0 && static_cast<size_t>(n) < sizeof line) {
        held->append(line, static_cast<size_t>(n));
    } else if (n >= 0) {
        std::string longer(static_cast<size_t>(n) + 1, '\0');
        std::vsnprintf(&longer[0], longer.size(), format, again);
        held->append(longer.data(), static_cast<size_t>(n));
    }
    va_end(again);
}

void trace(const char* format, ...) {
    if (!g_traceShown) return;
    va_list args;
    va_start(args, format);
    traceV(format, args);
    va_end(args);
}

HeldTrace::~HeldTrace() {
    discard();
}

void HeldTrace::append(const char* text, size_t bytes) {
    if (!spill_ && memory_.size() + bytes > kHeldInMemory) {
        spill_ = std::tmpfile();
        if (spill_ && std::fwrite(memory_.data(), 1, memory_.size(), spill_) == memory_.size())
            std::string().swap(memory_);
        else if (spill_) {
            std::fclose(spill_);
            spill_ = nullptr;
        }
    }
    if (spill_)
        std::fwrite(text, 1, bytes, spill_);
    else
        memory_.append(text, bytes);
}

void HeldTrace::print() {
    if (spill_) {
        std::rewind(spill_);
        char chunk[kCopyChunk];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, spill_)) > 0)
            std::fwrite(chunk, 1, n, stdout);
    } else {
        std::fwrite(memory_.data(), 1, memory_.size(), stdout);
    }
    discard();
}

void HeldTrace::discard() {
    if (spill_) std::fclose(spill_);
    spill_ = nullptr;
    std::string().swap(memory_);
}

TraceHoldScope::TraceHoldScope(HeldTrace& held) : previous_(t_held) {
    t_held = &held;
}

TraceHoldScope::~TraceHoldScope() {
    t_held = previous_;
}

}  // namespace platform
