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

// What is done to ffmpeg's stream before both decoders read it.
enum class Edit {
    none,
    stripRepeatedHeaders,  // the headers libxvid repeats in front of intra VOPs go
    volFirst,              // the stream starts at its VOL header (no VOS or VO header)
    endCodes,              // an end code after every picture (MPEG-4 00 00 01 B1; H.263 the
                           // end-of-sequence marker and stuffing)
};

struct OracleCase {
    const char* name;
    const char* source;  // lavfi source
    int width, height, frames;
    const char* encoder;  // ffmpeg output options
    const char* format;   // m4v or h263
    Edit edit;
};

// Test names show the case name instead of the bytes of the case.
void PrintTo(const OracleCase& c, std::ostream* os) {
    *os << c.name;
}

const char kTestSource[] = "testsrc2";
const char kNoisySource[] = "testsrc2,noise=alls=40:allf=t";
const char kMandelbrot[] = "mandelbrot";

const OracleCase kCases[] = {
    {"xvid_long_gop", kTestSource, 176, 144, 300, "-c:v libxvid -g 1000 -q:v 4", "m4v", Edit::none},
    {"xvid_mpeg_quant", kTestSource, 176, 144, 60, "-c:v libxvid -g 1000 -mpeg_quant 1 -q:v 3",
     "m4v", Edit::none},
    {"xvid_four_vectors_low_q", kMandelbrot, 176, 144, 60,
     "-c:v libxvid -g 1000 -flags +mv4 -q:v 2 -me_quality 6", "m4v", Edit::none},
    {"xvid_q31", kTestSource, 176, 144, 60, "-c:v libxvid -g 1000 -q:v 31", "m4v", Edit::none},
    {"xvid_q1_mpeg_quant", kNoisySource, 176, 144, 30, "-c:v libxvid -g 1000 -q:v 1 -mpeg_quant 1",
     "m4v", Edit::none},
    {"xvid_loaded_matrices", kTestSource, 176, 144, 40,
     "-c:v libxvid -g 1000 -mpeg_quant 1 -q:v 4 -intra_matrix "
     "8,9,10,11,12,13,14,15,9,10,11,12,13,14,15,16,10,11,12,13,14,15,16,17,11,12,13,14,15,16,"
     "17,18,12,13,14,15,16,17,18,19,13,14,15,16,17,18,19,20,14,15,16,17,18,19,20,21,15,16,17,"
     "18,19,20,21,22 -inter_matrix "
     "16,16,16,16,17,17,17,17,16,16,16,16,17,17,17,17,16,16,16,16,17,17,17,17,16,16,16,16,17,"
     "17,17,17,18,18,18,18,19,19,19,19,18,18,18,18,19,19,19,19,18,18,18,18,19,19,19,19,18,18,"
     "18,18,19,19,19,19",
     "m4v", Edit::none},
    {"xvid_noisy_escapes", kNoisySource, 176, 144, 30, "-c:v libxvid -g 1000 -q:v 2", "m4v",
     Edit::none},
    {"xvid_gop_10", kTestSource, 176, 144, 60, "-c:v libxvid -g 10 -q:v 5 -flags +mv4", "m4v",
     Edit::stripRepeatedHeaders},
    {"xvid_160x120", kMandelbrot, 160, 120, 45, "-c:v libxvid -g 1000 -q:v 3", "m4v", Edit::none},
    {"xvid_128x96", kTestSource, 128, 96, 45, "-c:v libxvid -g 1000 -q:v 5 -flags +mv4", "m4v",
     Edit::none},
    {"xvid_headers_before_intra_vops", kTestSource, 176, 144, 60, "-c:v libxvid -g 12 -q:v 4",
     "m4v", Edit::none},
    {"mpeg4_resync_markers_without_packets", kTestSource, 176, 144, 60, "-c:v mpeg4 -q:v 4 -g 30",
     "m4v", Edit::none},
    {"mpeg4_packets_100", kTestSource, 176, 144, 60, "-c:v mpeg4 -q:v 4 -g 24 -ps 100", "m4v",
     Edit::none},
    {"mpeg4_packets_300_mpeg_quant_four_vectors", kMandelbrot, 176, 144, 60,
     "-c:v mpeg4 -q:v 2 -g 12 -ps 300 -mpeg_quant 1 -flags +mv4", "m4v", Edit::none},
    {"mpeg4_packets_50_high_q", kNoisySource, 176, 144, 30, "-c:v mpeg4 -q:v 12 -g 10 -ps 50",
     "m4v", Edit::none},
    {"mpeg4_packets_128x96", kTestSource, 128, 96, 45, "-c:v mpeg4 -q:v 3 -ps 80 -flags +mv4",
     "m4v", Edit::none},
    {"h263_qcif", kTestSource, 176, 144, 60, "-c:v h263 -q:v 5", "h263", Edit::none},
    {"h263_sqcif_gob_headers", kMandelbrot, 128, 96, 60, "-c:v h263 -q:v 3 -ps 200", "h263",
     Edit::none},
    {"h263_qcif_gob_headers_high_q", kNoisySource, 176, 144, 30, "-c:v h263 -q:v 20 -ps 100 -g 12",
     "h263", Edit::none},
    {"xvid_qvga", kTestSource, 320, 240, 20, "-c:v libxvid -g 10 -q:v 4 -flags +mv4", "m4v",
     Edit::none},
    {"xvid_vga", kMandelbrot, 640, 480, 10, "-c:v libxvid -g 1000 -q:v 4", "m4v", Edit::none},
    {"xvid_720x576", kTestSource, 720, 576, 6, "-c:v libxvid -g 1000 -q:v 6", "m4v", Edit::none},
    {"h263_cif", kTestSource, 352, 288, 12, "-c:v h263 -q:v 4", "h263", Edit::none},
    {"h263_4cif_gob_headers", kTestSource, 704, 576, 6, "-c:v h263 -q:v 6 -ps 500", "h263",
     Edit::none},
    {"xvid_vol_first", kTestSource, 176, 144, 30, "-c:v libxvid -g 10 -q:v 5", "m4v",
     Edit::volFirst},
    {"xvid_end_code_after_every_vop", kTestSource, 176, 144, 30, "-c:v libxvid -g 10 -q:v 5", "m4v",
     Edit::endCodes},
    {"h263_end_marker_after_every_picture", kTestSource, 176, 144, 30, "-c:v h263 -q:v 5 -g 10",
     "h263", Edit::endCodes},
};

