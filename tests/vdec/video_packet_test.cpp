// MPEG-4 input as many encoders write it: resync markers and video packets, errors that
// stay inside their packet or picture, and stream headers repeated between VOPs.

#include <gtest/gtest.h>

#include <cstring>

#include "testing/test_util.h"
#include "vdec/dec_decheader.h"
#include "vdec/dec_session.h"
#include "vdec_test_util.h"

namespace {

using testing_util::ffmpeg;
using testing_util::readFile;
using testing_util::shellQuote;
using testing_util::TempDir;
using vdec_test::BitWriter;
using vdec_test::contains;
using vdec_test::DecodeResult;
using vdec_test::decodeStream;
using vdec_test::fixture;
using vdec_test::frameBytes;
using vdec_test::VolFields;

uint32_t bitsAt(const std::vector<uint8_t>& s, size_t bit, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++bit)
        v = (v << 1) | ((bit / 8 < s.size() ? s[bit / 8] >> (7 - bit % 8) : 0) & 1);
    return v;
}

// A 176 x 144 picture of the decoded-pictures file, macroblock by macroblock.
class Picture {
  public:
    Picture(const std::vector<uint8_t>& file, int index)
        : p_(file.data() + size_t(index) * frameBytes(176, 144)) {}
    // Whether macroblock `mb` (raster order) equals that of `other`.
    bool sameMacroblock(const Picture& other, int mb) const {
        return compare(mb, [&](size_t i) { return p_[i] == other.p_[i]; });
    }
    bool macroblockIs(int mb, uint8_t value) const {
        return compare(mb, [&](size_t i) { return p_[i] == value; });
    }

  private:
    template <typename F>
    bool compare(int mb, F same) const {
        const int col = mb % 11, row = mb / 11;
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x)
                if (!same(size_t((16 * row + y) * 176 + 16 * col + x))) return false;
        for (size_t plane : {size_t(176 * 144), size_t(176 * 144 + 88 * 72)})
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    if (!same(plane + size_t((8 * row + y) * 88 + 8 * col + x))) return false;
        return true;
    }
    const uint8_t* p_;
};

struct Packet {
    size_t byte;  // where its resync marker starts
    int firstMacroblock;
};

// The video packets after the first of VOP `vop` in the fixture stream (99 macroblocks, so
// macroblock_number has 7 bits), found by their byte-aligned resync markers.
std::vector<Packet> packetsOf(const std::vector<uint8_t>& s, int vop, int timeIncrementBits) {
    const std::vector<size_t> vops = vdec_test::findStartCodes(s, 0xB6);
    const size_t start = vops[size_t(vop)];
    const size_t end = size_t(vop) + 1 < vops.size() ? vops[size_t(vop) + 1] : s.size();
    // Coding type, modulo_time_base (one 0 bit here), markers, vop_coded, then the fields.
    const bool predicted = bitsAt(s, start * 8 + 32, 2) == 1;
    int markerBits = 17;
    if (predicted) {
        const size_t fcodeAt =
            start * 8 + 32 + 2 + 1 + 1 + size_t(timeIncrementBits) + 1 + 1 + 1 + 3 + 5;
        markerBits = 16 + int(bitsAt(s, fcodeAt, 3));
    }
    std::vector<Packet> packets;
    for (size_t b = start + 4; b + 4 < end; ++b) {
        if (bitsAt(s, b * 8, markerBits) != 1) continue;
        const int mb = int(bitsAt(s, b * 8 + size_t(markerBits), 7));
        if (mb < 99 && (packets.empty() || mb > packets.back().firstMacroblock))
            packets.push_back(Packet{b, mb});
    }
    return packets;
}

// vop_time_increment bits of the fixture's layer, from its VOL header.
int timeIncrementBitsOf(const std::vector<uint8_t>& s) {
    vdec_test::MemoryStream m(s);
    skipVisualObjectSequenceHeader();
    skipVisualObjectHeader();
    g_bits.flushBits(32);
    VolMode vol;
    ::testing::internal::CaptureStdout();
    EXPECT_TRUE(decodeVolHeader(&vol));
    ::testing::internal::GetCapturedStdout();
    return vol.iTimeIncrBits;
}

