#pragma once
// The WAV section of the handset movie file: IMA ADPCM blocks after the video stream,
// then the 60-byte WAV header written into the gap in front of them.

#include <cstdint>
#include <string>

// Memory mode (fromFile false): encodes `count` samples from `samples`; with 320 samples
// or more the last one of the whole 160-sample chunks and everything after it are left
// out, as the chunking has always done. File mode: encodes every 16-bit little-endian
// sample of the file at pcmPath. Writes into the context's `output` at
// 84 + videoBytes (header at 24 + videoBytes), adds every byte to wavBytes, leaves the
// file positioned at its end and clears `success` on failure.
void encodeAdpcmSection(const int16_t* samples, uint32_t count, bool fromFile,
                        const std::string& pcmPath);
