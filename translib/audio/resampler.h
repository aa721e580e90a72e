#pragma once
// Two-channel linear-interpolation rate converter in integer arithmetic. Rates are
// counted in units of 1/25 of their value. The state (position, phase, carried samples)
// runs on from one call to the next within one stream.

#include <cstdint>

// Starts a stream: sets the target rate (16000 in this system), its unit U = rate / 25 and
// the gain G = 16384 / U, and puts position, phase and the carried samples back to 0, so
// that no stream (no job) depends on the one before.
void resampleInit(uint32_t targetRate);

// Converts n new samples per channel. inFirst and inSecond hold n + 1 samples each:
// element 0 is the last sample of the previous call (written here for the next call),
// elements 1..n are new. Returns the number of output samples per channel, always even;
// an odd last sample is carried over to the next call. The outputs need room for
// n * targetRate / sourceRate + 2 samples.
int resample(int16_t* inFirst, int16_t* inSecond, int n, uint32_t sourceRate, int16_t* outFirst,
             int16_t* outSecond);

// Resets the running state to its start-of-process values (for tests).
void resampleResetState();
