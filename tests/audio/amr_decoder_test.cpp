#include <gtest/gtest.h>

#include <random>

#include "audio/amr_decoder.h"
#include "core/context.h"
#include "testing/test_util.h"

namespace {

constexpr size_t kAmrMagicSize = 6;  // "#!AMR\n"

void storeFrames(const std::vector<uint8_t>& frames, uint8_t frameSize) {
    g_context.amrBuffer = frames;
    g_context.amrBytes = static_cast<uint32_t>(frames.size());
    g_context.amrFrameSize = frameSize;
    g_context.amrBuffer.push_back(0);  // the audio stage's extra zero byte
}

TEST(AmrDecoderTest, TenStoredFramesDecodeToNine) {
    auto file = testing_util::readFile(testing_util::fixturePath("amr/tone10_122.amr"));
    ASSERT_EQ(file.size(), kAmrMagicSize + 10 * 32);
    storeFrames(std::vector<uint8_t>(file.begin() + kAmrMagicSize, file.end()), 32);
    decodeAmr();
    EXPECT_EQ(g_context.pcmSampleCount, 1440);
    EXPECT_EQ(g_context.pcmSamples.size(), 1440u);
    EXPECT_EQ(g_context.audioProgress, 9);
    // A 440 Hz tone comes out with energy, not silence.
    long energy = 0;
    for (int16_t s : g_context.pcmSamples) energy += std::abs(s);
    EXPECT_GT(energy, 1440L * 100);
}

TEST(AmrDecoderTest, FewerThanTwoFramesDecodeToNothing) {
    for (size_t bytes : {0, 31, 32, 63}) {
        storeFrames(std::vector<uint8_t>(bytes, 0x3C), 32);
        decodeAmr();
        EXPECT_EQ(g_context.pcmSampleCount, 0) << bytes;
        EXPECT_TRUE(g_context.pcmSamples.empty());
    }
}

// Whatever the header bytes announce, the fixed stride keeps the frame boundaries and the
// library never reads past the stored bytes.
TEST(AmrDecoderTest, InvalidFrameHeadersDoNotCrash) {
    std::mt19937 rng(1234);
    for (uint8_t frameSize : {20, 27, 32}) {
        std::vector<uint8_t> frames(static_cast<size_t>(frameSize) * 50);
        for (auto& b : frames) b = static_cast<uint8_t>(rng());
        storeFrames(frames, frameSize);
        decodeAmr();
        EXPECT_EQ(g_context.pcmSampleCount, 49 * 160);
    }
}

}  // namespace
