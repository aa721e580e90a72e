#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include "core/context.h"
#include "core/job_files.h"
#include "demux_test_util.h"
#include "mp4_builder.h"
#include "pipeline/handset_file.h"
#include "pipeline/job_driver.h"
#include "platform/platform.h"

namespace {

using testing_util::fileExists;

// One job on a copy of a source: the copy gets a name unique to the test, so that the
// job files of tests running side by side never meet.
class PrepareJobTest : public ::testing::Test {
  protected:
    void SetUp() override { resetJob(); }
    void TearDown() override {
        if (g_context.output) std::fclose(g_context.output);
        g_context.output = nullptr;
        if (g_context.pcmFile) std::fclose(g_context.pcmFile);
        g_context.pcmFile = nullptr;
        platform::removeFile(videoEsFilePath());
    }
    std::string uniqueName(const std::string& tag = "") {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name =
            std::string("prep_") + info->test_suite_name() + "_" + info->name() + tag;
        for (char& ch : name)
            if (ch == '/') ch = '_';
        return name;
    }
    std::string sourceFrom(const std::vector<uint8_t>& bytes,
                           const std::string& extension = ".3gp") {
        std::string path = dir_.file(uniqueName() + extension);
        testing_util::writeFile(path, bytes);
        return path;
    }
    std::string fixture(const std::string& name) {
        std::string ext = name.substr(name.rfind('.'));
        return sourceFrom(testing_util::readFile(testing_util::fixturePath(name)), ext);
    }
    int prepare(const std::string& source, uint16_t width = 128, uint16_t height = 96) {
        JobSettings s;
        s.width = width;
        s.height = height;
        applyJobSettings(s);
        int r = 0;
        output_ = mp4test::captureStdout([&] {
            r = prepareJob(source, dir_.path(), &audioFrames_, &videoFrames_, &videoEsPath_);
        });
        return r;
    }
    std::vector<uint8_t> header() {
        std::fflush(g_context.output);
        std::vector<uint8_t> bytes = testing_util::readFile(g_context.outputPath);
        bytes.resize(24);
        return bytes;
    }
    // The files a job may leave: none of them may exist after a failed preparation.
    void expectNoJobFiles() {
        EXPECT_FALSE(fileExists(g_context.outputPath));
        EXPECT_FALSE(fileExists(g_context.pcmPath));
        EXPECT_FALSE(fileExists(videoEsFilePath()));
        EXPECT_EQ(g_context.output, nullptr);
        EXPECT_EQ(g_context.pcmFile, nullptr);
    }

