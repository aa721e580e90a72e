// The library audio decoder: a sample that holds several AMR-WB frames (as phones store
// them) decodes to all of them, 320 samples of 16 kHz each; a sample without a frame is
// refused.

#include <gtest/gtest.h>

#include "audio/lavc_audio.h"
#include "testing/test_util.h"

namespace {

// Storage-format header of the fixture, and its frames: mode 2 (12.65 kbit/s), 33 bytes.
constexpr size_t kMagicBytes = 9;
constexpr size_t kFrameBytes = 33;
constexpr int kFrameSamples = 320;

struct Collected {
    int samples = 0;
    int frames = 0;
    uint32_t rate = 0;
    bool mono = true;
};

bool collect(const int16_t* first, const int16_t* second, int n, uint32_t rate, void* user) {
    Collected* c = static_cast<Collected*>(user);
    c->samples += n;
    ++c->frames;
    c->rate = rate;
    for (int i = 0; i < n; ++i) c->mono = c->mono && first[i] == second[i];
    return true;
}

TEST(LibraryAudioTest, AmrWbSampleOfSeveralFrames) {
    const std::vector<uint8_t> file =
        testing_util::readFile(testing_util::fixturePath("amr/tone_wb_1265.awb"));
    ASSERT_GT(file.size(), kMagicBytes + 10 * kFrameBytes);
    LibraryAudioDecoder* d = libraryAudioOpen(LibraryAudioCodec::AmrWb, 16000, 1);
    ASSERT_NE(d, nullptr);
    Collected c;
    // Two samples of five frames each.
    for (int sample = 0; sample < 2; ++sample) {
        const uint8_t* at = file.data() + kMagicBytes + sample * 5 * kFrameBytes;
        EXPECT_TRUE(libraryAudioDecode(d, at, 5 * kFrameBytes, collect, &c));
    }
    libraryAudioClose(d);
    EXPECT_EQ(c.samples, 10 * kFrameSamples);
    EXPECT_EQ(c.rate, 16000u);
    EXPECT_TRUE(c.mono);
}

TEST(LibraryAudioTest, RefusesASampleWithoutAFrame) {
    LibraryAudioDecoder* d = libraryAudioOpen(LibraryAudioCodec::Mp3, 44100, 2);
    ASSERT_NE(d, nullptr);
    Collected c;
    const std::vector<uint8_t> zeros(64, 0);
    EXPECT_FALSE(
        libraryAudioDecode(d, zeros.data(), static_cast<int32_t>(zeros.size()), collect, &c));
    libraryAudioClose(d);
    EXPECT_EQ(c.samples, 0);
}

}  // namespace
