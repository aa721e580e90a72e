// Damaged streams: truncations, bit flips and random data after valid headers. Decoding
// must end, failed or with garbage pictures after the damage, without crashing, hanging
// or touching memory outside its buffers (run under SANITIZE=1 to check the last part),
// and must say what it did: the frames it wrote, and why it failed.

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <random>

#include "testing/test_util.h"
#include "vdec_test_util.h"

namespace {

using vdec_test::BitWriter;
using vdec_test::DecodeResult;
using vdec_test::decodeStream;

struct Fixture {
    const char* file;
    int width, height;
};

// Test names show the case name instead of the bytes of the case.
void PrintTo(const Fixture& c, std::ostream* os) {
    *os << c.file;
}

const Fixture kFixtures[] = {
    {"xvid_qcif_4mv.m4v", 176, 144},   {"xvid_160x120_mpegquant.m4v", 160, 120},
    {"h263_sqcif_gobs.h263", 128, 96}, {"h263_qcif.h263", 176, 144},
    {"mpeg4_packets.m4v", 176, 144},
};

// Where each picture of a stream starts: its VOP start code (MPEG-4) or its picture start
// code (H.263, byte-aligned in these fixtures). The decoder writes one frame per picture.
std::vector<size_t> pictureStarts(const std::vector<uint8_t>& s) {
    std::vector<size_t> vops = vdec_test::findStartCodes(s, 0xB6);
    if (!vops.empty()) return vops;
    std::vector<size_t> pictures;
    for (size_t i = 0; i + 2 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && (s[i + 2] & 0xFC) == 0x80) pictures.push_back(i);
    return pictures;
}

// Bytes the decoder may look at beyond the end of a picture before it writes its frame.
constexpr size_t kLookAheadBytes = 8;

// The outcome of decoding a damaged stream, held against the decoding of the intact one:
// either way the decoder reports what it wrote (whole frames of the size it published,
// as many as it counts) and a reason when it failed; every picture that ends before the
// first damaged byte is decoded, and exactly as in the intact stream.
void expectOutcome(const DecodeResult& r, const DecodeResult& intact,
                   const std::vector<size_t>& starts, size_t damagedByte, const std::string& what) {
    EXPECT_EQ(r.success == 1, r.message.empty()) << what << ": " << r.message;
    if (r.width <= 0 || r.height <= 0) {
        EXPECT_EQ(r.frames, 0) << what;
        EXPECT_TRUE(r.pictures.empty()) << what;
    } else {
        EXPECT_EQ(r.pictures.size(), r.frames * vdec_test::frameBytes(r.width, r.height)) << what;
    }
    size_t undamaged = 0;
    while (undamaged + 1 < starts.size() && starts[undamaged + 1] + kLookAheadBytes <= damagedByte)
        ++undamaged;
    if (undamaged == 0) return;
    ASSERT_EQ(r.width, intact.width) << what;
    ASSERT_EQ(r.height, intact.height) << what;
    ASSERT_GE(static_cast<size_t>(r.frames), undamaged) << what;
    const size_t bytes = undamaged * vdec_test::frameBytes(r.width, r.height);
    EXPECT_TRUE(
        std::equal(r.pictures.begin(), r.pictures.begin() + long(bytes), intact.pictures.begin()))
        << what << ": the first " << undamaged << " frames differ";
}

class DamagedStreamTest : public ::testing::TestWithParam<Fixture> {
  protected:
    void SetUp() override {
        whole_ = vdec_test::fixture(GetParam().file);
        ASSERT_FALSE(whole_.empty());
        intact_ = decodeStream(whole_);
        starts_ = pictureStarts(whole_);
        ASSERT_EQ(intact_.success, 1) << intact_.message;
        ASSERT_EQ(intact_.width, GetParam().width);
        ASSERT_EQ(intact_.height, GetParam().height);
        ASSERT_EQ(static_cast<size_t>(intact_.frames), starts_.size());
    }
    std::vector<uint8_t> whole_;
    DecodeResult intact_;
    std::vector<size_t> starts_;
};

TEST_P(DamagedStreamTest, TruncatedStreamsEndCleanly) {
    std::vector<size_t> lengths;
    const size_t steps = 40;
    for (size_t i = 0; i <= steps; ++i) lengths.push_back(whole_.size() * i / steps);
    // Cuts inside the headers, byte by byte, and right after every picture start.
    for (size_t length = 1; length < 48 && length < whole_.size(); ++length)
        lengths.push_back(length);
    for (size_t start : starts_) lengths.push_back(start + 5);
    for (size_t length : lengths) {
        if (length > whole_.size()) continue;
        std::vector<uint8_t> part(whole_.begin(), whole_.begin() + long(length));
        expectOutcome(decodeStream(part), intact_, starts_, length,
                      "length " + std::to_string(length));
    }
}

TEST_P(DamagedStreamTest, FlippedBitsEndCleanly) {
    const unsigned seed = testing_util::testSeed(20240611);
    SCOPED_TRACE(testing_util::seedTrace(seed));
    std::mt19937 rng(seed);
    for (int round = 0; round < 60; ++round) {
        std::vector<uint8_t> s = whole_;
        const int flips = 1 + round % 8;
        // Every third round aims at the stream headers and the first picture.
        const size_t span = round % 3 == 0 ? std::min<size_t>(s.size(), 64) * 8 : s.size() * 8;
        std::string where;
        size_t first = s.size() * 8;
        for (int f = 0; f < flips; ++f) {
            const size_t bit = std::uniform_int_distribution<size_t>(0, span - 1)(rng);
            vdec_test::flipBit(&s, bit);
            where += " " + std::to_string(bit);
            first = std::min(first, bit);
        }
        expectOutcome(decodeStream(s), intact_, starts_, first / 8,
                      "round " + std::to_string(round) + " bits" + where);
    }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, DamagedStreamTest, ::testing::ValuesIn(kFixtures),
                         [](const auto& info) {
                             std::string n = info.param.file;
                             for (char& ch : n)
                                 if (ch == '.') ch = '_';
                             return n;
                         });

// Valid stream headers followed by random bytes: every syntax path meets garbage.
TEST(RandomDataTest, AfterValidHeaders) {
    const unsigned seed = testing_util::testSeed(77);
    SCOPED_TRACE(testing_util::seedTrace(seed));
    std::mt19937 rng(seed);
    for (int round = 0; round < 120; ++round) {
        BitWriter w;
        vdec_test::VolFields vol;
        const int kind = round % 4;
        if (kind < 3) {
            vol.quantType = kind == 1;
            vol.resyncMarkerDisable = round % 8 < 4;
            vol.width = kind == 2 ? 128 : 176;
            vol.height = kind == 2 ? 96 : 144;
            vdec_test::writeSequenceHeaders(&w, vol);
            vdec_test::writeVopHeader(&w, vol, round % 2, 1, 1 + round % 31, 1 + round % 7);
        } else {
            w.put(0x20, 22);
            w.put(0, 8);
            w.put(0b10, 2);
            w.put(0, 3);
            w.put(round % 2 ? 1 : 2, 3);
            w.put(round % 3 == 0, 1);
            w.put(0, 4);
            w.put(1 + round % 31, 5);
            w.put(0, 2);
        }
        std::vector<uint8_t> s = w.bytes();
        const size_t extra = 200 + size_t(round) * 97 % 6000;
        for (size_t i = 0; i < extra; ++i) s.push_back(uint8_t(rng()));
        const DecodeResult r = decodeStream(s);
        const std::string what = "round " + std::to_string(round);
        EXPECT_EQ(r.success == 1, r.message.empty()) << what << ": " << r.message;
        if (r.width > 0 && r.height > 0) {
            EXPECT_EQ(r.pictures.size(), r.frames * vdec_test::frameBytes(r.width, r.height))
                << what;
        }
    }
}

}  // namespace
