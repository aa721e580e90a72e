// The whole video stage on real streams: the decoder turns a fixture into the
// decoded-pictures file, the encoder re-encodes it into the handset movie file, the
// temporary files go, and the finished file's video section plays in ffmpeg.

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "core/context.h"
#include "core/job_files.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_driver.h"
#include "testing/prepared_job.h"
#include "testing/test_util.h"
#include "venc/venc.h"
#include "venc_test_util.h"

namespace {

using testing_util::fileExists;
using testing_util::readFile;
using testing_util::shellQuote;
using testing_util::TempDir;
using venc_test::frameBytes;

struct StageCase {
    const char* name;
    const char* fixture;  // video elementary stream under tests/fixtures/
    uint32_t sourceRate;
    uint16_t width, height;
    uint32_t bitRate;
    int vops;  // VOPs the frame-rate conversion keeps
};

void PrintTo(const StageCase& c, std::ostream* os) {
    *os << c.name;
}

class VideoStageEncodeTest : public ::testing::TestWithParam<StageCase> {};

// Sets the context up as preparation leaves it: the job's settings and names, the output
// open after its first header, the video elementary stream in the program's directory,
// and AMR frames collected for the audio stage.
bool prepareStage(const TempDir& dir, const StageCase& c) {
    JobSettings settings;
    settings.width = c.width;
    settings.height = c.height;
    settings.bitRate = c.bitRate;
    const std::string baseName =
        std::string("venc_stage_") + c.name + "_" + std::to_string(getpid());
    if (!testing_util::prepareJobContext(dir.path(), baseName, settings, c.vops)) return false;
    g_context.sourceFrameRate = c.sourceRate;
    testing_util::writeFile(videoEsFilePath(), readFile(testing_util::fixturePath(c.fixture)));
    testing_util::collectAmrFrames(10);
    return true;
}

TEST_P(VideoStageEncodeTest, HandsetFileVideoPlays) {
    const StageCase& c = GetParam();
    TempDir dir;
    ASSERT_TRUE(prepareStage(dir, c));
    const std::atomic<int32_t>* progress = nullptr;
    ::testing::internal::CaptureStdout();
    const int video = runVideoStage(&progress);
    const int audio = video ? runAudioStage(nullptr) : 0;
    const std::string log = ::testing::internal::GetCapturedStdout();

    ASSERT_EQ(video, 1) << log;
    EXPECT_EQ(audio, 1);
    EXPECT_NE(log.find("encoding finished!\n"), std::string::npos);
    EXPECT_FALSE(fileExists(videoEsFilePath()));
    EXPECT_FALSE(fileExists(decodedPicturesPath()));

    const auto file = readFile(g_context.outputPath);
    const HandsetFileReport report = checkHandsetFile(file);
    ASSERT_TRUE(report.ok) << report.problem;
    ASSERT_EQ(report.videoBytes, static_cast<uint32_t>(g_context.videoBytes));
    const std::vector<uint8_t> stream(file.begin() + report.videoOffset,
                                      file.begin() + report.videoOffset + report.videoBytes);
    const int vops = static_cast<int>(venc_test::parseVops(stream).size());
    EXPECT_EQ(vops, c.vops);
    EXPECT_GE(progress->load(), vops);
    const std::string section = dir.file("video.m4v");
    testing_util::writeFile(section, stream);

    // ffmpeg plays the section without a complaint, picture for picture, and shows what our
    // own decoder shows.
    const std::string theirs = dir.file("ffmpeg.yuv"), ours = dir.file("ours.yuv");
    const testing_util::CommandResult played = testing_util::runCommand(
        "ffmpeg -nostdin -hide_banner -loglevel error -y -i " + shellQuote(section) +
            " -f rawvideo -pix_fmt yuv420p " + shellQuote(theirs),
        true);
    EXPECT_EQ(played.exitCode, 0);
    EXPECT_EQ(played.output, "");
    const testing_util::CommandResult decoded =
        testing_util::runCommand(shellQuote(testing_util::cliPath()) + " decode " +
                                     shellQuote(section) + " " + shellQuote(ours),
                                 true);
    ASSERT_EQ(decoded.exitCode, 0) << decoded.output;
    const size_t frame = frameBytes(c.width, c.height);
    const auto theirFrames = readFile(theirs), ourFrames = readFile(ours);
    ASSERT_EQ(theirFrames.size(), frame * static_cast<size_t>(vops));
    ASSERT_EQ(ourFrames.size(), theirFrames.size());
    for (int k = 0; k < vops; ++k)
        EXPECT_GE(
            testing_util::psnr(theirFrames.data() + k * frame, ourFrames.data() + k * frame, frame),
            40.0)
            << "picture " << k;
}

const StageCase kCases[] = {
    // 15 frames per second kept at 8 of every 15: frames 2, 4, ..., 12 of 12.
    {"mpeg4_qcif", "vdec/xvid_qcif_4mv.m4v", 15, 176, 144, 100000, 6},
    {"h263_to_128x96", "vdec/h263_qcif.h263", 15, 128, 96, 50000, 6},
    {"mpeg4_160x120_to_160x128", "vdec/xvid_160x120_mpegquant.m4v", 15, 160, 128, 80000, 5},
};

INSTANTIATE_TEST_SUITE_P(Cases, VideoStageEncodeTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
