#include <gtest/gtest.h>

#include <memory>

#include "core/context.h"
#include "demux/box.h"
#include "demux/box_records.h"
#include "demux_test_util.h"
#include "mp4_builder.h"

namespace {

using mp4test::box;
using mp4test::Bytes;
using mp4test::fullBox;
using mp4test::serialize;
using mp4test::TreeFile;

// Reads one box at the top level of a file; `out` receives what was printed.
class BoxReadersTest : public ::testing::Test {
  protected:
    void SetUp() override { resetJob(); }
    Mp4Box* read(const mp4test::Box& b) { return readBytes(serialize(b)); }
    Mp4Box* readBytes(const std::vector<uint8_t>& bytes) {
        out_ = mp4test::captureStdout([&] { file_.reset(new TreeFile(bytes)); });
        return file_->root()->firstChild;
    }
    std::unique_ptr<TreeFile> file_;
    std::string out_;
};

TEST_F(BoxReadersTest, MovieHeaderVersionsGiveTheSameValues) {
    Bytes v0, v1;
    v0.u32(10).u32(20).u32(600).u32(12000).u32(0x10000).u16(0x100).zeros(70).u32(3);
    v1.u64(10).u64(20).u32(600).u64(12000).u32(0x10000).u16(0x100).zeros(70).u32(3);
    for (auto* b : {&v0, &v1}) {
        BoxMvhd* m = boxData<BoxMvhd>(read(fullBox("mvhd", b == &v1, 0, b->v)));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->timeScale, 600u);
        EXPECT_EQ(m->duration, 12000u);
        EXPECT_EQ(m->nextTrackId, 3u);
        EXPECT_NE(out_.find("read box: \"mvhd\" creation "), std::string::npos);
        EXPECT_EQ(out_.find("Not enough data"), std::string::npos) << out_;
    }
}

TEST_F(BoxReadersTest, MediaHeaderLanguage) {
    struct Case {
        uint16_t packed;
        const char* letters;
    } cases[] = {{0x15C7, "eng"}, {0, "```"}};
    for (const Case& c : cases) {
        BoxMdhd* m = boxData<BoxMdhd>(read(fullBox(
            "mdhd", 0, 0, Bytes().u32(0).u32(0).u32(8000).u32(16000).u16(c.packed).u16(0).v)));
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(std::string(m->language, 3), c.letters);
        EXPECT_EQ(m->timeScale, 8000u);
    }
}

TEST_F(BoxReadersTest, TimeToSampleDeltas) {
    Bytes p;
    p.u32(3).u32(5).u32(0).u32(7).u32(0x80000000u).u32(9).u32(100);
    g_context.success = 1;
    BoxPairTable* t = boxData<BoxPairTable>(read(fullBox("stts", 0, 0, p.v)));
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(t->entryCount, 1u);  // the negative delta ends the table
    EXPECT_EQ(t->first[0], 5u);
    EXPECT_EQ(t->second[0], 1u);  // a delta of 0 reads as 1
    EXPECT_EQ(g_context.success, 0);
}

TEST_F(BoxReadersTest, SampleSizes) {
    BoxStsz* constant = boxData<BoxStsz>(read(fullBox("stsz", 0, 0, Bytes().u32(512).u32(10).v)));
    ASSERT_NE(constant, nullptr);
    EXPECT_EQ(constant->sampleSize, 512u);
    EXPECT_EQ(constant->sampleCount, 10u);
    EXPECT_TRUE(constant->entrySize.empty());

    Bytes p;
    p.u32(0).u32(3).u32(11).u32(22).u32(33);
    BoxStsz* sizes = boxData<BoxStsz>(read(fullBox("stsz", 0, 0, p.v)));
    ASSERT_NE(sizes, nullptr);
    EXPECT_EQ(sizes->entrySize, (std::vector<uint32_t>{11, 22, 33}));

    // A count the box cannot hold keeps only the sizes that are there.
    Bytes hostile;
    hostile.u32(0).u32(0xFFFFFFFFu).u32(5).u32(6);
    BoxStsz* h = boxData<BoxStsz>(read(fullBox("stsz", 0, 0, hostile.v)));
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(h->entrySize, (std::vector<uint32_t>{5, 6}));
}

