#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "audio/adpcm_encoder.h"
#include "audio/wav_section.h"
#include "core/context.h"
#include "pipeline/handset_file.h"
#include "testing/test_util.h"

namespace {

using testing_util::TempDir;

std::vector<int16_t> sine(size_t n, double frequency, double rate, double amplitude = 12000.0) {
    std::vector<int16_t> s(n);
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<int16_t>(
            std::lround(amplitude * std::sin(2 * M_PI * frequency * double(i) / rate)));
    return s;
}

// Bytes the encoder writes for n coded samples: whole 256-byte blocks, then a started
// block's 4-byte header and its complete code bytes (a pending low nibble is not written).
int expectedAdpcmBytes(int n) {
    int blocks = n / kAdpcmSamplesPerBlock, rest = n % kAdpcmSamplesPerBlock;
    return blocks * kAdpcmBlockSize + (rest ? 4 + (rest - 1) / 2 : 0);
}

uint32_t le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}

TEST(AdpcmEncoderTest, BlockBoundaries) {
    auto s = sine(506, 300, 8000);
    std::vector<uint8_t> out(600);
    int16_t len = 0;
    adpcmReset();
    ASSERT_EQ(adpcmEncode(s.data(), 505, out.data(), &len), 1);
    EXPECT_EQ(len, 256);
    EXPECT_EQ(adpcmBlockCount(), 1u);
    // The block opens with the first sample unchanged, the step index 0 and a zero byte.
    EXPECT_EQ(out[0], static_cast<uint8_t>(s[0] & 0xFF));
    EXPECT_EQ(out[1], static_cast<uint8_t>((s[0] >> 8) & 0xFF));
    EXPECT_EQ(out[2], 0);
    EXPECT_EQ(out[3], 0);
    // The 506th sample opens a second block with its own 4-byte header.
    ASSERT_EQ(adpcmEncode(s.data() + 505, 1, out.data(), &len), 1);
    EXPECT_EQ(len, 4);
    EXPECT_EQ(out[0], static_cast<uint8_t>(s[505] & 0xFF));
    EXPECT_EQ(adpcmBlockCount(), 1u);
}

TEST(AdpcmEncoderTest, StopFlagRefusesEncoding) {
    int16_t s[4] = {1, 2, 3, 4};
    uint8_t out[16];
    int16_t len = 5;
    adpcmReset();
    adpcmStop();
    EXPECT_EQ(adpcmEncode(s, 4, out, &len), 0);
    EXPECT_EQ(len, 0);
    adpcmReset();
    EXPECT_EQ(adpcmEncode(s, 4, out, &len), 1);
    EXPECT_EQ(adpcmEncode(nullptr, 4, out, &len), 0);
}

TEST(AdpcmEncoderTest, WavHeaderForBothSourceKinds) {
    const struct {
        uint8_t isAac;
        uint32_t rate, byteRate;
    } cases[] = {{0, 8000, 4055}, {1, 16000, 8110}};
    for (const auto& c : cases) {
        g_context.isAac = c.isAac;
        adpcmReset();
        auto s = sine(1010, 300, c.rate);
        std::vector<uint8_t> out(1200);
        int16_t len = 0;
        ASSERT_EQ(adpcmEncode(s.data(), 1010, out.data(), &len), 1);
        uint8_t h[kWavHeaderSize];
        int16_t hlen = 0;
        buildWavHeader(h, &hlen);
        ASSERT_EQ(hlen, kWavHeaderSize);
        EXPECT_EQ(std::memcmp(h, "RIFF", 4), 0);
        EXPECT_EQ(le32(h + 4), 2u * 256 + 52);
        EXPECT_EQ(std::memcmp(h + 8, "WAVEfmt ", 8), 0);
        EXPECT_EQ(le32(h + 16), 20u);
        EXPECT_EQ(h[20], 17);
        EXPECT_EQ(h[22], 1);
        EXPECT_EQ(le32(h + 24), c.rate);
        EXPECT_EQ(le32(h + 28), c.byteRate);
        EXPECT_EQ(h[32] | (h[33] << 8), 256);
        EXPECT_EQ(h[34], 4);
        EXPECT_EQ(h[36], 2);
        EXPECT_EQ(h[38] | (h[39] << 8), 505);
        EXPECT_EQ(std::memcmp(h + 40, "fact", 4), 0);
        EXPECT_EQ(le32(h + 48), 2u * 505);
        EXPECT_EQ(std::memcmp(h + 52, "data", 4), 0);
        EXPECT_EQ(le32(h + 56), 2u * 256);
    }
}

// Encodes a WAV section into a fresh output file after `videoBytes` bytes of video.
class WavSectionTest : public ::testing::Test {
  protected:
    void SetUp() override {
        g_context.success = 1;
        g_context.headerSize = 24;
        g_context.videoBytes = 10;
        g_context.wavBytes = 0;
        g_context.output = std::fopen(path().c_str(), "wb+");
        ASSERT_NE(g_context.output, nullptr);
        std::vector<uint8_t> zeros(34, 0);
        std::fwrite(zeros.data(), 1, zeros.size(), g_context.output);
    }
    void TearDown() override {
        if (g_context.output) std::fclose(g_context.output);
        g_context.output = nullptr;
    }
    std::string path() const { return dir_.file("section.bin"); }
    std::vector<uint8_t> section() {
        std::fflush(g_context.output);
        auto all = testing_util::readFile(path());
        return std::vector<uint8_t>(all.begin() + 34, all.end());
    }
    TempDir dir_;
};

