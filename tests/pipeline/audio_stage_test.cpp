#include <gtest/gtest.h>

#include <cstdio>

#include "core/context.h"
#include "core/job_files.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"
#include "testing/prepared_job.h"
#include "testing/test_util.h"

namespace {

using testing_util::TempDir;

const std::vector<uint8_t> kVideo = {0, 0, 1, 0, 0, 0, 1, 0x20, 1, 2, 3};

// The context as preparation and the video stage leave a 128 x 96 job of five frames
// named "out" in `dir`: output open after its first header, kVideo appended.
bool prepareOutput(const TempDir& dir) {
    JobSettings settings;  // 128 x 96, 15 frames per second
    return testing_util::prepareJobContext(dir.path(), "out", settings, 5, kVideo);
}

TEST(AudioStageTest, AmrAudioMakesACompleteFile) {
    TempDir dir;
    ASSERT_TRUE(prepareOutput(dir));
    testing_util::collectAmrFrames(10);
    const std::atomic<int32_t>* progress = nullptr;
    EXPECT_EQ(runAudioStage(&progress), 1);
    EXPECT_EQ(progress, &g_context.audioProgress);
    EXPECT_EQ(progress->load(), 9);
    EXPECT_EQ(g_context.output, nullptr);
    EXPECT_TRUE(g_context.amrBuffer.empty());

    HandsetFileReport r = checkHandsetFile(testing_util::readFile(g_context.outputPath));
    EXPECT_TRUE(r.ok) << r.problem;
    EXPECT_EQ(r.videoBytes, kVideo.size());
    EXPECT_EQ(r.wavBytes, static_cast<uint32_t>(g_context.wavBytes));
    EXPECT_FALSE(testing_util::fileExists(dir.file("out.mp4.wav")));
}

TEST(AudioStageTest, AacPcmFileIsEncodedAndRemoved) {
    TempDir dir;
    ASSERT_TRUE(prepareOutput(dir));
    g_context.isAac = 1;
    const std::string pcm = dir.file("audio.pcm");
    g_context.pcmPath = pcm;
    testing_util::writeFile(pcm, std::vector<uint8_t>(4000, 0x10));
    EXPECT_EQ(runAudioStage(nullptr), 1);
    EXPECT_FALSE(testing_util::fileExists(pcm));
    HandsetFileReport r = checkHandsetFile(testing_util::readFile(g_context.outputPath));
    EXPECT_TRUE(r.ok) << r.problem;
}

TEST(AudioStageTest, FailedAudioKeepsTheFileWithItsFinalHeader) {
    TempDir dir;
    ASSERT_TRUE(prepareOutput(dir));
    g_context.isAac = 1;
    g_context.pcmPath = dir.file("missing.pcm");
    EXPECT_EQ(runAudioStage(nullptr), 0);
    EXPECT_EQ(g_context.output, nullptr);
    auto file = testing_util::readFile(g_context.outputPath);
    ASSERT_EQ(file.size(), 24 + kVideo.size());
    EXPECT_EQ(file[11], kVideo.size());  // final header carries videoBytes
}

// A job's output is written under a name of its own and takes the destination's name only
// when the audio stage is done: a failed stage removes it and leaves an earlier file of
// the destination's name as it was.
TEST(AudioStageTest, OnlyADoneJobReplacesTheDestination) {
    for (const bool pcmPresent : {true, false}) {
        TempDir dir;
        ASSERT_TRUE(prepareOutput(dir));
        ConversionContext& c = g_context;
        std::fclose(c.output);
        c.output = nullptr;
        platform::removeFile(c.outputPath);
        const std::vector<uint8_t> earlier = {'e', 'a', 'r', 'l', 'i', 'e', 'r'};
        testing_util::writeFile(c.destinationPath, earlier);
        ASSERT_TRUE(createOutputFile());
        ASSERT_NE(c.outputPath, c.destinationPath);
        ASSERT_TRUE(writeHandsetHeader());
        ASSERT_EQ(std::fwrite(kVideo.data(), 1, kVideo.size(), c.output), kVideo.size());
        c.videoBytes = static_cast<int32_t>(kVideo.size());
        const std::string written = c.outputPath;
        c.isAac = 1;
        c.pcmPath = dir.file("audio.pcm");
        if (pcmPresent) testing_util::writeFile(c.pcmPath, std::vector<uint8_t>(4000, 0x10));

        EXPECT_EQ(runAudioStage(nullptr), pcmPresent ? 1 : 0);
        EXPECT_FALSE(testing_util::fileExists(written));
        const std::vector<uint8_t> destination = testing_util::readFile(c.destinationPath);
        if (pcmPresent)
            EXPECT_TRUE(checkHandsetFile(destination).ok);
        else
            EXPECT_EQ(destination, earlier);
        EXPECT_EQ(testing_util::jobFilesNamed(dir.path() + "out_new", ".mp4"),
                  std::vector<std::string>());
    }
}

}  // namespace
