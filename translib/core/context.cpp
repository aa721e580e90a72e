#include "core/context.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"

ConversionContext g_context;
AacTrackParams g_aacParams;

int logError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const char* line = platform::formatLogLine(format, args);
    va_end(args);
    std::printf("%s\n", line);
    g_context.success = 0;
    return 1;
}