TEST_F(BoxReadersTest, ChunkOffsetsAndSyncSamples) {
    BoxStco* co64 =
        boxData<BoxStco>(read(fullBox("co64", 0, 0, Bytes().u32(1).u64(0x123456789ULL).v)));
    ASSERT_NE(co64, nullptr);
    EXPECT_EQ(co64->chunkOffset, (std::vector<uint64_t>{0x123456789ULL}));
    BoxStco* stco =
        boxData<BoxStco>(read(fullBox("stco", 0, 0, Bytes().u32(2).u32(0xFFFFFFF0u).u32(8).v)));
    ASSERT_NE(stco, nullptr);
    EXPECT_EQ(stco->chunkOffset, (std::vector<uint64_t>{0xFFFFFFF0u, 8}));
    BoxStss* stss = boxData<BoxStss>(read(fullBox("stss", 0, 0, Bytes().u32(2).u32(1).u32(31).v)));
    ASSERT_NE(stss, nullptr);
    EXPECT_EQ(stss->sampleNumber, (std::vector<uint32_t>{0, 30}));
}

TEST_F(BoxReadersTest, SampleToChunkKeepsTheEntriesThatFitQuietly) {
    Bytes p;
    p.u32(1000).u32(1).u32(10).u32(1).u32(3).u32(5);  // one and a half entries
    BoxStsc* s = boxData<BoxStsc>(read(fullBox("stsc", 0, 0, p.v)));
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->entryCount, 1u);
    EXPECT_EQ(s->samplesPerChunk[0], 10u);
    EXPECT_EQ(out_.find("Not enough data"), std::string::npos);
}

TEST_F(BoxReadersTest, ElementaryStreamDescriptors) {
    // ES descriptor with a URL, then a decoder configuration without specific info.
    Bytes withUrl;
    withUrl.u8(0x03).u8(30).u16(7).u8(0x40).u8(4).fourcc("a.mp").u8(0x04).u8(13).u8(0x40).u8(0x15);
    withUrl.u24(0).u32(64000).u32(32000).u8(0x06).u8(1).u8(2);
    BoxEsds* e = boxData<BoxEsds>(read(fullBox("esds", 0, 0, withUrl.v)));
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->esId, 7);
    EXPECT_TRUE(e->hasUrl);
    EXPECT_EQ(e->url, "a.mp");
    ASSERT_NE(e->decConfig, nullptr);
    EXPECT_EQ(e->decConfig->objectTypeIndication, 0x40);
    EXPECT_EQ(e->decConfig->maxBitrate, 64000u);
    EXPECT_TRUE(e->decConfig->decoderSpecificInfo.empty());

    // Multi-byte descriptor lengths and decoder-specific info.
    Bytes dsi;
    dsi.u8(0x03).u8(0x80).u8(0x80).u8(25).u16(1).u8(0).u8(0x04).u8(0x80).u8(17).u8(0x20).u8(0x11);
    dsi.u24(0).u32(0).u32(0).u8(0x05).u8(0x80).u8(2).u8(0x12).u8(0x10);
    BoxEsds* d = boxData<BoxEsds>(read(fullBox("esds", 0, 0, dsi.v)));
    ASSERT_NE(d, nullptr);
    ASSERT_NE(d->decConfig, nullptr);
    EXPECT_EQ(d->decConfig->decoderSpecificInfo, (std::vector<uint8_t>{0x12, 0x10}));

    // A specific-info length beyond the box keeps only the bytes that are there.
    Bytes cut;
    cut.u8(0x03)
        .u8(20)
        .u16(1)
        .u8(0)
        .u8(0x04)
        .u8(15)
        .u8(0x20)
        .u8(0x11)
        .u24(0)
        .u32(0)
        .u32(0)
        .u8(0x05)
        .u8(0x7F)
        .u8(1)
        .u8(2);
    BoxEsds* c = boxData<BoxEsds>(read(fullBox("esds", 0, 0, cut.v)));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->decConfig->decoderSpecificInfo, (std::vector<uint8_t>{1, 2}));
}