TEST_F(WavSectionTest, MemoryModeSampleCounts) {
    const struct {
        uint32_t count;
        int coded;
    } cases[] = {
        {1600, 1599},              // ten AMR frames: whole chunks minus the last sample
        {1000, 959},               // 6 whole chunks: 5 and 159 samples of the sixth
        {320, 319},   {200, 200},  // fewer than 320: every sample that exists, nothing past it
        {100, 100},   {0, 0},
    };
    for (const auto& c : cases) {
        SetUp();
        g_context.isAac = 0;
        auto s = sine(c.count, 400, 8000);
        encodeAdpcmSection(s.data(), c.count, false, std::string());
        EXPECT_EQ(g_context.success, 1);
        EXPECT_EQ(g_context.wavBytes, kWavHeaderSize + expectedAdpcmBytes(c.coded)) << c.count;
        EXPECT_EQ(std::ftell(g_context.output), 34 + g_context.wavBytes) << "position at the end";
        auto sec = section();
        ASSERT_EQ(sec.size(), static_cast<size_t>(g_context.wavBytes));
        EXPECT_EQ(le32(sec.data() + 56), 256u * (c.coded / 505));
        TearDown();
    }
}

TEST_F(WavSectionTest, FileModeEncodesEverySample) {
    const struct { size_t count; } cases[] = {{1600}, {1000}, {7}, {0}};
    for (const auto& c : cases) {
        SetUp();
        g_context.isAac = 1;
        auto s = sine(c.count, 1000, 16000);
        std::vector<uint8_t> bytes(s.size() * 2);
        if (!bytes.empty())
            std::memcpy(bytes.data(), s.data(), bytes.size());  // little-endian host
        testing_util::writeFile(dir_.file("audio.pcm"), bytes);
        encodeAdpcmSection(nullptr, 0, true, dir_.file("audio.pcm"));
        EXPECT_EQ(g_context.success, 1);
        EXPECT_EQ(g_context.wavBytes,
                  kWavHeaderSize + expectedAdpcmBytes(static_cast<int>(c.count)));
        auto sec = section();
        EXPECT_EQ(le32(sec.data() + 24), 16000u);
        TearDown();
    }
}

TEST_F(WavSectionTest, ThousandSamplesCountOneCompleteBlock) {
    g_context.isAac = 1;
    auto s = sine(1000, 1000, 16000);
    std::vector<uint8_t> bytes(s.size() * 2);
    std::memcpy(bytes.data(), s.data(), bytes.size());
    testing_util::writeFile(dir_.file("audio.pcm"), bytes);
    encodeAdpcmSection(nullptr, 0, true, dir_.file("audio.pcm"));
    auto sec = section();
    EXPECT_EQ(le32(sec.data() + 56), 256u);      // data chunk: one whole block
    EXPECT_EQ(le32(sec.data() + 4), 256u + 52);  // RIFF size
    EXPECT_EQ(g_context.wavBytes, 60 + 256 + 4 + 247);
}

TEST_F(WavSectionTest, MissingPcmFileFails) {
    encodeAdpcmSection(nullptr, 0, true, dir_.file("missing.pcm"));
    EXPECT_EQ(g_context.success, 0);
    EXPECT_EQ(g_context.wavBytes, 0);
}

// ffmpeg's IMA ADPCM WAV decoder must give the sine back.
TEST_F(WavSectionTest, FfmpegDecodesTheSectionBackToTheSine) {
    g_context.isAac = 1;
    const size_t n = 16000;
    auto s = sine(n, 440, 16000);
    std::vector<uint8_t> bytes(n * 2);
    std::memcpy(bytes.data(), s.data(), bytes.size());
    testing_util::writeFile(dir_.file("audio.pcm"), bytes);
    encodeAdpcmSection(nullptr, 0, true, dir_.file("audio.pcm"));
    ASSERT_EQ(g_context.success, 1);
    testing_util::writeFile(dir_.file("section.wav"), section());
    ASSERT_EQ(testing_util::ffmpeg("-i " + dir_.file("section.wav") +
                                   " -f s16le -acodec pcm_s16le " + dir_.file("decoded.raw")),
              0);
    auto decoded = testing_util::readFile(dir_.file("decoded.raw"));
    const size_t m = decoded.size() / 2;
    ASSERT_EQ(m, (n / 505) * 505);
    double signal = 0, noise = 0;
    for (size_t i = 0; i < m; ++i) {
        int16_t d = static_cast<int16_t>(decoded[2 * i] | (decoded[2 * i + 1] << 8));
        signal += double(s[i]) * s[i];
        noise += (double(d) - s[i]) * (double(d) - s[i]);
    }
    double snr = 10 * std::log10(signal / noise);
    EXPECT_GE(snr, 20.0);
    RecordProperty("snr_db", std::to_string(snr));
}

}  // namespace
