#pragma once
// Entry points of the demultiplexer beside the pipeline's: opening on another stream
// sink, as the tests do to watch what is delivered.

#include "demux/es_out.h"

// DEMUX_Open on a sink of the caller's; closeSink(sink) runs when the demultiplexer
// closes, or at once when opening fails.
int DEMUX_OpenWithSink(const char* sourcePath, EsOut* sink, void (*closeSink)(EsOut*));