class PacketFixtureTest : public ::testing::Test {
  protected:
    void SetUp() override {
        stream_ = fixture("mpeg4_packets.m4v");
        clean_ = decodeStream(stream_);
        ASSERT_EQ(clean_.success, 1) << clean_.output;
        ASSERT_TRUE(contains(clean_.output, "using resync marker.\n"));
        ASSERT_EQ(clean_.pictures.size(), 12 * frameBytes(176, 144));
        timeIncrementBits_ = timeIncrementBitsOf(stream_);
    }
    // Pictures `from` to 11 of the result equal the clean decoding (the intra VOP at 6
    // ends any damage).
    void expectCleanFrom(const DecodeResult& r, int from) {
        const size_t fb = frameBytes(176, 144);
        ASSERT_EQ(r.pictures.size(), 12 * fb);
        EXPECT_TRUE(std::equal(r.pictures.begin() + long(from * fb), r.pictures.end(),
                               clean_.pictures.begin() + long(from * fb)));
    }
    std::vector<uint8_t> stream_;
    DecodeResult clean_;
    int timeIncrementBits_ = 0;
};

TEST_F(PacketFixtureTest, EveryVopHasPackets) {
    for (int vop : {0, 1, 6}) EXPECT_GE(packetsOf(stream_, vop, timeIncrementBits_).size(), 3u);
}

TEST_F(PacketFixtureTest, MacroblocksOfAMissingPacketAreConcealed) {
    // A packet cut out of a VOP: the packet header after it jumps over its macroblocks,
    // which are mid-grey in an I-VOP and the reference's in a P-VOP.
    for (int vop : {0, 1}) {
        const std::vector<Packet> packets = packetsOf(stream_, vop, timeIncrementBits_);
        const Packet& a = packets[1];
        const Packet& b = packets[2];
        std::vector<uint8_t> cut = stream_;
        cut.erase(cut.begin() + long(a.byte), cut.begin() + long(b.byte));
        DecodeResult r = decodeStream(cut);
        EXPECT_EQ(r.success, 1) << r.output;
        ASSERT_EQ(r.pictures.size(), 12 * frameBytes(176, 144));
        Picture got(r.pictures, vop), clean(clean_.pictures, vop);
        for (int mb = 0; mb < 99; ++mb) {
            const bool missing = mb >= a.firstMacroblock && mb < b.firstMacroblock;
            if (!missing)
                EXPECT_TRUE(got.sameMacroblock(clean, mb)) << "VOP " << vop << " mb " << mb;
            else if (vop == 0)
                EXPECT_TRUE(got.macroblockIs(mb, 128)) << "mb " << mb;
            else
                EXPECT_TRUE(got.sameMacroblock(Picture(clean_.pictures, vop - 1), mb))
                    << "mb " << mb;
        }
        expectCleanFrom(r, 6);
    }
}

TEST_F(PacketFixtureTest, CorruptPacketRecoversAtTheNextPacket) {
    for (int vop : {0, 2}) {
        const std::vector<Packet> packets = packetsOf(stream_, vop, timeIncrementBits_);
        const Packet& damaged = packets[1];
        const Packet& next = packets[2];
        std::vector<uint8_t> s = stream_;
        // The end of the packet becomes zeros: an invalid code that the decoder notices.
        const size_t zeros = std::min<size_t>(8, next.byte - damaged.byte - 4);
        std::fill(s.begin() + long(next.byte - zeros), s.begin() + long(next.byte), 0);
        DecodeResult r = decodeStream(s);
        EXPECT_EQ(r.success, 1) << r.output;
        ASSERT_EQ(r.pictures.size(), 12 * frameBytes(176, 144));
        Picture got(r.pictures, vop), clean(clean_.pictures, vop);
        for (int mb = 0; mb < 99; ++mb) {
            if (mb < damaged.firstMacroblock || mb >= next.firstMacroblock) {
                EXPECT_TRUE(got.sameMacroblock(clean, mb)) << "VOP " << vop << " macroblock " << mb;
            }
        }
        for (int before = 0; before < vop; ++before)
            EXPECT_TRUE(
                Picture(r.pictures, before).sameMacroblock(Picture(clean_.pictures, before), 0));
        expectCleanFrom(r, 6);
    }
}