TEST_F(BoxReadersTest, AmrModeIsTheHighestModeOfTheSet) {
    struct Case {
        uint16_t modeSet;
        int mode;
    } cases[] = {{0x8000, 15}, {0x0081, 7}, {0, 16}};
    for (const Case& c : cases) {
        BoxDamr* d = boxData<BoxDamr>(
            read(box("damr", Bytes().fourcc("FFMP").u8(0).u16(c.modeSet).u8(0).u8(1).v)));
        ASSERT_NE(d, nullptr);
        EXPECT_NE(out_.find("AMR: mode=" + std::to_string(c.mode) +
                            ", mode_change_period=0, frames_per_sample=1.\n"),
                  std::string::npos)
            << out_;
    }
}

TEST_F(BoxReadersTest, TextEntryLengths) {
    const std::string nam = "\xA9nam";
    struct Case {
        uint16_t length;
        bool hasText;
        std::string text;
    } cases[] = {{3, true, "abc"}, {50, true, "abcde"}, {0, false, ""}, {0x8000, false, ""}};
    for (const Case& c : cases) {
        BoxText* t =
            boxData<BoxText>(read(box(nam, Bytes().u16(c.length).u16(0).fourcc("abcd").u8('e').v)));
        ASSERT_NE(t, nullptr);
        EXPECT_EQ(t->hasText, c.hasText);
        EXPECT_EQ(t->text, c.text);
    }
}

TEST_F(BoxReadersTest, SoundEntryVersionOneWithoutPacketFields) {
    Bytes p;
    p.zeros(6).u16(1).u16(1).u16(0).u32(0).u16(2).u16(16).u16(0).u16(0).u16(44100).u16(0).zeros(10);
    Mp4Box* entry = read(box("mp4a", p.v));
    BoxSoundEntry* s = boxData<BoxSoundEntry>(entry);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->version, 1);
    EXPECT_EQ(s->samplesPerPacket, 0u);
    EXPECT_EQ(s->channelCount, 2);
    EXPECT_EQ(s->sampleRateHi, 44100);
    EXPECT_EQ(s->qtDescription.size(), 30u);
    EXPECT_NE(out_.find("read box: \"soun\" mp4 or qt1/2 (rest=10)"), std::string::npos);
    // The 10 bytes after the fixed fields were taken as a child, 28 bytes after the header.
    EXPECT_NE(out_.find("found an empty box (null size)"), std::string::npos);
}

TEST_F(BoxReadersTest, ShortFixedFieldsReadAsZero) {
    BoxTkhd* t = boxData<BoxTkhd>(read(fullBox("tkhd", 0, 1, Bytes().u32(0).u32(0).u32(5).v)));
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->trackId, 5u);
    EXPECT_EQ(t->width, 0);
    EXPECT_NE(out_.find("Not enough data"), std::string::npos);
}

TEST_F(BoxReadersTest, ProtectedContentFailsTheJob) {
    Bytes entry;
    entry.zeros(6).u16(1).zeros(20);
    g_context.success = 1;
    read(box("moov", {}, {box("drms", entry.v)}));
    EXPECT_NE(out_.find("discarding drms\n"), std::string::npos);
    EXPECT_EQ(g_context.success, 0);

    g_context.success = 1;
    read(box("moov", {},
             {box("sinf", {}, {box("schi", {}, {box("user", std::vector<uint8_t>(4))})})}));
    EXPECT_NE(out_.find("discarding read drms box\n"), std::string::npos);
    EXPECT_EQ(g_context.success, 0);
}

// The protection data types mean protection data only inside a protection scheme; a hint
// track's user data holds a `name` box of its own.
TEST_F(BoxReadersTest, ProtectionDataTypesElsewhereAreSkipped) {
    const std::vector<uint8_t> payload{'r', 't', 'p', 0};
    for (const char* type : {"user", "key ", "iviv", "name", "priv"}) {
        g_context.success = 1;
        read(box("moov", {}, {box("trak", {}, {box("udta", {}, {box(type, payload)})})}));
        EXPECT_EQ(out_.find("discarding"), std::string::npos) << type << "\n" << out_;
        EXPECT_EQ(g_context.success, 1) << type;

        read(box("moov", {}, {box("sinf", {}, {box("schi", {}, {box(type, payload)})})}));
        EXPECT_NE(out_.find("discarding read drms box\n"), std::string::npos) << type;
        EXPECT_EQ(g_context.success, 0) << type;
    }
}

}  // namespace
