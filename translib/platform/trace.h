#pragma once
// The diagnostic trace: printf-style lines on standard output. Nothing is formatted while
// standard output goes nowhere (closed, or /dev/null). A thread can hold its lines back and
// have them printed later in one piece, so that two stages that run side by side still
// print in the order they would print one after the other.

#include <cstdarg>
#include <cstdio>
#include <string>

namespace platform {

// Formats and prints a piece of the trace, as printf would, unless the trace goes nowhere;
// while the calling thread holds its trace (TraceHoldScope), the piece is kept instead.
void trace(const char* format, ...) __attribute__((format(printf, 1, 2)));
void traceV(const char* format, va_list args);

// Looks again where standard output goes; the entry points of a job and of the codecs call
// it. Returns traceShown().
bool updateTraceTarget();

// False while standard output is closed or /dev/null (as the last update found it).
bool traceShown();

// Lines held back: kept in memory up to kHeldInMemory bytes, then in an anonymous
// temporary file, so that a long run's trace does not grow the process.
class HeldTrace {
  public:
    static constexpr size_t kHeldInMemory = 256 * 1024;

    HeldTrace() = default;
    ~HeldTrace();
    HeldTrace(const HeldTrace&) = delete;
    HeldTrace& operator=(const HeldTrace&) = delete;

    void append(const char* text, size_t bytes);
    // Prints what is held on standard output and forgets it.
    void print();
    // Forgets what is held.
    void discard();

  private:
    std::string memory_;
    FILE* spill_ = nullptr;
};

// While it lives, the trace of the thread that made it goes into `held`.
class TraceHoldScope {
  public:
    explicit TraceHoldScope(HeldTrace& held);
    ~TraceHoldScope();
    TraceHoldScope(const TraceHoldScope&) = delete;
    TraceHoldScope& operator=(const TraceHoldScope&) = delete;

  private:
    HeldTrace* previous_;
};

}  // namespace platform
