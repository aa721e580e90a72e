#pragma once
// The AAC decoder instance of the job (g_context.aacDecoder), opened per AAC track.

#include <cstdint>

// Closes the decoder kept before, opens a new one for 16-bit output without down-mixing,
// and initialises it on the track's AudioSpecificConfig (`length` bytes; none when the
// track has no decoder-specific bytes). Sets g_aacParams.initialized to whether the
// decoder accepted the configuration and returns that.
bool openAacDecoder(const uint8_t* config, int32_t length);
