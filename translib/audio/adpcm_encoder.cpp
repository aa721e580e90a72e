#include "audio/adpcm_encoder.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "core/context.h"
#include "tables/std_tables.h"

namespace {

constexpr int kMaxStepIndex = 88;
constexpr int kBlockHeaderSize = 4;
// The WAV section's rate: AAC audio is brought to 16 kHz, AMR-NB is 8 kHz.
constexpr uint32_t kAacWavRate = 16000;
constexpr uint32_t kAmrWavRate = 8000;

struct AdpcmState {
    int32_t predictor = 0;
    int16_t stepIndex = 0;
    int16_t blockPosition = 0;
    int16_t blockSize = kAdpcmBlockSize;
    int16_t channels = 1;
    uint32_t blocks = 0;
    uint8_t pendingByte = 0;
    bool wantLow = true;
    bool lowHeld = false;
};

AdpcmState g_adpcm;

}  // namespace

// Read before every sample; the only field designed to be set from elsewhere.
static std::atomic<bool> b_is_adpcm_encode_stop{false};

void adpcmReset() {
    g_adpcm = AdpcmState();
    b_is_adpcm_encode_stop = false;
}

void adpcmStop() {
    if (!b_is_adpcm_encode_stop) b_is_adpcm_encode_stop = true;
}

uint32_t adpcmBlockCount() {
    return g_adpcm.blocks;
}

int adpcmEncode(const int16_t* samples, int16_t n, uint8_t* out, int16_t* outLength) {
    if (!samples || !out || !outLength || n < 0) {
        std::printf("input parameters invalid!\n");
        return 0;
    }
    *outLength = 0;
    if (b_is_adpcm_encode_stop) {
        std::printf("Flag b_is_adpcm_encode_stop has not been reset before encoding!\n");
        return 0;
    }
    AdpcmState& s = g_adpcm;
    for (int k = 0; k < n && !b_is_adpcm_encode_stop; ++k) {
        const int32_t sample = samples[k];
        if (s.blockPosition == 0) {
            out[(*outLength)++] = static_cast<uint8_t>(sample & 0xFF);
            out[(*outLength)++] = static_cast<uint8_t>((sample >> 8) & 0xFF);
            out[(*outLength)++] = static_cast<uint8_t>(s.stepIndex);
            out[(*outLength)++] = 0;
            s.blockPosition = kBlockHeaderSize;
            s.predictor = sample;
            continue;
        }
        int32_t step = tables::kImaStepSize[s.stepIndex];
        int32_t diff = sample - s.predictor;
        int code = 0;
        if (diff < 0) {
            code = 8;
            diff = -diff;
        }
        int32_t delta = step >> 3;
        if (diff >= step) {
            code |= 4;
            diff -= step;
            delta += step;
        }
        step >>= 1;
        if (diff >= step) {
            code |= 2;
            diff -= step;
            delta += step;
        }
        step >>= 1;
        if (diff >= step) {
            code |= 1;
            delta += step;
        }
        s.predictor += (code & 8) ? -delta : delta;
        if (s.predictor > 32767) s.predictor = 32767;
        if (s.predictor < -32768) s.predictor = -32768;
        s.stepIndex = static_cast<int16_t>(s.stepIndex + tables::kImaIndexAdjust[code & 7]);
        if (s.stepIndex < 0) s.stepIndex = 0;
        if (s.stepIndex > kMaxStepIndex) s.stepIndex = kMaxStepIndex;

        if (s.wantLow && !s.lowHeld) {
            s.pendingByte = static_cast<uint8_t>(code & 0x0F);
            s.wantLow = false;
            s.lowHeld = true;
        } else if (s.lowHeld && !s.wantLow) {
            s.pendingByte = static_cast<uint8_t>(s.pendingByte | ((code << 4) & 0xF0));
            s.lowHeld = false;
            out[(*outLength)++] = s.pendingByte;
            if (++s.blockPosition == s.blockSize) {
                s.blockPosition = 0;
                ++s.blocks;
            }
            s.wantLow = true;
        } else {
            std::printf("error in IMA ADPCM encoding!\n");
            return 0;
        }
    }
    return 1;
}

namespace {

uint8_t* putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
    return p + 4;
}
uint8_t* putLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    return p + 2;
}
uint8_t* putId(uint8_t* p, const char* id) {
    std::memcpy(p, id, 4);
    return p + 4;
}

}  // namespace

void buildWavHeader(uint8_t* out, int16_t* outLength) {
    if (!out || !outLength) {
        std::printf("input ADPCM data pointer invalid!\n");
        if (outLength) *outLength = 0;
        return;
    }
    const AdpcmState& s = g_adpcm;
    const uint32_t sampleRate = g_context.isAac ? kAacWavRate : kAmrWavRate;
    const uint32_t blockSize = static_cast<uint32_t>(s.blockSize);
    const uint16_t samplesPerBlock =
        static_cast<uint16_t>(((blockSize - 4 * s.channels) * 8) / 4 / s.channels + 1);
    uint8_t* p = out;
    int length = 0;
    // RIFF part
    p = putId(p, "RIFF");
    p = putLe32(p, blockSize * s.blocks + 52);
    p = putId(p, "WAVE");
    length += 12;
    // fmt chunk
    p = putId(p, "fmt ");
    p = putLe32(p, 20);
    p = putLe16(p, 17);  // IMA ADPCM
    p = putLe16(p, static_cast<uint16_t>(s.channels));
    p = putLe32(p, sampleRate);
    p = putLe32(p, blockSize * sampleRate / samplesPerBlock);
    p = putLe16(p, static_cast<uint16_t>(blockSize));
    p = putLe16(p, 4);  // bits per sample
    p = putLe16(p, 2);  // extra size
    p = putLe16(p, samplesPerBlock);
    length += 28;
    // fact chunk
    p = putId(p, "fact");
    p = putLe32(p, 4);
    p = putLe32(p, samplesPerBlock * s.blocks);
    length += 12;
    // data chunk header
    p = putId(p, "data");
    p = putLe32(p, blockSize * s.blocks);
    length += 8;
    *outLength = static_cast<int16_t>(length);
    if (length != kWavHeaderSize) {
        std::printf("The header size of wav file for ADCPM is not 60 bytes\n");
        std::printf("The header size of wav file for ADCPM is %d!\n", length);
    }
}
