// Header decoding: the VOL header's fields and refusals, the VOP and GOV headers, the
// short-header picture header, and the stream kinds the decoder accepts.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>

#include "tables/std_tables.h"
#include "testing/test_util.h"
#include "vdec/dec_decheader.h"
#include "vdec/dec_session.h"
#include "vdec/vdec.h"
#include "vdec_test_util.h"

namespace {

using vdec_test::BitWriter;
using vdec_test::contains;
using vdec_test::DecodeResult;
using vdec_test::decodeStream;
using vdec_test::frameBytes;
using vdec_test::MemoryStream;
using vdec_test::VolFields;

// A stream of the layer with one flat I-VOP.
std::vector<uint8_t> oneFrameStream(const VolFields& vol) {
    BitWriter w;
    vdec_test::writeSequenceHeaders(&w, vol);
    vdec_test::writeFlatIntraVop(&w, vol);
    return w.bytes();
}

struct VolCase {
    const char* name;
    std::function<void(VolFields*)> change;
    bool accepted;
    const char* message;     // printed when refused ("" for none expected)
    bool streamFileDeleted;  // the decoder removes the elementary-stream file
};

// Test names show the case name instead of the bytes of the case.
void PrintTo(const VolCase& c, std::ostream* os) {
    *os << c.name;
}

class VolHeaderTest : public ::testing::TestWithParam<VolCase> {};

TEST_P(VolHeaderTest, AcceptsOrRefuses) {
    const VolCase& c = GetParam();
    VolFields vol;
    c.change(&vol);
    DecodeResult r = decodeStream(oneFrameStream(vol));
    EXPECT_EQ(r.success, c.accepted ? 1 : 0) << r.output;
    if (*c.message) {
        EXPECT_TRUE(contains(r.output, c.message)) << r.output;
    }
    EXPECT_EQ(r.streamFileLeft, !c.streamFileDeleted);
    if (c.accepted) {
        EXPECT_EQ(r.pictures.size(), frameBytes(vol.width, vol.height));
        EXPECT_EQ(r.width, vol.width);
        EXPECT_EQ(r.height, vol.height);
    } else {
        EXPECT_TRUE(r.pictures.empty());
    }
}

const VolCase kVolCases[] = {
    {"plain", [](VolFields*) {}, true, "not using resync marker.\n", false},
    {"verid2", [](VolFields* v) { v->verId = 2; }, true, "NEWPRED: OFF.\n\n", false},
    {"width176", [](VolFields* v) { v->width = 176; }, true, "", false},
    {"width177", [](VolFields* v) { v->width = 177; }, true, "", false},
    {"largest_1920x1088",
     [](VolFields* v) {
         v->width = 1920;
         v->height = 1088;
     },
     true, "", false},
    {"portrait_544x960",
     [](VolFields* v) {
         v->width = 544;
         v->height = 960;
     },
     true, "", false},
    {"width1921_refused",
     [](VolFields* v) {
         v->width = 1921;
         v->height = 1088;
     },
     false, "picture size 1921x1088 is larger than 1920x1088, not supported!\n", true},
    {"width100_height50",
     [](VolFields* v) {
         v->width = 100;
         v->height = 50;
     },
     true, "", false},
    {"height1089_refused", [](VolFields* v) { v->height = 1089; }, false,
     "picture size 176x1089 is larger than 1920x1088, not supported!\n", true},
    {"zero_height", [](VolFields* v) { v->height = 0; }, false,
     "picture size 176x0 is not supported!\n", false},
    {"fixed_vop_rate", [](VolFields* v) { v->fixedVopRate = 1; }, true, "", false},
    {"first_marker", [](VolFields* v) { v->firstMarker = 0; }, false,
     "VOL marker bit is not set!\n", false},
    {"second_marker", [](VolFields* v) { v->secondMarker = 0; }, false,
     "VOL marker bit is not set!\n", false},
    {"clock_rate_0", [](VolFields* v) { v->clockRate = 0; }, false,
     "vop_time_increment_resolution is 0!\n", false},
    {"binary_shape", [](VolFields* v) { v->shape = 1; }, false, "binary shape is not supported!\n",
     false},
    {"binary_only_shape", [](VolFields* v) { v->shape = 2; }, false,
     "binary shape is not supported!\n", false},
    {"grayscale", [](VolFields* v) { v->shape = 3; }, false, "grayscale is not supported!\n",
     false},
    {"interlaced", [](VolFields* v) { v->interlaced = 1; }, false,
     "interlaced video is not supported!\n", false},
    {"static_sprite", [](VolFields* v) { v->spriteEnable = 1; }, false,
     "sprite is not supported!\n", false},
    {"gmc_sprite",
     [](VolFields* v) {
         v->verId = 2;
         v->spriteEnable = 2;
     },
     false, "sprite is not supported!\n", false},
    {"not_8_bit", [](VolFields* v) { v->not8Bit = 1; }, false, "be not 8 bit not supported!\n",
     false},
    {"quarter_sample",
     [](VolFields* v) {
         v->verId = 2;
         v->quarterSample = 1;
     },
     false, "Using quarter pel.\nquarter pel is not supported!\n", false},
    {"complexity_estimation", [](VolFields* v) { v->complexityEstimationDisable = 0; }, false,
     "complexity estimation is not supported!\n", false},
    {"resync_markers", [](VolFields* v) { v->resyncMarkerDisable = 0; }, true,
     "using resync marker.\n", false},
    {"data_partitioned", [](VolFields* v) { v->dataPartitioned = 1; }, false,
     "Using data partition.\n", true},
    {"reversible_vlc",
     [](VolFields* v) {
         v->dataPartitioned = 1;
         v->reversibleVlc = 1;
     },
     false, "Using data partition.\nUsing reversible vlc.\n", true},
    {"newpred",
     [](VolFields* v) {
         v->verId = 2;
         v->newpred = 1;
     },
     false, "newpred is not supported!\n", false},
    {"reduced_resolution",
     [](VolFields* v) {
         v->verId = 2;
         v->reducedResolution = 1;
     },
     false, "reduced resolution VOP is not supported!\n", false},
    {"scalability", [](VolFields* v) { v->scalability = 1; }, false,
     "scalability is not supported!\n", false},
    {"mpeg_quant_default_matrices", [](VolFields* v) { v->quantType = 1; }, true, "", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, VolHeaderTest, ::testing::ValuesIn(kVolCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TimeIncrementTest, BitsFollowTheResolution) {
    const struct {
        int clockRate, bits;
    } cases[] = {{1, 1}, {2, 1}, {3, 2}, {15, 4}, {16, 4}, {30, 5}, {32, 5}, {33, 6}, {65535, 16}};
    for (const auto& c : cases) EXPECT_EQ(timeIncrementBits(c.clockRate), c.bits) << c.clockRate;
}

struct MatrixCase {
    const char* name;
    std::vector<int> list;    // the values in the stream (a 0 ends a short list)
    std::vector<int> zigzag;  // expected weight per zigzag position, the last one repeated
    bool isDefault;
};

TEST(QuantMatrixTest, ListsFillTheMatrix) {
    std::vector<int> all64;
    for (int i = 0; i < 64; ++i) all64.push_back(i + 1);
    const MatrixCase cases[] = {
        {"short list", {8, 16, 0}, {8, 16}, false},
        {"one value", {20, 0}, {20}, false},
        {"full list", all64, all64, false},
        {"first value 0 keeps the default", {0}, {}, true},
    };
    for (const MatrixCase& c : cases) {
        BitWriter w;
        for (int v : c.list) w.put(uint32_t(v), 8);
        w.put(0xFFFFFFFF, 32);
        MemoryStream s(w.bytes());
        uint8_t m[64];
        std::memset(m, 0xAA, sizeof m);
        readQuantMatrix(m, tables::kDefaultInterMatrix);
        for (int k = 0; k < 64; ++k) {
            int expected = c.isDefault ? tables::kDefaultInterMatrix[tables::kScanZigzag[k]]
                                       : c.zigzag[std::min<size_t>(k, c.zigzag.size() - 1)];
            EXPECT_EQ(m[tables::kScanZigzag[k]], expected) << c.name << " position " << k;
        }
        // The reader stops right after the list.
        EXPECT_EQ(g_bits.bitPosition(), 8 * std::min<size_t>(c.list.size(), 64)) << c.name;
    }
}

TEST(QuantMatrixTest, LoadedMatricesDecode) {
    VolFields vol;
    vol.quantType = 1;
    vol.intraMatrix = {8, 16, 0};
    vol.interMatrix = {0};
    DecodeResult r = decodeStream(oneFrameStream(vol));
    EXPECT_EQ(r.success, 1) << r.output;
    EXPECT_EQ(r.pictures.size(), frameBytes(176, 144));
}

// An MPEG-4 stream may start at its video object or straight at its VOL header (as some
// muxers store the decoder configuration); a VOL header cut short is refused.
TEST(StreamKindTest, MpegFourStreamsStartAtTheVideoObjectOrTheVol) {
    const struct {
        const char* name;
        bool videoObject;
        bool cutShort;
    } cases[] = {
        {"video object", true, false}, {"VOL first", false, false}, {"VOL cut short", false, true}};
    VolFields vol;
    for (const auto& c : cases) {
        BitWriter w;
        if (c.videoObject) w.putStartCode(0x00000100);
        vdec_test::writeVolHeader(&w, vol);
        std::vector<uint8_t> s = w.bytes();
        if (c.cutShort) {
            s.resize(6);
        } else {
            vdec_test::writeFlatIntraVop(&w, vol);
            s = w.bytes();
        }
        DecodeResult r = decodeStream(s);
        EXPECT_EQ(r.success, c.cutShort ? 0 : 1) << c.name << "\n" << r.output;
        EXPECT_TRUE(contains(r.output, "\nBitstream without short headers detected!\n")) << c.name;
        EXPECT_EQ(r.pictures.size(), c.cutShort ? 0 : frameBytes(176, 144)) << c.name;
    }
}

TEST(StreamKindTest, UnrecognisedStreamFails) {
    const std::vector<std::vector<uint8_t>> streams = {
        {0x00, 0x00, 0x01, 0xB6, 0x10, 0x20, 0x30},  // a VOP without any VOL header
        {},                                          // nothing at all
        {0x12, 0x34, 0x56, 0x78},
    };
    for (const auto& s : streams) {
        DecodeResult r = decodeStream(s);
        EXPECT_EQ(r.success, 0);
        EXPECT_TRUE(contains(r.output, "no video object layer or short video header found!\n"))
            << r.output;
        EXPECT_TRUE(r.pictures.empty());
    }
}

TEST(StreamKindTest, NoVolStartCodeAfterVideoObject) {
    BitWriter w;
    w.putStartCode(0x00000100);
    w.putStartCode(0x000001B6);
    DecodeResult r = decodeStream(w.bytes());
    EXPECT_EQ(r.success, 0);
    EXPECT_TRUE(contains(r.output, "Bitstream does not start with VOL_START_CODE\n"));
}

TEST(StreamKindTest, MissingStreamFileFailsWithoutPictures) {
    testing_util::TempDir dir;
    ::testing::internal::CaptureStdout();
    const DecoderResult r = runDecoderOnFile(dir.file("missing.m4v"), dir.file("pictures.yuv"));
    ::testing::internal::GetCapturedStdout();
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.message, "cannot read " + dir.file("missing.m4v"));
    EXPECT_FALSE(testing_util::fileExists(dir.file("pictures.yuv")));
}

// VOP-level cases on a stream of the default layer.
TEST(VopHeaderTest, NotCodedVopRepeatsTheFrameOrWritesGrey) {
    VolFields vol;
    BitWriter w;
    vdec_test::writeSequenceHeaders(&w, vol);
    vdec_test::writeVopHeader(&w, vol, 1, 0, 0);  // not coded, before any picture
    w.stuff();
    vdec_test::writeFlatIntraVop(&w, vol);
    vdec_test::writeVopHeader(&w, vol, 1, 0, 0);  // not coded, after it
    w.stuff();
    DecodeResult r = decodeStream(w.bytes());
    EXPECT_EQ(r.success, 1) << r.output;
    const size_t fb = frameBytes(176, 144);
    ASSERT_EQ(r.pictures.size(), 3 * fb);
    EXPECT_EQ(std::count(r.pictures.begin(), r.pictures.begin() + long(fb), 128), long(fb));
    EXPECT_TRUE(std::equal(r.pictures.begin() + long(fb), r.pictures.begin() + long(2 * fb),
                           r.pictures.begin() + long(2 * fb)));
    EXPECT_EQ(std::count(r.output.begin(), r.output.end(), '\n') > 0, true);
    EXPECT_TRUE(contains(r.output, "not coded\n"));
}

struct VopCase {
    const char* name;
    std::function<void(BitWriter*, const VolFields&)> write;  // after one flat I-VOP
    int success;
    int frames;
    const char* message;
};

// Test names show the case name instead of the bytes of the case.
void PrintTo(const VopCase& c, std::ostream* os) {
    *os << c.name;
}

class VopSequenceTest : public ::testing::TestWithParam<VopCase> {};

TEST_P(VopSequenceTest, Decodes) {
    const VopCase& c = GetParam();
    VolFields vol;
    BitWriter w;
    vdec_test::writeSequenceHeaders(&w, vol);
    vdec_test::writeFlatIntraVop(&w, vol);
    c.write(&w, vol);
    DecodeResult r = decodeStream(w.bytes());
    EXPECT_EQ(r.success, c.success) << r.output;
    EXPECT_EQ(r.pictures.size(), size_t(c.frames) * frameBytes(176, 144));
    if (*c.message) {
        EXPECT_TRUE(contains(r.output, c.message)) << r.output;
    }
}

void writeGov(BitWriter* w, int closedGov, int brokenLink, bool userData) {
    w->putStartCode(0x000001B3);
    w->put(0, 5);
    w->put(0, 6);
    w->put(1, 1);
    w->put(0, 6);
    w->put(uint32_t(closedGov), 1);
    w->put(uint32_t(brokenLink), 1);
    w->stuff();
    if (userData) {
        w->putStartCode(0x000001B2);
        for (char ch : std::string("made by hand")) w->put(uint8_t(ch), 8);
    }
}

const VopCase kVopCases[] = {
    {"skipped_p_vop", [](BitWriter* w, const VolFields& v) { vdec_test::writeSkippedPVop(w, v); },
     1, 2, "99 MB skipped\n"},
    {"gov_then_vop",
     [](BitWriter* w, const VolFields& v) {
         writeGov(w, 1, 0, false);
         vdec_test::writeSkippedPVop(w, v);
     },
     1, 2, ""},
    {"gov_user_data_then_vop",
     [](BitWriter* w, const VolFields& v) {
         writeGov(w, 0, 0, true);
         vdec_test::writeFlatIntraVop(w, v);
     },
     1, 2, "get user data!\n"},
    {"gov_open_with_broken_link",
     [](BitWriter* w, const VolFields& v) {
         writeGov(w, 0, 1, false);
         vdec_test::writeFlatIntraVop(w, v);
     },
     0, 1, "closed_gov = 0\nbroken_link = 1\n"},
    {"b_vop",
     [](BitWriter* w, const VolFields& v) {
         vdec_test::writeVopHeader(w, v, 2, 1, 8);
         w->stuff();
     },
     0, 1, "B-VOP and S-VOP are not supported!\n"},
    {"s_vop",
     [](BitWriter* w, const VolFields& v) {
         vdec_test::writeVopHeader(w, v, 3, 1, 8);
         w->stuff();
     },
     0, 1, "B-VOP and S-VOP are not supported!\n"},
    {"fcode_0",
     [](BitWriter* w, const VolFields& v) {
         vdec_test::writeVopHeader(w, v, 1, 1, 8, 0);
         w->stuff();
     },
     0, 1, "vop_fcode_forward 0 is not legal!\n"},
    {"end_code", [](BitWriter* w, const VolFields&) { w->putStartCode(0x000001B1); }, 1, 1, ""},
    {"end_code_then_vop",
     [](BitWriter* w, const VolFields& v) {
         w->putStartCode(0x000001B1);
         vdec_test::writeFlatIntraVop(w, v);
     },
     1, 2, ""},
    {"repeated_stream_headers_are_read",
     [](BitWriter* w, const VolFields& v) {
         vdec_test::writeSequenceHeaders(w, v);
         w->putStartCode(0x000001B2);
         w->put(0x41424344, 32);
         vdec_test::writeFlatIntraVop(w, v);
     },
     1, 2, ""},
    {"repeated_vol_of_another_layer",
     [](BitWriter* w, const VolFields& v) {
         VolFields other = v;
         other.quantType = 1;
         w->putStartCode(0x00000100);
         vdec_test::writeVolHeader(w, other);
         vdec_test::writeFlatIntraVop(w, other);
     },
     0, 1, "a repeated VOL header changes the video object layer, not supported!\n"},
    {"other_start_code_ends_decoding",
     [](BitWriter* w, const VolFields& v) {
         w->putStartCode(0x000001B4);
         vdec_test::writeFlatIntraVop(w, v);
     },
     1, 1, ""},
    {"junk_between_vops",
     [](BitWriter* w, const VolFields& v) {
         w->put(0x12345678, 32);
         vdec_test::writeSkippedPVop(w, v);
     },
     1, 2, ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, VopSequenceTest, ::testing::ValuesIn(kVopCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
