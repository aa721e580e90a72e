// Short-header (H.263) streams: the picture header's checks and messages, source formats,
// GOB headers, and the block-level refusals of the intra DC and the escape code.

#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "testing/test_util.h"
#include "vdec_test_util.h"

namespace {

using vdec_test::BitWriter;
using vdec_test::contains;
using vdec_test::DecodeResult;
using vdec_test::decodeStream;
using vdec_test::fixture;
using vdec_test::frameBytes;

// Bit offsets of picture header fields from the picture start code.
constexpr size_t kMarkerBit = 30, kZeroBit = 31, kSplitScreen = 32, kDocumentCamera = 33,
                 kFreezeRelease = 34, kSourceFormat = 35, kOptionBits = 39, kCpm = 48;

void setBits(std::vector<uint8_t>* s, size_t at, uint32_t value, int bits) {
    for (int i = 0; i < bits; ++i) {
        const size_t bit = at + size_t(i);
        const uint8_t mask = uint8_t(0x80 >> (bit % 8));
        if ((value >> (bits - 1 - i)) & 1)
            (*s)[bit / 8] |= mask;
        else
            (*s)[bit / 8] &= uint8_t(~mask);
    }
}

struct PictureHeaderCase {
    const char* name;
    size_t at;
    uint32_t value;
    int bits;
    const char* message;
    bool streamFileDeleted;
};

// Test names show the case name instead of the bytes of the case.
void PrintTo(const PictureHeaderCase& c, std::ostream* os) {
    *os << c.name;
}

class PictureHeaderTest : public ::testing::TestWithParam<PictureHeaderCase> {};

TEST_P(PictureHeaderTest, FirstPictureRefused) {
    const PictureHeaderCase& c = GetParam();
    std::vector<uint8_t> s = fixture("h263_qcif.h263");
    setBits(&s, c.at, c.value, c.bits);
    DecodeResult r = decodeStream(s);
    EXPECT_EQ(r.success, 0) << r.output;
    EXPECT_TRUE(contains(r.output, "\nshort video header is detected!\n"));
    if (*c.message) {
        EXPECT_TRUE(contains(r.output, c.message)) << r.output;
    }
    EXPECT_TRUE(r.pictures.empty());
    EXPECT_EQ(r.streamFileLeft, !c.streamFileDeleted);
}

const PictureHeaderCase kPictureHeaderCases[] = {
    {"marker_bit", kMarkerBit, 0, 1, "This is not a legal H.263 bitstream\n", false},
    {"zero_bit", kZeroBit, 1, 1, "This is not a legal H.263 bitstream\n", false},
    {"split_screen", kSplitScreen, 1, 1, "Split screen indicator is ON\n", false},
    {"document_camera", kDocumentCamera, 1, 1, "Document camera indicator is switched on\n", false},
    {"freeze_release", kFreezeRelease, 1, 1, "Freeze picture release is switched ON\n", false},
    {"source_format_0", kSourceFormat, 0, 3, "H.263 source format not legal\n", false},
    {"source_format_6", kSourceFormat, 6, 3, "H.263 source format not legal\n", false},
    {"source_format_7", kSourceFormat, 7, 3, "H.263 source format not legal\n", false},
    {"16cif_is_too_large", kSourceFormat, 5, 3,
     "picture size 1408x1152 is larger than 1920x1088, not supported!\n", true},
    {"option_bits", kOptionBits, 1, 4, "four_reserved_zero_bits are not zero\n", false},
    {"cpm", kCpm, 1, 1, "zero_bit is not zero\n", false},
};

INSTANTIATE_TEST_SUITE_P(Cases, PictureHeaderTest, ::testing::ValuesIn(kPictureHeaderCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ShortHeaderTest, SourceFormatsGiveTheirSizes) {
    const struct {
        const char* file;
        int width, height, frames;
    } cases[] = {{"h263_sqcif_gobs.h263", 128, 96, 10}, {"h263_qcif.h263", 176, 144, 6}};
    for (const auto& c : cases) {
        std::vector<uint8_t> s = fixture(c.file);
        DecodeResult r = decodeStream(s);
        EXPECT_EQ(r.success, 1) << r.output;
        EXPECT_EQ(r.width, c.width);
        EXPECT_EQ(r.height, c.height);
        EXPECT_EQ(r.pictures.size(), size_t(c.frames) * frameBytes(c.width, c.height)) << c.file;
        EXPECT_TRUE(contains(r.output, "end of sequence!\n"));

        // The same pictures followed by the end-of-sequence marker (22 bits 0x3F).
        BitWriter eos;
        eos.put(0x3F, 22);
        eos.alignZero();
        s.insert(s.end(), eos.bytes().begin(), eos.bytes().end());
        DecodeResult withEnd = decodeStream(s);
        EXPECT_EQ(withEnd.success, 1);
        EXPECT_EQ(withEnd.pictures, r.pictures);
    }
}

// Some handsets end every picture with the end-of-sequence marker: the marker ends the
// sequence only where no picture follows it.
TEST(ShortHeaderTest, EndMarkerAfterEveryPictureDecodesEveryPicture) {
    const std::vector<uint8_t> s = fixture("h263_sqcif_gobs.h263");
    DecodeResult plain = decodeStream(s);
    ASSERT_EQ(plain.success, 1) << plain.output;

    BitWriter eos;
    eos.put(0x3F, 22);
    eos.alignZero();
    std::vector<uint8_t> marked;
    for (size_t i = 0; i < s.size(); ++i) {
        const bool pictureStart =
            i > 0 && i + 2 < s.size() && s[i] == 0 && s[i + 1] == 0 && (s[i + 2] & 0xFC) == 0x80;
        if (pictureStart) marked.insert(marked.end(), eos.bytes().begin(), eos.bytes().end());
        marked.push_back(s[i]);
    }
    marked.insert(marked.end(), eos.bytes().begin(), eos.bytes().end());
    ASSERT_EQ(marked.size(), s.size() + 10 * eos.bytes().size());

    DecodeResult r = decodeStream(marked);
    EXPECT_EQ(r.success, 1) << r.output;
    EXPECT_EQ(r.frames, 10);
    EXPECT_EQ(r.pictures, plain.pictures);
}

TEST(ShortHeaderTest, SourceFormatChangeFailsTheJob) {
    std::vector<uint8_t> s = fixture("h263_qcif.h263");
    std::vector<uint8_t> sub = fixture("h263_sqcif_gobs.h263");
    s.insert(s.end(), sub.begin(), sub.end());
    DecodeResult r = decodeStream(s);
    EXPECT_EQ(r.success, 0);
    EXPECT_TRUE(contains(r.output, "H.263 source format changed, not supported!\n")) << r.output;
    EXPECT_EQ(r.pictures.size(), 6 * frameBytes(176, 144));
}

// A sub-QCIF intra picture written by hand: every macroblock intra with CBPC 0; `block0`
// writes the rest of the first macroblock's blocks after its CBPY.
std::vector<uint8_t> handMadeIntraPicture(int firstCbpy,
                                          const std::function<void(BitWriter*)>& first) {
    BitWriter w;
    w.put(0x20, 22);  // picture start code
    w.put(0, 8);      // temporal reference
    w.put(1, 1);
    w.put(0, 1);
    w.put(0, 3);
    w.put(1, 3);  // sub-QCIF
    w.put(0, 1);  // intra
    w.put(0, 4);
    w.put(8, 5);  // quantiser
    w.put(0, 1);
    w.put(0, 1);  // pei
    for (int mb = 0; mb < 48; ++mb) {
        w.put(1, 1);  // MCBPC: intra, CBPC 0
        if (mb == 0) {
            if (firstCbpy == 8)
                w.put(0x2, 5);  // CBPY: block 0 coded
            else
                w.put(0x3, 4);  // CBPY: none
            first(&w);
        } else {
            w.put(0x3, 4);
            for (int b = 0; b < 6; ++b) w.put(100, 8);  // INTRADC
        }
    }
    w.alignZero();
    return w.bytes();
}

TEST(ShortHeaderTest, HandMadePictureDecodes) {
    auto s = handMadeIntraPicture(0, [](BitWriter* w) {
        for (int b = 0; b < 6; ++b) w->put(255, 8);  // 255 stands for 128
    });
    DecodeResult r = decodeStream(s);
    EXPECT_EQ(r.success, 1) << r.output;
    ASSERT_EQ(r.pictures.size(), frameBytes(128, 96));
    EXPECT_EQ(r.pictures[0], 128);   // first macroblock: DC 255 -> 128
    EXPECT_EQ(r.pictures[16], 100);  // second macroblock: DC 100
}

TEST(ShortHeaderTest, IllegalValuesFailTheJob) {
    const struct {
        const char* name;
        int cbpy;
        std::function<void(BitWriter*)> write;
        const char* message;
    } cases[] = {
        {"intra DC 128", 0, [](BitWriter* w) { w->put(128, 8); }, "Illegal DC coeff: 1000000\n"},
        {"escape level 0", 8,
         [](BitWriter* w) {
             w->put(100, 8);
             w->put(0x3, 7);  // escape
             w->put(1, 1);
             w->put(0, 6);
             w->put(0, 8);
         },
         "Illegal LEVEL for ESCAPE mode 4: 0\n"},
        {"escape level 128", 8,
         [](BitWriter* w) {
             w->put(100, 8);
             w->put(0x3, 7);
             w->put(1, 1);
             w->put(0, 6);
             w->put(128, 8);
         },
         "Illegal LEVEL for ESCAPE mode 4: 128\n"},
    };
    for (const auto& c : cases) {
        DecodeResult r = decodeStream(handMadeIntraPicture(c.cbpy, c.write));
        EXPECT_EQ(r.success, 0) << c.name;
        EXPECT_TRUE(contains(r.output, c.message)) << c.name << ": " << r.output;
        EXPECT_TRUE(r.pictures.empty()) << c.name;
    }
}

TEST(ShortHeaderTest, EscapeLevelsDecode) {
    // Block 0: DC 0x80/8... an escape with level -1 (255) at position 1 and the rest flat.
    auto s = handMadeIntraPicture(8, [](BitWriter* w) {
        w->put(128 + 1, 8);  // INTRADC 129
        w->put(0x3, 7);
        w->put(1, 1);     // last
        w->put(0, 6);     // run 0
        w->put(0x81, 8);  // level -127
        for (int b = 1; b < 6; ++b) w->put(129, 8);
    });
    DecodeResult r = decodeStream(s);
    EXPECT_EQ(r.success, 1) << r.output;
    ASSERT_EQ(r.pictures.size(), frameBytes(128, 96));
    // A strong negative first horizontal frequency: bright on the right, dark on the left.
    EXPECT_LT(r.pictures[0], r.pictures[7]);
}

}  // namespace
