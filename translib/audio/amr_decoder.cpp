#include "audio/amr_decoder.h"

#include <cstdio>
#include <cstring>

#include <opencore-amrnb/interf_dec.h>

#include "core/cancel.h"
#include "core/context.h"

namespace {
constexpr int kSamplesPerFrame = 160;
// Largest storage-format frame (header byte + 31 speech bytes of the 12.2 kbit/s mode).
constexpr int kLargestFrame = 32;
}  // namespace

int decodeAmr() {
    ConversionContext& c = g_context;
    c.pcmSampleCount = 0;
    std::vector<int16_t>().swap(c.pcmSamples);
    c.audioProgress = 0;

    std::fprintf(stderr, "AMR-NB decoder (opencore-amr), 8000 Hz mono\n");
    void* state = Decoder_Interface_init();
    if (!state) return 0;

    const uint32_t frameSize = c.amrFrameSize;
    const uint32_t stored = frameSize ? c.amrBytes / frameSize : 0;
    const uint32_t toDecode = stored >= 2 ? stored - 1 : 0;
    // The stored bytes can be fewer than amrBytes says only through a caller's mistake;
    // never read past what the buffer holds.
    const uint32_t available =
        frameSize ? static_cast<uint32_t>(c.amrBuffer.size()) / frameSize : 0;
    const uint32_t frames = toDecode < available ? toDecode : available;

    c.pcmSamples.reserve(static_cast<size_t>(frames) * kSamplesPerFrame);
    // Each frame is copied into a buffer as large as the largest frame type, so that the
    // library never reads past our data whatever frame type the header byte announces.
    uint8_t frame[kLargestFrame + 1];
    int16_t samples[kSamplesPerFrame];
    for (uint32_t k = 0; k < frames; ++k) {
        if (jobCancelled()) {
            c.success = 0;
            break;
        }
        ++c.audioProgress;
        std::memset(frame, 0, sizeof frame);
        std::memcpy(frame, c.amrBuffer.data() + static_cast<size_t>(k) * frameSize, frameSize);
        Decoder_Interface_Decode(state, frame, samples, 0);
        c.pcmSamples.insert(c.pcmSamples.end(), samples, samples + kSamplesPerFrame);
        c.pcmSampleCount += kSamplesPerFrame;
    }
    Decoder_Interface_exit(state);
    std::fprintf(stderr, "\n%s%i%s\n", "Decoded ", static_cast<int>(frames),
                 " g_trans_audio_framecounter.");
    return 0;
}