    testing_util::TempDir dir_;
    int32_t audioFrames_ = -1;
    uint32_t videoFrames_ = 0;
    std::string videoEsPath_;
    std::string output_;
};

uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

TEST_F(PrepareJobTest, AmrSourceGivesTheStreamFileTheFramesAndTheFirstHeader) {
    std::string source = fixture("demux/mp4v_amr.3gp");
    ASSERT_EQ(prepare(source), 1) << output_;
    // Written under a name of its own until the job is done.
    EXPECT_EQ(g_context.destinationPath, dir_.path() + uniqueName() + "_new.mp4");
    EXPECT_TRUE(testing_util::isJobFileName(g_context.outputPath,
                                            dir_.path() + uniqueName() + "_new", ".mp4"))
        << g_context.outputPath;
    EXPECT_TRUE(testing_util::isJobFileName(
        videoEsPath_, platform::programDir() + uniqueName() + "videoxy_122344565fhr1", ".cmp"))
        << videoEsPath_;
    EXPECT_EQ(videoFrames_, 30u);
    EXPECT_EQ(g_context.amrFrames, 100u);
    EXPECT_EQ(g_context.amrBytes, 100u * 32);
    EXPECT_EQ(audioFrames_, 99);
    EXPECT_EQ(g_context.isAac, 0);
    EXPECT_FALSE(fileExists(g_context.pcmPath));
    // The stream file starts with the stream headers from the esds.
    std::vector<uint8_t> es = testing_util::readFile(videoEsPath_);
    ASSERT_GT(es.size(), 4u);
    EXPECT_EQ(std::vector<uint8_t>(es.begin(), es.begin() + 3), (std::vector<uint8_t>{0, 0, 1}));
    std::vector<uint8_t> h = header();
    EXPECT_EQ(std::string(h.begin(), h.begin() + 4), "KNLT");
    EXPECT_EQ(be32(h, 4), 0u);
    EXPECT_EQ(be32(h, 8), 0u);
    EXPECT_EQ(be32(h, 12), 30u);
    EXPECT_EQ(std::ftell(g_context.output), 24);
    EXPECT_NE(output_.find("total video len="), std::string::npos);
}

TEST_F(PrepareJobTest, AacSourceLeavesThePcmFile) {
    std::string source = fixture("demux/mp4v_aac_s44k.mp4");
    ASSERT_EQ(prepare(source, 176, 144), 1) << output_;
    EXPECT_EQ(g_context.isAac, 1);
    EXPECT_EQ(g_context.pcmFile, nullptr);
    EXPECT_EQ(videoFrames_, 16u);  // 30 samples at 15 fps, kept at 8 fps
    int64_t pcm = testing_util::fileSize(g_context.pcmPath);
    EXPECT_NEAR(pcm / 2.0, 2.0 * 16000, 16000 * 0.1);
    platform::removeFile(g_context.pcmPath);
}

// A source directory that does not take the PCM file moves the file to the private
// temporary directory; the job goes on. The source is read through /proc/self/fd, a
// directory where nobody (not even root) can create a file.
TEST_F(PrepareJobTest, PcmFileGoesToTheTemporaryDirectoryWhenTheSourceDirectoryRefusesIt) {
    std::string copy = fixture("demux/mp4v_aac_s44k.mp4");
    const int fd = open(copy.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::string name = std::to_string(fd);
    ASSERT_EQ(prepare("/proc/self/fd/" + name, 176, 144), 1) << output_;
    EXPECT_TRUE(
        testing_util::isJobFileName(g_context.pcmPath, platform::privateTempDir() + name, ".pcm"))
        << g_context.pcmPath;
    EXPECT_GT(testing_util::fileSize(g_context.pcmPath), 16000);
    platform::removeFile(g_context.pcmPath);
    close(fd);
}

// Movies made to have a given average frame rate (with an AMR track).
std::vector<uint8_t> movieAt(uint32_t samples, uint32_t timeScale, uint32_t delta = 1000) {
    return mp4test::buildMovie(mp4test::movieOf(
        {mp4test::videoTrack(samples, timeScale, delta, 20), mp4test::amrTrack(50)}));
}

TEST_F(PrepareJobTest, FrameRatesAndFrameCounts) {
    struct Case {
        const char* name;
        uint32_t samples, timeScale;
        uint16_t width, height;
        int result;
        uint32_t frameRate, videoFrames;
    } cases[] = {
        {"six_fps_at_176", 60, 6000, 176, 144, 1, 6, 60},
        {"thirty_fps_at_128", 300, 30000, 128, 96, 1, 15, 150},
        {"rate_12_8_drifts", 64, 12800, 160, 96, 2, 10, 49},
        {"rate_12_1_does_not", 121, 12100, 160, 96, 1, 10, 100},
        // A deviation of 0.15 is stored as the float just above 0.15: it drifts.
        {"rate_12_15_drifts", 243, 12150, 160, 96, 2, 10, 202},
        {"rate_14_85_drifts", 297, 14850, 128, 96, 2, 15, 297},
    };
    for (const Case& c : cases) {
        resetJob();
        std::string source = dir_.file(uniqueName(c.name) + ".3gp");
        testing_util::writeFile(source, movieAt(c.samples, c.timeScale));
        EXPECT_EQ(prepare(source, c.width, c.height), c.result) << c.name << output_;
        EXPECT_EQ(g_context.frameRate, c.frameRate) << c.name;
        EXPECT_EQ(videoFrames_, c.videoFrames) << c.name;
        std::vector<uint8_t> h = header();
        EXPECT_EQ(h[17], c.frameRate) << c.name;
        std::fclose(g_context.output);
        g_context.output = nullptr;
        platform::removeFile(videoEsFilePath());
    }
}

TEST_F(PrepareJobTest, SizeNotInTheTableCreatesNothing) {
    std::string source = fixture("demux/mp4v_amr.3gp");
    EXPECT_EQ(prepare(source, 100, 100), 0);
    EXPECT_FALSE(fileExists(dir_.path() + uniqueName() + "_new.mp4"));
    EXPECT_EQ(output_, "");
}

TEST_F(PrepareJobTest, NameWithoutExtensionIsTheBaseName) {
    std::string source =
        sourceFrom(testing_util::readFile(testing_util::fixturePath("demux/mp4v_amr.3gp")), "");
    ASSERT_EQ(prepare(source), 1);
    EXPECT_EQ(g_context.baseName, uniqueName());
}

TEST_F(PrepareJobTest, StatisticsBelongToEachSource) {
    std::string first = fixture("demux/mp4v_amr.3gp");
    ASSERT_EQ(prepare(first), 1);
    uint32_t bytes = g_context.videoTotalBytes;
    std::fclose(g_context.output);
    g_context.output = nullptr;
    ASSERT_EQ(prepare(first), 1);
    EXPECT_EQ(g_context.videoTotalBytes, bytes);
}

// Sources that fail in preparation leave nothing of the job behind.
struct FailingCase {
    const char* name;
    std::string fixture;  // or empty for a missing source
    const char* message;  // printed on the way, or ""
};

void PrintTo(const FailingCase& c, std::ostream* os) {
    *os << c.name;
}

class FailingPrepareTest : public PrepareJobTest,
                           public ::testing::WithParamInterface<FailingCase> {};

TEST_P(FailingPrepareTest, LeavesNoFiles) {
    const FailingCase& c = GetParam();
    std::string source = c.fixture.empty() ? dir_.file(uniqueName() + ".3gp") : fixture(c.fixture);
    EXPECT_EQ(prepare(source), 0);
    EXPECT_NE(output_.find(c.message), std::string::npos) << output_;
    expectNoJobFiles();
}

INSTANTIATE_TEST_SUITE_P(
    Sources, FailingPrepareTest,
    ::testing::Values(FailingCase{"no_audio", "demux/no_audio.3gp", "total video len="},
                      FailingCase{"protected", "demux/drms.3gp", "discarding drms"},
                      FailingCase{"missing", "", "DEMUX_Open return value: -1"},
                      FailingCase{"not_a_movie", "amr/tone10_122.amr",
                                  "MP4 plugin discarded (not a valid file)"}),
    [](const ::testing::TestParamInfo<FailingCase>& i) { return std::string(i.param.name); });

// The PCM file belongs to the job only when the job made it: a file of that name beside
// an AMR source is the user's and stays.
TEST_F(PrepareJobTest, AmrSourceLeavesAPcmFileOfTheSameNameAlone) {
    std::string source = fixture("demux/mp4v_amr.3gp");
    const std::string theirs = dir_.file(uniqueName() + ".pcm");
    testing_util::writeFile(theirs, {1, 2, 3, 4});
    ASSERT_EQ(prepare(source), 1) << output_;
    EXPECT_EQ(g_context.isAac, 0);
    EXPECT_EQ(testing_util::readFile(theirs), (std::vector<uint8_t>{1, 2, 3, 4}));
}

// An AAC entry read before an AMR entry makes the PCM file; the AMR entry decides the
// audio kind. When opening fails, that file is closed and removed all the same.
TEST_F(PrepareJobTest, PcmFileOfAnAacEntryGoesWhenOpeningFails) {
    mp4test::TrackLayout video = mp4test::videoTrack(20, 15000, 3000);
    video.chunkSamples = {10, 10};
    // stsc: a single entry that starts at chunk 2, so the stream cannot be created.
    video.replace["stsc"] = mp4test::Bytes().u32(0).u32(1).u32(2).u32(10).u32(1).v;
    std::string source = sourceFrom(mp4test::buildMovie(mp4test::movieOf(
        {video, mp4test::aacTrack(16000, 1, {0x14, 0x08}, 10, 20, 2), mp4test::amrTrack(50, 3)})));
    EXPECT_EQ(prepare(source), 0);
    EXPECT_NE(output_.find("cannot create es for track[Id 0x1]"), std::string::npos) << output_;
    EXPECT_EQ(g_context.isAac, 0);
    expectNoJobFiles();
}

TEST_F(PrepareJobTest, VideoShorterThanOneSecondFails) {
    std::string source = sourceFrom(movieAt(10, 15000));
    EXPECT_EQ(prepare(source), 0);
    EXPECT_NE(output_.find("lasts less than one second"), std::string::npos);
    expectNoJobFiles();
}

// Every fixture that prepares well: the kinds of source and layout the demultiplexer reads.
// The video elementary-stream file it leaves decodes to every picture of the source, as
// ffmpeg decodes the source itself (no picture dropped or repeated), within the decoder's
// bounds (two compliant inverse DCTs may differ by one in a few samples, and the
// differences can drift in predicted pictures until the next intra picture).
class FixturePrepareTest : public PrepareJobTest,
                           public ::testing::WithParamInterface<std::string> {};

constexpr double kMinPsnr = 40.0;

TEST_P(FixturePrepareTest, PreparesAStreamThatDecodesToEverySourcePicture) {
    std::string source = fixture(GetParam());
    int r = prepare(source);
    EXPECT_GE(r, 1) << output_;
    EXPECT_GT(videoFrames_, 0u);
    EXPECT_GT(testing_util::fileSize(videoEsPath_), 1000);
    if (g_context.isAac) platform::removeFile(g_context.pcmPath);

    const std::string ours = dir_.file("ours.yuv"), theirs = dir_.file("theirs.yuv");
    auto decoded = testing_util::runCommand(testing_util::shellQuote(testing_util::cliPath()) +
                                            " decode " + testing_util::shellQuote(videoEsPath_) +
                                            " " + testing_util::shellQuote(ours));
    ASSERT_EQ(decoded.exitCode, 0) << decoded.output;
    ASSERT_EQ(testing_util::ffmpeg("-idct simple -i " + testing_util::shellQuote(source) +
                                   " -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt "
                                   "yuv420p " +
                                   testing_util::shellQuote(theirs)),
              0);
    const std::vector<uint8_t> a = testing_util::readFile(ours), b = testing_util::readFile(theirs);
    const auto widthAt = decoded.output.find("width: "), heightAt = decoded.output.find("height: ");
    ASSERT_NE(widthAt, std::string::npos);
    const size_t width = std::stoul(decoded.output.substr(widthAt + 7));
    const size_t height = std::stoul(decoded.output.substr(heightAt + 8));
    const size_t frameBytes = width * height + 2 * (width / 2) * (height / 2);
    ASSERT_EQ(a.size(), b.size()) << "pictures: ours " << a.size() / frameBytes << ", ffmpeg's "
                                  << b.size() / frameBytes;
    ASSERT_GT(a.size(), 0u);
    for (size_t i = 0; i * frameBytes < a.size(); ++i)
        EXPECT_GE(
            testing_util::psnr(a.data() + i * frameBytes, b.data() + i * frameBytes, frameBytes),
            kMinPsnr)
            << "picture " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, FixturePrepareTest,
    ::testing::Values("demux/mp4v_amr.3gp", "demux/h263_amr102.3gp", "demux/h263_end_markers.3gp",
                      "demux/mp4v_amr74_moov_last.3gp", "demux/co64.3gp", "demux/free_moov.3gp",
                      "demux/edit_list.3gp", "demux/hint_track.3gp", "demux/hint_track_name.3gp",
                      "demux/text_track.3gp", "demux/mp4v_amr475.3gp",
                      "demux/mp4v_amr_switch_dtx.3gp", "demux/mp4v_aac_m8k.mp4",
                      "demux/mp4v_aac_m16k.mp4", "demux/mp4v_aac_s22k.mp4",
                      "demux/mp4v_aac_s48k.mp4", "demux/mp4v_aac_drift.mp4",
                      "demux/wide_320x240.3gp", "demux/h263_cif_352x288.3gp",
                      "demux/mp4v_vga_640x480.3gp"),
    [](const ::testing::TestParamInfo<std::string>& i) {
        std::string n = i.param.substr(i.param.find('/') + 1);
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return n;
    });

}  // namespace
