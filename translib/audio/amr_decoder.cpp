#include "audio/amr_decoder.h"

#include <cstdio>
#include <cstring>

#include <opencore-amrnb/interf_dec.h>

#include "audio/amr_frames.h"
#include "core/cancel.h"
#include "core/context.h"

namespace {
constexpr int kSamplesPerFrame = 160;
}  // namespace

int decodeAmr() {
    ConversionContext& c = g_context;
    c.pcmSampleCount = 0;
    std::vector<int16_t>().swap(c.pcmSamples);
    c.audioProgress = 0;

    std::fprintf(stderr, "AMR-NB decoder (opencore-amr), 8000 Hz mono\n");
    void* state = Decoder_Interface_init();
    if (!state) return 0;

    // Every stored frame but the last is decoded. The stored bytes can be fewer than
    // amrBytes says only through a caller's mistake; never read past what the buffer holds.
    const size_t stored = c.amrBytes < c.amrBuffer.size() ? c.amrBytes : c.amrBuffer.size();
    const uint32_t frames = c.amrFrames >= 2 ? c.amrFrames - 1 : 0;
    c.pcmSamples.reserve(static_cast<size_t>(frames) * kSamplesPerFrame);
    // Each frame is copied into a buffer as large as the largest frame type, so that the
    // library never reads past our data whatever the header byte announces.
    uint8_t frame[amr::kLargestFrameBytes + 1];
    int16_t samples[kSamplesPerFrame];
    size_t at = 0;
    uint32_t decoded = 0;
    for (; decoded < frames && at < stored; ++decoded) {
        const size_t size = amr::storageFrameBytes(c.amrBuffer[at]);
        const size_t n = size < stored - at ? size : stored - at;
        if (jobCancelled()) {
            c.success = 0;
            break;
        }
        ++c.audioProgress;
        std::memset(frame, 0, sizeof frame);
        std::memcpy(frame, c.amrBuffer.data() + at, n);
        at += n;
        Decoder_Interface_Decode(state, frame, samples, 0);
        c.pcmSamples.insert(c.pcmSamples.end(), samples, samples + kSamplesPerFrame);
        c.pcmSampleCount += kSamplesPerFrame;
    }
    Decoder_Interface_exit(state);
    std::fprintf(stderr, "\n%s%i%s\n", "Decoded ", static_cast<int>(decoded),
                 " g_trans_audio_framecounter.");
    return 0;
}
