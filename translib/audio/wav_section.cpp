#include "audio/wav_section.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "audio/adpcm_encoder.h"
#include "core/cancel.h"
#include "core/context.h"

namespace {

// Input is taken one AMR frame's worth at a time.
constexpr int kChunkSamples = 160;

// Where the chunks come from: the PCM file or the sample array.
class ChunkSource {
  public:
    ChunkSource(FILE* file, const int16_t* samples, uint32_t count)
        : file_(file), samples_(samples), count_(count) {}

    // Takes up to `wanted` samples into `chunk`; returns how many it took.
    int take(int16_t* chunk, int wanted) {
        if (file_) {
            uint8_t bytes[kChunkSamples * 2];
            size_t n = std::fread(bytes, 2, static_cast<size_t>(wanted), file_);
            for (size_t i = 0; i < n; ++i)
                chunk[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
            return static_cast<int>(n);
        }
        // Memory mode never reads past `count`: a short array gives a short chunk.
        uint32_t available = count_ - std::min(count_, next_);
        int n = static_cast<int>(std::min<uint32_t>(static_cast<uint32_t>(wanted), available));
        if (n > 0) std::memcpy(chunk, samples_ + next_, static_cast<size_t>(n) * sizeof(int16_t));
        next_ += static_cast<uint32_t>(wanted);
        return n;
    }

  private:
    FILE* file_;
    const int16_t* samples_;
    uint32_t count_;
    uint32_t next_ = 0;
};

bool writeAll(const uint8_t* data, size_t n, FILE* f) {
    return n == 0 || std::fwrite(data, 1, n, f) == n;
}

}  // namespace

void encodeAdpcmSection(const int16_t* samples, uint32_t count, bool fromFile,
                        const std::string& pcmPath) {
    ConversionContext& c = g_context;
    FILE* pcm = nullptr;
    // Memory mode: chunks left to take, counting the one that gets shortened.
    uint32_t chunksLeft = 0;
    if (fromFile) {
        pcm = std::fopen(pcmPath.c_str(), "rb");
        if (!pcm) {
            std::printf("can't open file!\n");
            c.success = 0;
            return;
        }
    } else {
        chunksLeft = count / kChunkSamples + 1;
    }
    auto finish = [&pcm]() {
        if (pcm) std::fclose(pcm);
        pcm = nullptr;
    };
    if (!c.output) {
        c.success = 0;
        finish();
        return;
    }

    adpcmReset();
    const long dataStart = static_cast<long>(c.headerSize) + c.videoBytes + kWavHeaderSize;
    if (std::fseek(c.output, dataStart, SEEK_SET) != 0) {
        c.success = 0;
        finish();
        return;
    }

    ChunkSource source(pcm, samples, count);
    int16_t chunk[kChunkSamples];
    uint8_t coded[kChunkSamples];
    int16_t codedLength = 0;
    int k = source.take(chunk, kChunkSamples);
    while (k == kChunkSamples) {
        if (jobCancelled()) {
            c.success = 0;
            finish();
            return;
        }
        if (!adpcmEncode(chunk, static_cast<int16_t>(k), coded, &codedLength)) {
            std::printf("encoding is not correct!\n");
            c.success = 0;
            finish();
            return;
        }
        c.wavBytes += codedLength;
        if (!writeAll(coded, static_cast<size_t>(codedLength), c.output)) {
            c.success = 0;
            finish();
            return;
        }
        k = source.take(chunk, kChunkSamples);
        if (!fromFile && --chunksLeft < 3) k = std::min(k, kChunkSamples - 1);
    }
    if (adpcmEncode(chunk, static_cast<int16_t>(k), coded, &codedLength)) {
        c.wavBytes += codedLength;
        if (!writeAll(coded, static_cast<size_t>(codedLength), c.output)) {
            std::printf("write data error!\n");
            c.success = 0;
            finish();
            return;
        }
    }

    uint8_t header[kWavHeaderSize];
    int16_t headerLength = 0;
    buildWavHeader(header, &headerLength);
    c.wavBytes += headerLength;
    if (std::fseek(c.output, static_cast<long>(c.headerSize) + c.videoBytes, SEEK_SET) != 0 ||
        !writeAll(header, static_cast<size_t>(headerLength), c.output)) {
        c.success = 0;
        finish();
        return;
    }
    std::fseek(c.output, 0, SEEK_END);
    if (headerLength != kWavHeaderSize) {
        std::printf("header size needs to be reset");
        c.success = 0;
        finish();
        return;
    }
    finish();
}
