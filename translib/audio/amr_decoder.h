#pragma once
// AMR narrow-band decoding of the frames collected while demultiplexing.

#include <cstdint>

// Decodes all but the last of the amrFrames storage-format frames in amrBuffer (each as
// long as its header byte says; SID and NO_DATA frames included) into pcmSamples, 160
// samples at 8000 Hz per frame; audioProgress counts the frames. Returns 0.
int decodeAmr();
