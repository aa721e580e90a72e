#include <gtest/gtest.h>

#include <cstring>

#include "core/context.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_driver.h"
#include "testing/test_util.h"

namespace {

struct FrameRateCase {
    uint16_t width, height;
    uint32_t frameRate;
    bool accepted;
};

class FrameRateTableTest : public ::testing::TestWithParam<FrameRateCase> {};

TEST_P(FrameRateTableTest, ApplyJobSettingsLooksUpTheRate) {
    const FrameRateCase& c = GetParam();
    JobSettings s;
    s.width = c.width;
    s.height = c.height;
    g_context.videoProgress = 7;
    g_context.audioProgress = 9;
    applyJobSettings(s);
    EXPECT_EQ(g_context.frameRate, c.frameRate);
    EXPECT_EQ(g_context.success, c.accepted ? 1 : 0);
    EXPECT_EQ(g_context.videoProgress, 0);
    EXPECT_EQ(g_context.audioProgress, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, FrameRateTableTest,
    ::testing::Values(FrameRateCase{160, 96, 10, true}, FrameRateCase{160, 128, 8, true},
                      FrameRateCase{176, 144, 8, true}, FrameRateCase{128, 96, 15, true},
                      FrameRateCase{128, 128, 10, true}, FrameRateCase{100, 100, 10, false},
                      FrameRateCase{144, 176, 10, false}),
    [](const ::testing::TestParamInfo<FrameRateCase>& info) {
        return std::to_string(info.param.width) + "x" + std::to_string(info.param.height);
    });

TEST(HandsetHeaderTest, TagReadsKnltInFileOrder) {
    g_context.fileTag = buildFileTag();
    uint8_t h[kHandsetHeaderSize];
    buildHandsetHeader(h);
    EXPECT_EQ(std::memcmp(h, "KNLT", 4), 0);
}

TEST(HandsetHeaderTest, SizeAndRateBytesOf176x144At8) {
    g_context.fileTag = buildFileTag();
    g_context.frameRate = 8;
    g_context.width = 176;
    g_context.height = 144;
    uint8_t h[kHandsetHeaderSize];
    buildHandsetHeader(h);
    const uint8_t expected[8] = {0x00, 0x08, 0x00, 0xB0, 0x00, 0x90, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(h + 16, expected, 8), 0);
}

TEST(HandsetHeaderTest, FirstAndFinalHeaderAtOffsetZero) {
    testing_util::TempDir dir;
    g_context.output = std::fopen(dir.file("out.bin").c_str(), "wb+");
    ASSERT_NE(g_context.output, nullptr);
    g_context.fileTag = buildFileTag();
    g_context.headerSize = 24;
    g_context.frameRate = 15;
    g_context.width = 128;
    g_context.height = 96;
    g_context.headerFrames = 0x01020304;
    g_context.wavBytes = 0;
    g_context.videoBytes = 0;
    ASSERT_TRUE(writeHandsetHeader());
    // Something after the header, as the video stage would append.
    std::fwrite("abcdef", 1, 6, g_context.output);
    std::fflush(g_context.output);
    auto first = testing_util::readFile(dir.file("out.bin"));
    ASSERT_EQ(first.size(), 30u);
    for (int i = 4; i < 12; ++i) EXPECT_EQ(first[i], 0) << "byte " << i;
    EXPECT_EQ(first[12], 1);
    EXPECT_EQ(first[15], 4);

    g_context.wavBytes = 0x00AABBCC;
    g_context.videoBytes = 6;
    ASSERT_TRUE(writeHandsetHeader());
    std::fclose(g_context.output);
    g_context.output = nullptr;
    auto final = testing_util::readFile(dir.file("out.bin"));
    ASSERT_EQ(final.size(), 30u);
    const uint8_t counts[12] = {0x00, 0xAA, 0xBB, 0xCC, 0, 0, 0, 6, 1, 2, 3, 4};
    EXPECT_EQ(std::memcmp(final.data() + 4, counts, 12), 0);
    EXPECT_EQ(std::memcmp(final.data() + 24, "abcdef", 6), 0);
}

TEST(HandsetHeaderTest, WriteWithoutOpenFileFails) {
    g_context.output = nullptr;
    EXPECT_FALSE(writeHandsetHeader());
}

}  // namespace
