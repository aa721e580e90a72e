// The video stage's decoder half: the progress address, the decoder's verdict, and the
// removal of the temporary video files and (on failure) the output and the PCM file.

#include <gtest/gtest.h>

#include <unistd.h>

#include <ostream>

#include "core/context.h"
#include "core/job_files.h"
#include "pipeline/job_driver.h"
#include "testing/prepared_job.h"
#include "testing/test_util.h"
#include "vdec_test_util.h"

namespace {

using testing_util::fileExists;
using testing_util::TempDir;

struct StageCase {
    const char* name;
    bool validStream;
    bool aac;
};

// Test names show the case name instead of the bytes of the case.
void PrintTo(const StageCase& c, std::ostream* os) {
    *os << c.name;
}

class VideoStageTest : public ::testing::TestWithParam<StageCase> {};

TEST_P(VideoStageTest, RemovesTemporaryFiles) {
    const StageCase& c = GetParam();
    TempDir dir;
    // The stage goes on to encode what it decoded: a job of one of the table's sizes, at
    // the rate of a 10 frames per second source.
    JobSettings settings;
    settings.bitRate = 50000;
    ASSERT_TRUE(
        testing_util::prepareJobContext(dir.path(), vdec_test::uniqueBaseName(), settings, 10));
    g_context.sourceFrameRate = 10;
    g_context.frameRate = 10;
    g_context.isAac = c.aac;
    g_context.success = 2;  // preparation may leave 2; the stage starts from 1
    testing_util::writeFile(g_context.pcmPath, {1, 2, 3, 4});
    std::vector<uint8_t> stream = c.validStream ? vdec_test::fixture("h263_qcif.h263")
                                                : std::vector<uint8_t>{0x47, 0x11, 0x22, 0x33};
    testing_util::writeFile(videoEsFilePath(), stream);

    const std::atomic<int32_t>* progress = nullptr;
    ::testing::internal::CaptureStdout();
    const int result = runVideoStage(&progress);
    ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(progress, &g_context.videoProgress);
    EXPECT_EQ(result, c.validStream ? 1 : 0);
    EXPECT_EQ(result, g_context.success);
    EXPECT_FALSE(fileExists(videoEsFilePath()));
    EXPECT_FALSE(fileExists(decodedPicturesPath()));
    if (c.validStream) {
        EXPECT_EQ(g_context.sourceWidth, 176);
        EXPECT_EQ(g_context.sourceHeight, 144);
        EXPECT_NE(g_context.output, nullptr);
        EXPECT_TRUE(fileExists(g_context.outputPath));
        EXPECT_TRUE(fileExists(g_context.pcmPath));
        std::fclose(g_context.output);
        g_context.output = nullptr;
    } else {
        EXPECT_EQ(g_context.output, nullptr);
        EXPECT_FALSE(fileExists(g_context.outputPath));
        EXPECT_EQ(fileExists(g_context.pcmPath), !c.aac);
    }
}

const StageCase kStageCases[] = {
    {"decoded_amr", true, false},
    {"refused_amr", false, false},
    {"refused_aac", false, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, VideoStageTest, ::testing::ValuesIn(kStageCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A stream that gives far fewer pictures than the movie's header counts (pictures lost in
// decoding) fails the job instead of making a file that promises them.
TEST(VideoStagePicturesTest, FarFewerPicturesThanTheHeaderCountsFailTheJob) {
    TempDir dir;
    JobSettings settings;
    ASSERT_TRUE(
        testing_util::prepareJobContext(dir.path(), vdec_test::uniqueBaseName(), settings, 60));
    g_context.sourceFrameRate = 10;
    g_context.frameRate = 10;
    testing_util::writeFile(videoEsFilePath(), vdec_test::fixture("h263_qcif.h263"));

    ::testing::internal::CaptureStdout();
    const int result = runVideoStage(nullptr);
    const std::string output = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(result, 0);
    EXPECT_NE(output.find("the video holds 6 of the 60 pictures the movie has at this frame rate"),
              std::string::npos)
        << output;
    EXPECT_FALSE(fileExists(g_context.outputPath));
    EXPECT_FALSE(fileExists(decodedPicturesPath()));
}

}  // namespace