// Starts of the pictures: VOP start codes, or H.263 picture start codes.
std::vector<size_t> pictureStarts(const std::vector<uint8_t>& s, bool h263) {
    if (!h263) return vdec_test::findStartCodes(s, 0xB6);
    std::vector<size_t> at;
    for (size_t i = 0; i + 2 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && (s[i + 2] & 0xFC) == 0x80) at.push_back(i);
    return at;
}

std::vector<uint8_t> applyEdit(const std::vector<uint8_t>& s, Edit edit, bool h263) {
    switch (edit) {
        case Edit::none:
            return s;
        case Edit::stripRepeatedHeaders:
            return vdec_test::stripRepeatedHeaders(s);
        case Edit::volFirst: {
            const std::vector<size_t> vols = vdec_test::findStartCodes(s, 0x20);
            EXPECT_FALSE(vols.empty());
            return vols.empty() ? s : std::vector<uint8_t>(s.begin() + long(vols[0]), s.end());
        }
        case Edit::endCodes: {
            // The end code goes right after the picture's data, in front of any header the
            // encoder repeats before the next picture.
            const std::vector<uint8_t> end =
                h263 ? std::vector<uint8_t>{0x00, 0x00, 0xFC} : std::vector<uint8_t>{0, 0, 1, 0xB1};
            std::vector<size_t> starts = pictureStarts(s, h263);
            starts.push_back(s.size());
            std::vector<uint8_t> out(s.begin(), s.begin() + long(starts[0]));
            for (size_t k = 0; k + 1 < starts.size(); ++k) {
                size_t stop = starts[k + 1];
                for (size_t i = starts[k] + 4; !h263 && i + 2 < stop; ++i)
                    if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1) {
                        stop = i;
                        break;
                    }
                out.insert(out.end(), s.begin() + long(starts[k]), s.begin() + long(stop));
                out.insert(out.end(), end.begin(), end.end());
                out.insert(out.end(), s.begin() + long(stop), s.begin() + long(starts[k + 1]));
            }
            return out;
        }
    }
    return s;
}

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
    if (c.edit != Edit::none)
        testing_util::writeFile(
            stream, applyEdit(readFile(stream), c.edit, std::string(c.format) == "h263"));

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
