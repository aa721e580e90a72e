#include "pipeline/handset_file.h"

#include <cstdio>
#include <cstring>

#include "core/context.h"
#include "core/fourcc.h"

namespace {

void putBigEndian32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 24);
    p[1] = static_cast<uint8_t>(v >> 16);
    p[2] = static_cast<uint8_t>(v >> 8);
    p[3] = static_cast<uint8_t>(v);
}

uint32_t bigEndian32(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}
uint32_t littleEndian32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
uint16_t littleEndian16(const uint8_t* p) {
    return uint16_t(p[0] | (p[1] << 8));
}

// The WAV section's fixed layout (the ADPCM writer produces exactly this).
constexpr uint32_t kWavHeaderSize = 60;
constexpr uint16_t kImaAdpcmFormat = 17;
constexpr uint16_t kBlockAlign = 256;
constexpr uint16_t kSamplesPerBlock = 505;

}  // namespace

uint32_t buildFileTag() {
    return fourcc('K', 'N', 'L', 'T');
}

void buildHandsetHeader(uint8_t out[kHandsetHeaderSize]) {
    const ConversionContext& c = g_context;
    out[0] = static_cast<uint8_t>(c.fileTag);
    out[1] = static_cast<uint8_t>(c.fileTag >> 8);
    out[2] = static_cast<uint8_t>(c.fileTag >> 16);
    out[3] = static_cast<uint8_t>(c.fileTag >> 24);
    putBigEndian32(out + 4, static_cast<uint32_t>(c.wavBytes));
    putBigEndian32(out + 8, static_cast<uint32_t>(c.videoBytes));
    putBigEndian32(out + 12, static_cast<uint32_t>(c.headerFrames));
    out[16] = 0;
    out[17] = static_cast<uint8_t>(c.frameRate);
    out[18] = 0;
    out[19] = static_cast<uint8_t>(c.width);
    out[20] = 0;
    out[21] = static_cast<uint8_t>(c.height);
    out[22] = 0;
    out[23] = 0;
}

bool writeHandsetHeader() {
    ConversionContext& c = g_context;
    if (!c.output) return false;
    uint8_t header[kHandsetHeaderSize];
    buildHandsetHeader(header);
    if (std::fseek(c.output, 0, SEEK_SET) != 0) return false;
    size_t written = std::fwrite(header, 1, c.headerSize, c.output);
    return written == kHandsetHeaderSize && std::fflush(c.output) == 0;
}

HandsetFileReport checkHandsetFile(const std::vector<uint8_t>& file) {
    HandsetFileReport r;
    auto add = [&r](const char* key, const std::string& value) {
        r.fields.emplace_back(key, value);
    };
    auto fail = [&r](const std::string& why) {
        r.ok = false;
        r.problem = why;
        return r;
    };
    const uint64_t size = file.size();
    if (size < kHandsetHeaderSize) return fail("shorter than the 24-byte header");

    const uint8_t* h = file.data();
    char tag[5];
    for (int i = 0; i < 4; ++i) tag[i] = (h[i] >= 0x20 && h[i] < 0x7f) ? char(h[i]) : '?';
    tag[4] = '\0';
    r.wavBytes = bigEndian32(h + 4);
    r.videoBytes = bigEndian32(h + 8);
    uint32_t frames = bigEndian32(h + 12);
    add("tag", tag);
    add("wav_bytes", std::to_string(r.wavBytes));
    add("video_bytes", std::to_string(r.videoBytes));
    add("frames", std::to_string(frames));
    add("frame_rate", std::to_string((h[16] << 8) | h[17]));
    add("width", std::to_string((h[18] << 8) | h[19]));
    add("height", std::to_string((h[20] << 8) | h[21]));
    add("file_size", std::to_string(size));

    uint32_t expectedTag = buildFileTag();
    if (littleEndian32(h) != expectedTag) return fail("the tag is not KNLT");
    if (h[16] || h[18] || h[20] || h[22] || h[23]) return fail("header padding bytes are not zero");
    r.videoOffset = kHandsetHeaderSize;
    r.wavOffset = kHandsetHeaderSize + r.videoBytes;
    if (uint64_t(kHandsetHeaderSize) + r.videoBytes + r.wavBytes != size)
        return fail("file size is not 24 + video_bytes + wav_bytes");
    if (r.wavBytes < kWavHeaderSize) return fail("WAV section shorter than its 60-byte header");

    const uint8_t* w = h + r.wavOffset;
    uint16_t format = littleEndian16(w + 20);
    uint16_t channels = littleEndian16(w + 22);
    uint32_t sampleRate = littleEndian32(w + 24);
    uint32_t byteRate = littleEndian32(w + 28);
    uint16_t blockAlign = littleEndian16(w + 32);
    uint16_t samplesPerBlock = littleEndian16(w + 38);
    uint32_t dataSize = littleEndian32(w + 56);
    uint32_t blocks = blockAlign ? dataSize / blockAlign : 0;
    add("format", std::to_string(format));
    add("channels", std::to_string(channels));
    add("sample_rate", std::to_string(sampleRate));
    add("byte_rate", std::to_string(byteRate));
    add("block_align", std::to_string(blockAlign));
    add("samples_per_block", std::to_string(samplesPerBlock));
    add("blocks", std::to_string(blocks));
    add("data_size", std::to_string(dataSize));

    if (std::memcmp(w, "RIFF", 4) != 0) return fail("no RIFF chunk at 24 + video_bytes");
    if (std::memcmp(w + 8, "WAVE", 4) != 0) return fail("RIFF form is not WAVE");
    if (std::memcmp(w + 12, "fmt ", 4) != 0 || littleEndian32(w + 16) != 20)
        return fail("no 20-byte fmt chunk");
    if (std::memcmp(w + 40, "fact", 4) != 0 || littleEndian32(w + 44) != 4)
        return fail("no 4-byte fact chunk");
    if (std::memcmp(w + 52, "data", 4) != 0) return fail("no data chunk");
    if (format != kImaAdpcmFormat) return fail("format is not IMA ADPCM (17)");
    if (channels != 1) return fail("audio is not mono");
    if (sampleRate != 8000 && sampleRate != 16000)
        return fail("sample rate is neither 8000 nor 16000");
    if (byteRate != kBlockAlign * sampleRate / kSamplesPerBlock)
        return fail("byte rate does not match");
    if (blockAlign != kBlockAlign) return fail("block align is not 256");
    if (littleEndian16(w + 34) != 4 || littleEndian16(w + 36) != 2)
        return fail("bits per sample or extra size wrong");
    if (samplesPerBlock != kSamplesPerBlock) return fail("samples per block is not 505");
    if (dataSize % kBlockAlign != 0) return fail("data size is not a whole number of blocks");
    if (littleEndian32(w + 4) != kBlockAlign * blocks + 52)
        return fail("RIFF size does not match the blocks");
    if (littleEndian32(w + 48) != kSamplesPerBlock * blocks)
        return fail("fact sample count does not match the blocks");
    if (uint64_t(dataSize) > r.wavBytes - kWavHeaderSize)
        return fail("data size exceeds the WAV section");

    if (r.videoBytes > 0) {
        const uint8_t* v = h + kHandsetHeaderSize;
        static const uint8_t kVoStart[4] = {0, 0, 1, 0};
        if (r.videoBytes < 8 || std::memcmp(v, kVoStart, 4) != 0)
            return fail("video section does not start with a VO start code");
        if (v[4] != 0 || v[5] != 0 || v[6] != 1 || (v[7] & 0xF0) != 0x20)
            return fail("no VOL start code after the VO start code");
    }
    r.ok = true;
    return r;
}
