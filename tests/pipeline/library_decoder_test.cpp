// The library path of the video stage: the decoded-pictures file it makes from a source
// that preparation demultiplexed equals ffmpeg's own decoding of that source, picture for
// picture and in display order, and the stage takes that path only for such sources.

#include <gtest/gtest.h>

#include "core/context.h"
#include "core/job_files.h"
#include "demux_test_util.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"
#include "testing/library_sources.h"
#include "testing/test_util.h"
#include "vdec/vdec.h"

namespace {

using testing_util::LibrarySource;

class LibraryDecoderTest : public ::testing::TestWithParam<LibrarySource> {
  protected:
    void SetUp() override { resetJob(); }
    void TearDown() override {
        if (g_context.output) std::fclose(g_context.output);
        g_context.output = nullptr;
        platform::removeFile(videoEsFilePath());
        platform::removeFile(g_context.outputPath);
        platform::removeFile(g_context.pcmPath);
    }
    testing_util::TempDir dir_;
};

TEST_P(LibraryDecoderTest, PicturesEqualFfmpegsDecoding) {
    const LibrarySource& s = GetParam();
    const std::string made = testing_util::librarySource(s.name);
    ASSERT_FALSE(made.empty());
    const std::string source = dir_.file(std::string("libdec_") + s.name);
    testing_util::writeFile(source, testing_util::readFile(made));

    JobSettings settings;
    settings.width = 176;
    settings.height = 144;
    applyJobSettings(settings);
    std::string trace =
        mp4test::captureStdout([&] { prepareJob(source, dir_.path(), nullptr, nullptr, nullptr); });
    if (!s.convertible) {
        // Too large: refused when the track is set up, before its stream file exists.
        EXPECT_EQ(g_context.success, 0);
        EXPECT_NE(trace.find("the picture is larger than 1920x1088 (1936x1088)"), std::string::npos)
            << trace;
        EXPECT_FALSE(testing_util::fileExists(videoEsFilePath())) << trace;
        EXPECT_FALSE(testing_util::fileExists(g_context.outputPath)) << trace;
        // A stream whose container does not tell its size: the decoder refuses it before it
        // writes a picture.
        const std::string es = dir_.file("wide.h264");
        ASSERT_EQ(testing_util::ffmpeg("-i " + testing_util::shellQuote(source) +
                                       " -map 0:v -c:v copy -bsf:v h264_mp4toannexb -f h264 " +
                                       testing_util::shellQuote(es)),
                  0);
        const std::string pictures = dir_.file("pictures.yuv");
        DecoderResult decoded;
        trace = mp4test::captureStdout([&] {
            decoded = runLibraryDecoderOnFile(es, pictures, VideoDecoderKind::LibraryH264);
        });
        EXPECT_FALSE(decoded.ok);
        EXPECT_NE(trace.find("picture size 1936x1088 is not supported (at most 1920x1088)"),
                  std::string::npos)
            << trace;
        EXPECT_EQ(testing_util::fileSize(pictures), 0);
        return;
    }
    ASSERT_TRUE(testing_util::fileExists(videoEsFilePath())) << trace;

    const std::vector<uint8_t> es = testing_util::readFile(videoEsFilePath());
    const VideoDecoderChoice choice =
        chooseVideoDecoder(g_context.videoCodec, es.data(), es.size());
    ASSERT_NE(choice.kind, VideoDecoderKind::Own);
    const std::string pictures = dir_.file("pictures.yuv");
    DecoderResult decoded;
    trace = mp4test::captureStdout(
        [&] { decoded = runLibraryDecoderOnFile(videoEsFilePath(), pictures, choice.kind); });
    ASSERT_TRUE(decoded.ok) << trace;
    EXPECT_EQ(decoded.width, s.width);
    EXPECT_EQ(decoded.height, s.height);

    const std::string reference = dir_.file("reference.yuv");
    ASSERT_EQ(testing_util::ffmpeg("-i " + testing_util::shellQuote(source) +
                                   " -map 0:v -vsync passthrough -f rawvideo -pix_fmt yuv420p " +
                                   testing_util::shellQuote(reference)),
              0);
    const std::vector<uint8_t> ours = testing_util::readFile(pictures);
    const std::vector<uint8_t> theirs = testing_util::readFile(reference);
    const size_t frameBytes = static_cast<size_t>(s.width) * s.height * 3 / 2;
    EXPECT_EQ(static_cast<size_t>(decoded.frames) * frameBytes, ours.size());
    ASSERT_EQ(ours.size(), theirs.size())
        << "pictures: " << ours.size() / frameBytes << " vs " << theirs.size() / frameBytes;
    for (size_t f = 0; f * frameBytes < ours.size(); ++f)
        ASSERT_TRUE(std::equal(ours.begin() + f * frameBytes, ours.begin() + (f + 1) * frameBytes,
                               theirs.begin() + f * frameBytes))
            << "picture " << f;
}

INSTANTIATE_TEST_SUITE_P(Library, LibraryDecoderTest,
                         ::testing::ValuesIn(testing_util::kLibrarySources,
                                             testing_util::kLibrarySources +
                                                 testing_util::kLibrarySourceCount),
                         [](const ::testing::TestParamInfo<LibrarySource>& i) {
                             std::string n = i.param.name;
                             for (char& ch : n)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return n;
                         });

}  // namespace
