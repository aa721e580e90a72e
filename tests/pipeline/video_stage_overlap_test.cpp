// The video stage's decoder and encoder running side by side: a failure on either side
// fails the job and removes every file it made, and the trace reads as if the decoding had
// been done first (a failed decoding shows no encoder line at all).

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <string>
#include <vector>

#include "core/context.h"
#include "core/job_files.h"
#include "pipeline/job_driver.h"
#include "testing/prepared_job.h"
#include "testing/test_util.h"
#include "vdec_test_util.h"

namespace {

using testing_util::fileExists;
using testing_util::TempDir;

// The fixture's VOPs before the decoder meets a B-VOP, which it refuses: more pictures
// than the queue holds, so that the encoder is at work when the decoding fails.
constexpr size_t kVopsBeforeFailure = 9;

enum class Fault { None, Decoder, Encoder };

struct OverlapCase {
    const char* name;
    Fault fault;
    bool aac;
};

void PrintTo(const OverlapCase& c, std::ostream* os) {
    *os << c.name;
}

std::vector<uint8_t> streamFor(Fault fault) {
    std::vector<uint8_t> stream = vdec_test::fixture("xvid_qcif_4mv.m4v");
    if (fault != Fault::Decoder) return stream;
    const std::vector<size_t> vops = vdec_test::findStartCodes(stream, 0xB6);
    stream.resize(vops.at(kVopsBeforeFailure));
    // vop_coding_type 2 (B-VOP), then padding.
    for (uint8_t b : {0x00, 0x00, 0x01, 0xB6, 0x80, 0x00, 0x00, 0x00}) stream.push_back(b);
    return stream;
}

class VideoStageOverlapTest : public ::testing::TestWithParam<OverlapCase> {};

TEST_P(VideoStageOverlapTest, FailureOfEitherSideRemovesTheJobsFiles) {
    const OverlapCase& c = GetParam();
    TempDir dir;
    JobSettings settings;
    settings.width = 176;
    settings.height = 144;
    settings.bitRate = 50000;
    ASSERT_TRUE(
        testing_util::prepareJobContext(dir.path(), vdec_test::uniqueBaseName(), settings, 12));
    g_context.sourceFrameRate = 10;
    g_context.frameRate = 10;
    g_context.isAac = c.aac;
    testing_util::writeFile(g_context.pcmPath, {1, 2, 3, 4});
    testing_util::writeFile(videoEsFilePath(), streamFor(c.fault));
    if (c.fault == Fault::Encoder) {
        // Every write of the stream fails; the output file stays on disk for the stage.
        std::fclose(g_context.output);
        g_context.output = std::fopen("/dev/full", "wb");
        ASSERT_NE(g_context.output, nullptr);
        std::setvbuf(g_context.output, nullptr, _IONBF, 0);
    }

    const std::atomic<int32_t>* progress = nullptr;
    ::testing::internal::CaptureStdout();
    const int result = runVideoStage(&progress);
    const std::string trace = ::testing::internal::GetCapturedStdout();

    const bool good = c.fault == Fault::None;
    EXPECT_EQ(result, good ? 1 : 0);
    EXPECT_EQ(g_context.success, result);
    EXPECT_FALSE(fileExists(videoEsFilePath()));
    EXPECT_FALSE(fileExists(decodedPicturesPath()));
    EXPECT_EQ(fileExists(g_context.outputPath), good);
    EXPECT_EQ(fileExists(g_context.pcmPath), good || !c.aac);
    EXPECT_EQ(g_context.output != nullptr, good);
    if (g_context.output) std::fclose(g_context.output);
    g_context.output = nullptr;

    const size_t lastDecoded = trace.rfind("decoding ");
    const size_t firstEncoded = trace.find("VO Overhead");  // the encoder's first line
    if (c.fault == Fault::Decoder) {
        EXPECT_NE(trace.find("B-VOP and S-VOP are not supported!"), std::string::npos);
        EXPECT_EQ(firstEncoded, std::string::npos) << trace;
        EXPECT_EQ(trace.find("encoding finished!"), std::string::npos);
    } else {
        EXPECT_NE(trace.find("decoding 11 frame"), std::string::npos);
        ASSERT_NE(firstEncoded, std::string::npos);
        EXPECT_LT(lastDecoded, firstEncoded);
        EXPECT_NE(trace.find("encoding finished!"), std::string::npos);
    }
}

const OverlapCase kOverlapCases[] = {
    {"good", Fault::None, false},
    {"decoder_fails_amr", Fault::Decoder, false},
    {"decoder_fails_aac", Fault::Decoder, true},
    {"encoder_fails_amr", Fault::Encoder, false},
    {"encoder_fails_aac", Fault::Encoder, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, VideoStageOverlapTest, ::testing::ValuesIn(kOverlapCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
