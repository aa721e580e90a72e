#pragma once
// Frame-rate conversion: which source frames the encoder takes to go from the source's
// average frame rate S to the target frame rate T.

#include <cstdint>

// Whether source frame n (the first is 1) is taken. sourceRate must not be 0.
bool encKeepSourceFrame(uint32_t n, uint32_t targetRate, uint32_t sourceRate);
