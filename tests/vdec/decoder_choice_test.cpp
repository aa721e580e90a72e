// Which decoder the video stage gives a stream: ours for MPEG-4 simple profile and H.263
// (whatever profile the headers announce), the library for H.264 and for video object
// layers with tools ours refuses.

#include <gtest/gtest.h>

#include <functional>

#include "core/fourcc.h"
#include "testing/test_util.h"
#include "vdec/vdec.h"
#include "vdec_test_util.h"

namespace {

using vdec_test::VolFields;

constexpr uint32_t kMp4v = fourcc('m', 'p', '4', 'v');

std::vector<uint8_t> headersOf(const VolFields& vol) {
    vdec_test::BitWriter w;
    vdec_test::writeSequenceHeaders(&w, vol);
    return w.bytes();
}

VolFields withVerId2(std::function<void(VolFields&)> change) {
    VolFields vol;
    vol.verId = 2;
    change(vol);
    return vol;
}

// The first kilobytes of an ffmpeg encoding of the test pattern with `options`.
std::vector<uint8_t> encoded(const std::string& options) {
    testing_util::TempDir dir;
    const std::string out = dir.file("stream.m4v");
    EXPECT_EQ(testing_util::ffmpeg("-f lavfi -i testsrc2=size=176x144:rate=15 -frames:v 4 " +
                                   options + " -f m4v " + testing_util::shellQuote(out)),
              0);
    std::vector<uint8_t> bytes = testing_util::readFile(out);
    if (bytes.size() > 4096) bytes.resize(4096);
    return bytes;
}

struct ChoiceCase {
    const char* name;
    uint32_t codec;
    std::function<std::vector<uint8_t>()> stream;
    VideoDecoderKind kind;
    const char* reason;
};

void PrintTo(const ChoiceCase& c, std::ostream* os) {
    *os << c.name;
}

class DecoderChoiceTest : public ::testing::TestWithParam<ChoiceCase> {};

TEST_P(DecoderChoiceTest, PicksTheDecoder) {
    const ChoiceCase& c = GetParam();
    const std::vector<uint8_t> head = c.stream();
    const VideoDecoderChoice choice = chooseVideoDecoder(c.codec, head.data(), head.size());
    EXPECT_EQ(choice.kind, c.kind);
    EXPECT_STREQ(choice.reason, c.reason);
}

const ChoiceCase kChoiceCases[] = {
    {"simple_profile", kMp4v, [] { return headersOf(VolFields()); }, VideoDecoderKind::Own, ""},
    // Advanced simple profile in the headers, but no tool ours lacks.
    {"xvid_asp_profile_without_b_vops", kMp4v,
     [] { return vdec_test::fixture("xvid_160x120_mpegquant.m4v"); }, VideoDecoderKind::Own, ""},
    {"ffmpeg_b_vops", kMp4v, [] { return encoded("-c:v mpeg4 -bf 2"); },
     VideoDecoderKind::LibraryMpeg4, "B-VOPs"},
    {"xvid_b_vops", kMp4v, [] { return encoded("-c:v libxvid -bf 2"); },
     VideoDecoderKind::LibraryMpeg4, "B-VOPs"},
    {"quarter_pel", kMp4v,
     [] { return headersOf(withVerId2([](VolFields& v) { v.quarterSample = 1; })); },
     VideoDecoderKind::LibraryMpeg4, "quarter-pel motion"},
    // The quarter-pel flag follows the quantiser matrices.
    {"quarter_pel_after_matrices", kMp4v,
     [] {
         return headersOf(withVerId2([](VolFields& v) {
             v.quantType = 1;
             v.intraMatrix = {8, 17, 18, 0};
             v.interMatrix = std::vector<int>(64, 16);
             v.quarterSample = 1;
         }));
     },
     VideoDecoderKind::LibraryMpeg4, "quarter-pel motion"},
    {"global_motion", kMp4v,
     [] { return headersOf(withVerId2([](VolFields& v) { v.spriteEnable = 2; })); },
     VideoDecoderKind::LibraryMpeg4, "global motion compensation"},
    {"interlaced", kMp4v,
     [] {
         VolFields v;
         v.interlaced = 1;
         return headersOf(v);
     },
     VideoDecoderKind::LibraryMpeg4, "interlacing"},
    {"no_vol_header", kMp4v, [] { return std::vector<uint8_t>{0, 0, 1, 0xB6, 0x10, 0x20}; },
     VideoDecoderKind::Own, ""},
    {"h264", fourcc('a', 'v', 'c', '1'),
     [] {
         return std::vector<uint8_t>{0, 0, 0, 1, 0x67};
     },
     VideoDecoderKind::LibraryH264, "H.264"},
    {"h263", fourcc('h', '2', '6', '3'), [] { return vdec_test::fixture("h263_qcif.h263"); },
     VideoDecoderKind::Own, ""},
};

INSTANTIATE_TEST_SUITE_P(Streams, DecoderChoiceTest, ::testing::ValuesIn(kChoiceCases),
                         [](const ::testing::TestParamInfo<ChoiceCase>& i) {
                             return std::string(i.param.name);
                         });

}  // namespace
