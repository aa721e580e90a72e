#include <gtest/gtest.h>

#include <opencore-amrnb/interf_dec.h>

#include <random>
#include <set>
#include <sstream>

#include "audio/amr_decoder.h"
#include "core/context.h"
#include "testing/test_util.h"

namespace {

constexpr size_t kAmrMagicSize = 6;  // "#!AMR\n"

void storeFrames(const std::vector<uint8_t>& frames, uint32_t count) {
    g_context.amrBuffer = frames;
    g_context.amrBytes = static_cast<uint32_t>(frames.size());
    g_context.amrFrames = count;
    g_context.amrBuffer.push_back(0);  // the audio stage's extra zero byte
}

TEST(AmrDecoderTest, TenStoredFramesDecodeToNine) {
    auto file = testing_util::readFile(testing_util::fixturePath("amr/tone10_122.amr"));
    ASSERT_EQ(file.size(), kAmrMagicSize + 10 * 32);
    storeFrames(std::vector<uint8_t>(file.begin() + kAmrMagicSize, file.end()), 10);
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
    for (uint32_t frames : {0u, 1u}) {
        storeFrames(std::vector<uint8_t>(32 * frames, 0x3C), frames);
        decodeAmr();
        EXPECT_EQ(g_context.pcmSampleCount, 0) << frames;
        EXPECT_TRUE(g_context.pcmSamples.empty());
    }
}

// Whatever the header bytes announce, the library never reads past the stored bytes.
TEST(AmrDecoderTest, InvalidFrameHeadersDoNotCrash) {
    std::mt19937 rng(1234);
    for (size_t bytes : {20, 270, 1600}) {
        std::vector<uint8_t> frames(bytes);
        for (auto& b : frames) b = static_cast<uint8_t>(rng());
        storeFrames(frames, 50);
        decodeAmr();
        EXPECT_GT(g_context.pcmSampleCount, 0);
        EXPECT_LE(g_context.pcmSampleCount, 49 * 160);
    }
}

// Frames of every mode, SID and NO_DATA frames among them: each frame is decoded where its
// own header byte puts it, as opencore decodes the same frames one by one (their bounds
// from ffprobe's packets).
TEST(AmrDecoderTest, EveryModeAndPauseFramesDecodeAsOpencoreDecodesThem) {
    const std::string path = testing_util::fixturePath("amr/switch_dtx.amr");
    const auto file = testing_util::readFile(path);
    auto probe = testing_util::runCommand(
        "ffprobe -v error -show_entries packet=size -of csv=p=0 " + testing_util::shellQuote(path));
    ASSERT_EQ(probe.exitCode, 0);
    std::vector<size_t> sizes;
    std::istringstream lines(probe.output);
    for (size_t n; lines >> n;) sizes.push_back(n);
    ASSERT_EQ(sizes.size(), 150u);

    std::set<int> types;
    std::vector<int16_t> theirs;
    void* state = Decoder_Interface_init();
    size_t at = kAmrMagicSize;
    for (size_t size : sizes) {
        ASSERT_LE(at + size, file.size());
        types.insert((file[at] >> 3) & 0x0F);
        std::vector<uint8_t> frame(file.begin() + long(at), file.begin() + long(at + size));
        frame.resize(64);
        int16_t samples[160];
        Decoder_Interface_Decode(state, frame.data(), samples, 0);
        theirs.insert(theirs.end(), samples, samples + 160);
        at += size;
    }
    Decoder_Interface_exit(state);
    ASSERT_EQ(at, file.size());
    // All eight modes, SID (8) and NO_DATA (15).
    EXPECT_EQ(types, (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 15}));

    storeFrames(std::vector<uint8_t>(file.begin() + kAmrMagicSize, file.end()), 150);
    decodeAmr();
    ASSERT_EQ(g_context.pcmSampleCount, 149 * 160);
    theirs.resize(149 * 160);
    EXPECT_TRUE(g_context.pcmSamples == theirs);
}

}  // namespace