TEST_F(PacketFixtureTest, PacketGoingBackFailsTheJob) {
    // The second packet of VOP 0 is placed again after the third one.
    const std::vector<Packet> packets = packetsOf(stream_, 0, timeIncrementBits_);
    std::vector<uint8_t> s(stream_.begin(), stream_.begin() + long(packets[3].byte));
    s.insert(s.end(), stream_.begin() + long(packets[1].byte),
             stream_.begin() + long(packets[2].byte));
    s.insert(s.end(), stream_.begin() + long(packets[3].byte), stream_.end());
    DecodeResult r = decodeStream(s);
    EXPECT_EQ(r.success, 0);
    EXPECT_TRUE(contains(r.output, "video packet starts at macroblock")) << r.output;
    EXPECT_TRUE(r.pictures.empty());
}

// An I-VOP of flat intra macroblocks cut into packets of `perPacket` macroblocks; the
// header extension of each packet repeats the VOP's fields, changed by `change`.
std::vector<uint8_t> handMadePackets(int perPacket, bool hec,
                                     const std::function<void(int*, int*, int*, int*)>& change,
                                     int packetStart = -1) {
    VolFields vol;
    vol.resyncMarkerDisable = 0;
    BitWriter w;
    vdec_test::writeSequenceHeaders(&w, vol);
    vdec_test::writeVopHeader(&w, vol, 0, 1, 8, 1, 3);
    for (int mb = 0; mb < 99; ++mb) {
        if (mb > 0 && mb % perPacket == 0) {
            w.stuff();
            w.put(1, 17);  // resync marker of an I-VOP
            w.put(uint32_t(packetStart >= 0 ? packetStart : mb), 7);
            w.put(8, 5);  // quant_scale
            w.put(hec ? 1 : 0, 1);
            if (hec) {
                int modulo = 0, increment = 3, type = 0, dcThr = 0;
                change(&modulo, &increment, &type, &dcThr);
                for (int i = 0; i < modulo; ++i) w.put(1, 1);
                w.put(0, 1);
                w.put(1, 1);
                w.put(uint32_t(increment), 5);
                w.put(1, 1);
                w.put(uint32_t(type), 2);
                w.put(uint32_t(dcThr), 3);
                if (type != 0) w.put(1, 3);
            }
        }
        w.put(1, 1);
        w.put(0, 1);
        w.put(3, 4);
        for (int b = 0; b < 6; ++b) w.put(3, b < 4 ? 3 : 2);
    }
    w.stuff();
    return w.bytes();
}

TEST(HandMadePacketTest, HeaderExtensionMustRepeatTheVop) {
    const struct {
        const char* name;
        std::function<void(int*, int*, int*, int*)> change;
        bool accepted;
    } cases[] = {
        {"same fields", [](int*, int*, int*, int*) {}, true},
        {"time increment", [](int*, int* inc, int*, int*) { *inc = 4; }, false},
        {"modulo time base", [](int* m, int*, int*, int*) { *m = 1; }, false},
        {"coding type", [](int*, int*, int* t, int*) { *t = 1; }, false},
        {"intra_dc_vlc_thr", [](int*, int*, int*, int* d) { *d = 2; }, false},
    };
    for (const auto& c : cases) {
        DecodeResult r = decodeStream(handMadePackets(10, true, c.change));
        EXPECT_EQ(r.success, c.accepted ? 1 : 0) << c.name << ": " << r.output;
        if (c.accepted) {
            ASSERT_EQ(r.pictures.size(), frameBytes(176, 144)) << c.name;
            EXPECT_EQ(std::count(r.pictures.begin(), r.pictures.end(), 128),
                      long(r.pictures.size()));
        } else {
            EXPECT_TRUE(contains(r.output, "video packet header does not match the VOP header!\n"))
                << c.name;
            EXPECT_TRUE(r.pictures.empty()) << c.name;
        }
    }
    // Without the extension every packet decodes too.
    DecodeResult plain = decodeStream(handMadePackets(1, false, [](int*, int*, int*, int*) {}));
    EXPECT_EQ(plain.success, 1) << plain.output;
}

TEST(HandMadePacketTest, MacroblockNumberOutsideThePicture) {
    DecodeResult r = decodeStream(handMadePackets(
        50, false, [](int*, int*, int*, int*) {}, 120));
    EXPECT_EQ(r.success, 0);
    EXPECT_TRUE(contains(r.output, "video packet starts at macroblock 120, expected 50 to 98!\n"))
        << r.output;
}

