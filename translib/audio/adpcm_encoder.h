#pragma once
// IMA ADPCM encoder producing mono 256-byte blocks of 505 samples (the IMA ADPCM WAV
// block layout), and the 60-byte WAV header that describes them. One process-wide encoder.

#include <cstdint>

constexpr int kAdpcmBlockSize = 256;
constexpr int kAdpcmSamplesPerBlock = 505;
constexpr int kWavHeaderSize = 60;

// Sets the encoder state to its reset values: step index 0, no open block, no pending
// nibble, block count 0, stop flag clear.
void adpcmReset();

// Encodes n samples into `out`, setting *outLength to the bytes produced. Blocks and nibble
// pairs run across calls. Returns 1, or 0 when the stop flag was set, on an internal
// state error or when the arguments are invalid (with a message).
int adpcmEncode(const int16_t* samples, int16_t n, uint8_t* out, int16_t* outLength);

// Asks a running encoding to stop at the next sample.
void adpcmStop();

// Writes the 60-byte WAV header of the blocks completed so far and sets *outLength to 60.
// The sample rate is 16000 for AAC sources (isAac) and 8000 otherwise.
void buildWavHeader(uint8_t* out, int16_t* outLength);

// Completed blocks since the last reset.
uint32_t adpcmBlockCount();
