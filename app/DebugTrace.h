#pragma once
// The desktop program's debug trace: lines for a developer (the progress counters the
// timer reads, why the version information could not be read). They go to standard error
// when the environment variable KINOLITE_TRACE is set, and nowhere otherwise.

// printf-style; the format carries its own line end.
void debugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
