#include "demux/demux_log.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"
#include "platform/trace.h"

namespace {

int printLine(const char* format, va_list args) {
    if (!platform::traceShown()) return 0;
    const char* line = platform::formatLogLine(format, args);
    return std::printf("%s\n", line);
}

}  // namespace

int log_Warning(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = printLine(format, args);
    va_end(args);
    return n;
}

int log_Debug(const char* format, ...) {
    va_list args;
    va_start(args, format);
    int n = printLine(format, args);
    va_end(args);
    return n;
}
