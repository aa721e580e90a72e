#include <gtest/gtest.h>

#include "core/context.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_driver.h"
#include "testing/test_util.h"

namespace {

using testing_util::TempDir;

// Sets up the context as preparation and the video stage leave it: output open after the
// first header, `video` appended.
void prepareOutput(const std::string& path, const std::vector<uint8_t>& video) {
    g_context.success = 1;
    g_context.fileTag = buildFileTag();
    g_context.headerSize = 24;
    g_context.wavBytes = 0;
    g_context.videoBytes = 0;
    g_context.headerFrames = 5;
    g_context.frameRate = 15;
    g_context.width = 128;
    g_context.height = 96;
    g_context.output = std::fopen(path.c_str(), "wb");
    ASSERT_NE(g_context.output, nullptr);
    ASSERT_TRUE(writeHandsetHeader());
    std::fwrite(video.data(), 1, video.size(), g_context.output);
    g_context.videoBytes = static_cast<int32_t>(video.size());
}

const std::vector<uint8_t> kVideo = {0, 0, 1, 0, 0, 0, 1, 0x20, 1, 2, 3};

TEST(AudioStageTest, AmrAudioMakesACompleteFile) {
    TempDir dir;
    prepareOutput(dir.file("out.mp4"), kVideo);
    auto amr = testing_util::readFile(testing_util::fixturePath("amr/tone10_122.amr"));
    g_context.isAac = 0;
    g_context.amrBuffer.assign(amr.begin() + 6, amr.end());
    g_context.amrBytes = 320;
    g_context.amrFrameSize = 32;
    g_context.wavName = dir.file("out.mp4.wav");
    const std::atomic<int32_t>* progress = nullptr;
    EXPECT_EQ(runAudioStage(&progress), 1);
    EXPECT_EQ(progress, &g_context.audioProgress);
    EXPECT_EQ(progress->load(), 9);
    EXPECT_EQ(g_context.output, nullptr);
    EXPECT_TRUE(g_context.amrBuffer.empty());

    HandsetFileReport r = checkHandsetFile(testing_util::readFile(dir.file("out.mp4")));
    EXPECT_TRUE(r.ok) << r.problem;
    EXPECT_EQ(r.videoBytes, kVideo.size());
    EXPECT_EQ(r.wavBytes, static_cast<uint32_t>(g_context.wavBytes));
    EXPECT_FALSE(testing_util::fileExists(dir.file("out.mp4.wav")));
}

TEST(AudioStageTest, AacPcmFileIsEncodedAndRemoved) {
    TempDir dir;
    prepareOutput(dir.file("out.mp4"), kVideo);
    g_context.isAac = 1;
    g_context.pcmFile = nullptr;
    g_context.pcmPath = dir.file("audio.pcm");
    testing_util::writeFile(g_context.pcmPath, std::vector<uint8_t>(4000, 0x10));
    EXPECT_EQ(runAudioStage(nullptr), 1);
    EXPECT_FALSE(testing_util::fileExists(g_context.pcmPath));
    HandsetFileReport r = checkHandsetFile(testing_util::readFile(dir.file("out.mp4")));
    EXPECT_TRUE(r.ok) << r.problem;
}

TEST(AudioStageTest, FailedAudioKeepsTheFileWithItsFinalHeader) {
    TempDir dir;
    prepareOutput(dir.file("out.mp4"), kVideo);
    g_context.isAac = 1;
    g_context.pcmPath = dir.file("missing.pcm");
    EXPECT_EQ(runAudioStage(nullptr), 0);
    EXPECT_EQ(g_context.output, nullptr);
    auto file = testing_util::readFile(dir.file("out.mp4"));
    ASSERT_EQ(file.size(), 24 + kVideo.size());
    EXPECT_EQ(file[11], kVideo.size());  // final header carries videoBytes
}

}  // namespace
