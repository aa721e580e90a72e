#include "DebugTrace.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

bool traceEnabled() {
    static const bool enabled = std::getenv("KINOLITE_TRACE") != nullptr;
    return enabled;
}

}  // namespace

void debugTrace(const char* format, ...) {
    if (!traceEnabled()) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}
