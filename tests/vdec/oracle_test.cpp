// Our decoded pictures against ffmpeg's decoding of the same streams, made with ffmpeg's
// encoders: the same frame count, at least 45 dB PSNR on intra pictures and 40 dB on every
// predicted picture (two compliant inverse DCTs may differ by one in a few samples, and the
// differences can drift in predicted pictures until the next intra picture).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <sstream>

#include "testing/test_util.h"
#include "vdec_test_util.h"

namespace {

using testing_util::cliPath;
using testing_util::ffmpeg;
using testing_util::readFile;
using testing_util::runCommand;
using testing_util::shellQuote;
using testing_util::TempDir;

constexpr double kMinIntraPsnr = 45.0;
constexpr double kMinPredictedPsnr = 40.0;

struct OracleCase {
    const char* name;
    const char* source;  // lavfi source
    int width, height, frames;
    const char* encoder;  // ffmpeg output options
    const char* format;   // m4v or h263
    bool stripRepeatedHeaders;
};

// Test names show the case name instead of the bytes of the case.
void PrintTo(const OracleCase& c, std::ostream* os) {
    *os << c.name;
}

const char kTestSource[] = "testsrc2";
const char kNoisySource[] = "testsrc2,noise=alls=40:allf=t";
const char kMandelbrot[] = "mandelbrot";

const OracleCase kCases[] = {
    {"xvid_long_gop", kTestSource, 176, 144, 300, "-c:v libxvid -g 1000 -q:v 4", "m4v", false},
    {"xvid_mpeg_quant", kTestSource, 176, 144, 60, "-c:v libxvid -g 1000 -mpeg_quant 1 -q:v 3",
     "m4v", false},
    {"xvid_four_vectors_low_q", kMandelbrot, 176, 144, 60,
     "-c:v libxvid -g 1000 -flags +mv4 -q:v 2 -me_quality 6", "m4v", false},
    {"xvid_q31", kTestSource, 176, 144, 60, "-c:v libxvid -g 1000 -q:v 31", "m4v", false},
    {"xvid_q1_mpeg_quant", kNoisySource, 176, 144, 30, "-c:v libxvid -g 1000 -q:v 1 -mpeg_quant 1",
     "m4v", false},
    {"xvid_loaded_matrices", kTestSource, 176, 144, 40,
     "-c:v libxvid -g 1000 -mpeg_quant 1 -q:v 4 -intra_matrix "
     "8,9,10,11,12,13,14,15,9,10,11,12,13,14,15,16,10,11,12,13,14,15,16,17,11,12,13,14,15,16,"
     "17,18,12,13,14,15,16,17,18,19,13,14,15,16,17,18,19,20,14,15,16,17,18,19,20,21,15,16,17,"
     "18,19,20,21,22 -inter_matrix "
     "16,16,16,16,17,17,17,17,16,16,16,16,17,17,17,17,16,16,16,16,17,17,17,17,16,16,16,16,17,"
     "17,17,17,18,18,18,18,19,19,19,19,18,18,18,18,19,19,19,19,18,18,18,18,19,19,19,19,18,18,"
     "18,18,19,19,19,19",
     "m4v", false},
    {"xvid_noisy_escapes", kNoisySource, 176, 144, 30, "-c:v libxvid -g 1000 -q:v 2", "m4v", false},
    {"xvid_gop_10", kTestSource, 176, 144, 60, "-c:v libxvid -g 10 -q:v 5 -flags +mv4", "m4v",
     true},
    {"xvid_160x120", kMandelbrot, 160, 120, 45, "-c:v libxvid -g 1000 -q:v 3", "m4v", false},
    {"xvid_128x96", kTestSource, 128, 96, 45, "-c:v libxvid -g 1000 -q:v 5 -flags +mv4", "m4v",
     false},
    {"xvid_headers_before_intra_vops", kTestSource, 176, 144, 60, "-c:v libxvid -g 12 -q:v 4",
     "m4v", false},
    {"mpeg4_resync_markers_without_packets", kTestSource, 176, 144, 60, "-c:v mpeg4 -q:v 4 -g 30",
     "m4v", false},
    {"mpeg4_packets_100", kTestSource, 176, 144, 60, "-c:v mpeg4 -q:v 4 -g 24 -ps 100", "m4v",
     false},
    {"mpeg4_packets_300_mpeg_quant_four_vectors", kMandelbrot, 176, 144, 60,
     "-c:v mpeg4 -q:v 2 -g 12 -ps 300 -mpeg_quant 1 -flags +mv4", "m4v", false},
    {"mpeg4_packets_50_high_q", kNoisySource, 176, 144, 30, "-c:v mpeg4 -q:v 12 -g 10 -ps 50",
     "m4v", false},
    {"mpeg4_packets_128x96", kTestSource, 128, 96, 45, "-c:v mpeg4 -q:v 3 -ps 80 -flags +mv4",
     "m4v", false},
    {"h263_qcif", kTestSource, 176, 144, 60, "-c:v h263 -q:v 5", "h263", false},
    {"h263_sqcif_gob_headers", kMandelbrot, 128, 96, 60, "-c:v h263 -q:v 3 -ps 200", "h263", false},
    {"h263_qcif_gob_headers_high_q", kNoisySource, 176, 144, 30, "-c:v h263 -q:v 20 -ps 100 -g 12",
     "h263", false},
};

// Picture types ('I', 'P') of a stream, in decoding order.
std::string pictureTypes(const std::string& path) {
    auto r = runCommand("ffprobe -v error -show_entries frame=pict_type -of csv=p=0 " +
                        shellQuote(path));
    std::string types;
    for (char c : r.output)
        if (c == 'I' || c == 'P' || c == 'B') types += c;
    return types;
}

class OracleTest : public ::testing::TestWithParam<OracleCase> {};

TEST_P(OracleTest, MatchesFfmpeg) {
    const OracleCase& c = GetParam();
    TempDir dir;
    const std::string stream = dir.file(std::string("in.") + c.format);
    char source[256];
    std::snprintf(source, sizeof source, "%s=size=%dx%d:rate=15", c.source, c.width, c.height);
    if (std::string(c.source).find(',') != std::string::npos) {
        std::string s(c.source);
        std::snprintf(source, sizeof source, "%s=size=%dx%d:rate=15,%s",
                      s.substr(0, s.find(',')).c_str(), c.width, c.height,
                      s.substr(s.find(',') + 1).c_str());
    }
    ASSERT_EQ(ffmpeg(std::string("-f lavfi -i ") + shellQuote(source) + " -frames:v " +
                     std::to_string(c.frames) + " " + c.encoder + " -f " + c.format + " " +
                     shellQuote(stream)),
              0)
        << "ffmpeg could not make the stream";
    if (c.stripRepeatedHeaders)
        testing_util::writeFile(stream, vdec_test::stripRepeatedHeaders(readFile(stream)));

    const std::string ours = dir.file("ours.yuv"), theirs = dir.file("theirs.yuv");
    auto r = runCommand(
        shellQuote(cliPath()) + " decode " + shellQuote(stream) + " " + shellQuote(ours), true);
    ASSERT_EQ(r.exitCode, 0) << r.output;
    ASSERT_EQ(ffmpeg("-idct simple -i " + shellQuote(stream) +
                     " -fps_mode passthrough -f rawvideo -pix_fmt yuv420p " + shellQuote(theirs)),
              0);
    const std::vector<uint8_t> a = readFile(ours), b = readFile(theirs);
    const size_t fb = vdec_test::frameBytes(c.width, c.height);
    ASSERT_EQ(a.size(), size_t(c.frames) * fb);
    ASSERT_EQ(b.size(), a.size());
    EXPECT_NE(r.output.find("frames: " + std::to_string(c.frames)), std::string::npos);

    const std::string types = pictureTypes(stream);
    ASSERT_EQ(types.size(), size_t(c.frames));
    double minIntra = 99, minPredicted = 99, sumIntra = 0, sumPredicted = 0;
    int intra = 0, predicted = 0;
    for (int i = 0; i < c.frames; ++i) {
        const double p = testing_util::psnr(a.data() + i * fb, b.data() + i * fb, fb);
        if (types[size_t(i)] == 'I') {
            EXPECT_GE(p, kMinIntraPsnr) << "intra picture " << i;
            minIntra = std::min(minIntra, p);
            sumIntra += p;
            ++intra;
        } else {
            EXPECT_GE(p, kMinPredictedPsnr) << "predicted picture " << i;
            minPredicted = std::min(minPredicted, p);
            sumPredicted += p;
            ++predicted;
        }
    }
    std::printf("PSNR %s: intra %d min %.2f mean %.2f, predicted %d min %.2f mean %.2f dB\n",
                c.name, intra, minIntra, intra ? sumIntra / intra : 0.0, predicted, minPredicted,
                predicted ? sumPredicted / predicted : 0.0);
}

INSTANTIATE_TEST_SUITE_P(Streams, OracleTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
