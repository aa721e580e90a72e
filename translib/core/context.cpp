#include "core/context.h"

#include <cstdarg>
#include <cstdio>

#include "platform/platform.h"
#include "platform/trace.h"

ConversionContext g_context;
AacTrackParams g_aacParams;

void resetJob() {
    ConversionContext& c = g_context;
    if (c.output) std::fclose(c.output);
    if (c.pcmFile) std::fclose(c.pcmFile);
    static_cast<ConversionJobState&>(c) = ConversionJobState();
    c.success = 1;
    c.videoProgress = 0;
    c.audioProgress = 0;
}

int logError(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const char* line = platform::formatLogLine(format, args);
    va_end(args);
    platform::trace("%s\n", line);
    noteJobFailure(line);
    g_context.success = 0;
    return 1;
}

void noteJobFailure(const std::string& reason) {
    if (g_context.failure.empty()) g_context.failure = reason;
}
