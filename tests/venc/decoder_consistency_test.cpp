// Our decoder decoding our encoder's stream reproduces the encoder's reconstruction byte
// for byte on every VOP: the two sides of the converter agree on every syntax element and
// every piece of arithmetic (prediction, quantisation, transforms, motion compensation).

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "testing/test_util.h"
#include "vdec/dec_records.h"
#include "vdec/vdec.h"
#include "venc/enc_global.h"
#include "venc_test_util.h"

namespace {

// Both codecs' records can be seen from one file, and they code the macroblock modes alike.
constexpr bool sameMode(int32_t decoder, int32_t encoder) {
    return decoder == encoder;
}
static_assert(sameMode(vdec::INTRA, venc::INTRA) && sameMode(vdec::INTRAQ, venc::INTRAQ) &&
              sameMode(vdec::INTER, venc::INTER) && sameMode(vdec::INTERQ, venc::INTERQ) &&
              sameMode(vdec::INTER4V, venc::INTER4V));

using testing_util::readFile;
using testing_util::TempDir;
using venc_test::frameBytes;

struct ConsistencyCase {
    const char* name;
    int sourceWidth, sourceHeight, frames;
    int width, height;
    uint32_t bitRate;
    int quantType;
    int intraQP;
    bool noise;  // a picture of pure noise instead of natural motion
};

// Test names show the case name instead of the bytes of the case.
void PrintTo(const ConsistencyCase& c, std::ostream* os) {
    *os << c.name;
}

class DecoderConsistencyTest : public ::testing::TestWithParam<ConsistencyCase> {};

// Decodes `stream` with the converter's decoder into `pictures`.
DecoderResult decodeWithOurDecoder(const TempDir& dir, const std::vector<uint8_t>& stream,
                                   std::vector<uint8_t>* pictures) {
    const std::string esPath = dir.file("stream.m4v"), picturesPath = dir.file("decoded.yuv");
    testing_util::writeFile(esPath, stream);
    const DecoderResult r = runDecoderOnFile(esPath, picturesPath);
    *pictures = readFile(picturesPath);
    return r;
}

TEST_P(DecoderConsistencyTest, DecoderReproducesTheReconstruction) {
    const ConsistencyCase& c = GetParam();
    TempDir dir;
    const std::string input = dir.file("input.yuv");
    if (c.noise) {
        ASSERT_EQ(testing_util::ffmpeg(
                      "-f lavfi -i " +
                      testing_util::shellQuote("nullsrc=size=" + std::to_string(c.sourceWidth) +
                                               "x" + std::to_string(c.sourceHeight) +
                                               ":rate=10,geq=random(1)*255:random(2)*255:128") +
                      " -frames:v " + std::to_string(c.frames) + " -pix_fmt yuv420p -f rawvideo " +
                      testing_util::shellQuote(input)),
                  0);
    } else {
        venc_test::makeNaturalInput(input, c.sourceWidth, c.sourceHeight, c.frames);
    }
    ::testing::internal::CaptureStdout();
    const venc_test::InProcessRun run = venc_test::encodeInProcess(
        dir, input, c.sourceWidth, c.sourceHeight, 10, 10, [&](EncVolMode& vol, EncVopMode& vop) {
            vop.iWidth = c.width;
            vop.iHeight = c.height;
            vol.uiBitRate = c.bitRate;
            vol.iQuantType = c.quantType;
            vop.iIntraQP = c.intraQP;
        });
    std::vector<uint8_t> decoded;
    const DecoderResult r = decodeWithOurDecoder(dir, run.stream, &decoded);
    ::testing::internal::GetCapturedStdout();

    ASSERT_EQ(run.success, 1);
    ASSERT_EQ(run.vops, c.frames);
    EXPECT_TRUE(r.ok) << r.message;
    EXPECT_EQ(r.width, c.width);
    EXPECT_EQ(r.height, c.height);
    EXPECT_EQ(r.frames, c.frames);
    const size_t frame = frameBytes(c.width, c.height);
    ASSERT_EQ(run.recon.size(), frame * static_cast<size_t>(c.frames));
    ASSERT_EQ(decoded.size(), run.recon.size());
    for (int k = 0; k < c.frames; ++k) {
        const auto ours = run.recon.begin() + static_cast<std::ptrdiff_t>(k * frame);
        const auto theirs = decoded.begin() + static_cast<std::ptrdiff_t>(k * frame);
        ASSERT_TRUE(std::equal(ours, ours + static_cast<std::ptrdiff_t>(frame), theirs))
            << "VOP " << k << " differs";
    }
}

const ConsistencyCase kCases[] = {
    {"qcif_100k", 176, 144, 40, 176, 144, 100000, 1, 3, false},
    {"scaled_128x96_50k", 176, 144, 40, 128, 96, 50000, 1, 3, false},
    {"scaled_160x128_80k", 176, 144, 30, 160, 128, 80000, 1, 3, false},
    {"upscaled_128x128", 96, 80, 30, 128, 128, 100000, 1, 3, false},
    {"h263_quantisation", 176, 144, 30, 176, 144, 100000, 0, 3, false},
    {"second_intra_vop", 64, 48, 110, 32, 32, 20000, 1, 3, false},
    {"noise_at_qp1", 176, 144, 3, 176, 144, 100000, 1, 1, true},
};

INSTANTIATE_TEST_SUITE_P(Cases, DecoderConsistencyTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Chroma that flips between 0 and 255 from one picture to the next, under luma noise that
// drives the quantiser up, gives inter residuals of the whole range whose levels would
// dequantise past 2047 at some quantisers. The encoder limits such levels, so that a
// decoder that does not saturate (ffmpeg) rebuilds what ours does: within 3 of the
// reconstruction on every VOP.
TEST(FullRangeChromaTest, FfmpegRebuildsTheReconstruction) {
    TempDir dir;
    const int frames = 20;
    const std::string input = dir.file("flip.yuv");
    ASSERT_EQ(testing_util::ffmpeg(
                  "-f lavfi -i " +
                  testing_util::shellQuote("nullsrc=size=176x144:rate=10,format=yuv420p,geq=lum="
                                           "random(1)*255:cb=255*mod(N\\,2):cr=255*mod(N+1\\,2)") +
                  " -frames:v " + std::to_string(frames) + " -f rawvideo " +
                  testing_util::shellQuote(input)),
              0);
    for (uint32_t bitRate : {100000u, 50000u}) {
        ::testing::internal::CaptureStdout();
        const venc_test::InProcessRun run = venc_test::encodeInProcess(
            dir, input, 176, 144, 10, 10,
            [&](EncVolMode& vol, EncVopMode&) { vol.uiBitRate = bitRate; });
        ::testing::internal::GetCapturedStdout();
        ASSERT_EQ(run.success, 1);
        const std::string stream = dir.file("flip.m4v"), decoded = dir.file("flip_ffmpeg.yuv");
        testing_util::writeFile(stream, run.stream);
        ASSERT_EQ(testing_util::ffmpeg("-i " + testing_util::shellQuote(stream) +
                                       " -fps_mode passthrough -f rawvideo -pix_fmt yuv420p " +
                                       testing_util::shellQuote(decoded)),
                  0);
        const std::vector<uint8_t> theirs = readFile(decoded);
        ASSERT_EQ(theirs.size(), run.recon.size()) << bitRate;
        int worst = 0;
        for (size_t i = 0; i < theirs.size(); ++i)
            worst = std::max(worst, std::abs(int(theirs[i]) - int(run.recon[i])));
        EXPECT_LE(worst, 3) << "at " << bitRate << " bit/s";
    }
}

}  // namespace
