#pragma once
// AMR narrow-band decoding of the frames collected while demultiplexing.

#include <cstdint>

// Decodes amrBytes / amrFrameSize - 1 frames of amrBuffer (taken at the fixed stride
// amrFrameSize) into pcmSamples, 160 samples at 8000 Hz per frame; audioProgress counts
// the frames. Returns 0.
int decodeAmr();
