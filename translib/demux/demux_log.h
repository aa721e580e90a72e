#pragma once
// The demultiplexer's warning and debug levels. Both print the formatted line and a line
// feed on standard output (through the shared bounded line buffer) and return the number
// of characters printed (0, with nothing formatted, while the trace goes nowhere); neither
// touches `success`. There is no level filter.

int log_Warning(const char* format, ...) __attribute__((format(printf, 1, 2)));
int log_Debug(const char* format, ...) __attribute__((format(printf, 1, 2)));