TEST(RepeatedHeaderTest, HeadersBeforeEveryIntraVop) {
    // libxvid repeats its stream headers in front of the intra VOP at picture 5.
    const std::vector<uint8_t> s = fixture("xvid_160x120_mpegquant.m4v");
    ASSERT_EQ(vdec_test::findStartCodes(s, 0xB0).size(), 2u);
    DecodeResult r = decodeStream(s);
    EXPECT_EQ(r.success, 1) << r.output;
    EXPECT_EQ(r.pictures.size(), 10 * frameBytes(160, 120));
    DecodeResult stripped = decodeStream(vdec_test::stripRepeatedHeaders(s));
    EXPECT_EQ(r.pictures, stripped.pictures);

    // The headers of the sample description followed by the same headers at the start of
    // the first sample, as 3GP files carry them.
    const std::vector<size_t> vops = vdec_test::findStartCodes(s, 0xB6);
    std::vector<uint8_t> twice(s.begin(), s.begin() + long(vops[0]));
    twice.insert(twice.end(), s.begin(), s.end());
    DecodeResult doubled = decodeStream(twice);
    EXPECT_EQ(doubled.success, 1) << doubled.output;
    EXPECT_EQ(doubled.pictures, r.pictures);
}

TEST(RepeatedHeaderTest, LayerOfAnotherSizeFailsTheJob) {
    std::vector<uint8_t> s = fixture("xvid_qcif_4mv.m4v");
    const std::vector<uint8_t> other = fixture("xvid_160x120_mpegquant.m4v");
    s.insert(s.end(), other.begin(), other.end());
    DecodeResult r = decodeStream(s);
    EXPECT_EQ(r.success, 0);
    EXPECT_TRUE(contains(r.output,
                         "a repeated VOL header changes the video object layer, not supported!\n"))
        << r.output;
    EXPECT_EQ(r.pictures.size(), 12 * frameBytes(176, 144));
    EXPECT_EQ(r.width, 176);
    EXPECT_EQ(r.height, 144);
}

TEST(ErrorRecoveryTest, ErrorEndsWithItsPicture) {
    // H.263 without resync markers: a damaged P-picture spoils the pictures predicted from
    // it, but the next intra picture decodes exactly as in the clean stream.
    TempDir dir;
    const std::string path = dir.file("gop4.h263");
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc2=size=176x144:rate=15 -frames:v 8 -c:v h263 -q:v 6 -g 4 "
                     "-f h263 " +
                     shellQuote(path)),
              0);
    const std::vector<uint8_t> s = readFile(path);
    DecodeResult clean = decodeStream(s);
    ASSERT_EQ(clean.success, 1);
    std::vector<size_t> pictures;
    for (size_t i = 0; i + 3 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && (s[i + 2] & 0xFC) == 0x80) pictures.push_back(i);
    ASSERT_EQ(pictures.size(), 8u);
    std::vector<uint8_t> damaged = s;
    const size_t middle = (pictures[1] + pictures[2]) / 2;
    std::fill(damaged.begin() + long(middle), damaged.begin() + long(middle + 6), 0);
    DecodeResult r = decodeStream(damaged);
    EXPECT_EQ(r.success, 1) << r.output;
    const size_t fb = frameBytes(176, 144);
    ASSERT_EQ(r.pictures.size(), 8 * fb);
    EXPECT_TRUE(
        std::equal(r.pictures.begin(), r.pictures.begin() + long(fb), clean.pictures.begin()));
    EXPECT_FALSE(std::equal(r.pictures.begin() + long(fb), r.pictures.begin() + long(2 * fb),
                            clean.pictures.begin() + long(fb)));
    EXPECT_TRUE(std::equal(r.pictures.begin() + long(4 * fb), r.pictures.end(),
                           clean.pictures.begin() + long(4 * fb)));
}

TEST(DataPartitioningTest, StillRefused) {
    TempDir dir;
    const std::string path = dir.file("dp.m4v");
    ASSERT_EQ(ffmpeg("-f lavfi -i testsrc2=size=176x144:rate=15 -frames:v 2 -c:v mpeg4 "
                     "-data_partitioning 1 -ps 200 -f m4v " +
                     shellQuote(path)),
              0);
    DecodeResult r = decodeStream(readFile(path));
    EXPECT_EQ(r.success, 0);
    EXPECT_TRUE(contains(r.output, "using resync marker.\nUsing data partition.\n")) << r.output;
    EXPECT_FALSE(r.streamFileLeft);
    EXPECT_TRUE(r.pictures.empty());
}

}  // namespace
