#include <gtest/gtest.h>

#include <memory>

#include "core/context.h"
#include "demux/box.h"
#include "demux/box_records.h"
#include "demux/demux.h"
#include "demux_test_util.h"
#include "mp4_builder.h"

namespace {

using mp4test::box;
using mp4test::Bytes;
using mp4test::fullBox;
using mp4test::serialize;
using mp4test::TreeFile;

std::string typeOf(const Mp4Box* b) {
    return b ? std::string(reinterpret_cast<const char*>(&b->type), 4) : "none";
}

std::vector<std::string> childTypes(const Mp4Box* b) {
    std::vector<std::string> types;
    for (const Mp4Box* c = b->firstChild; c; c = c->next) types.push_back(typeOf(c));
    return types;
}

mp4test::Box mvhdBox() {
    return fullBox("mvhd", 0, 0, Bytes().u32(0).u32(0).u32(600).u32(1200).zeros(80).v);
}

class BoxReaderTest : public ::testing::Test {
  protected:
    void SetUp() override { resetJob(); }
};

TEST_F(BoxReaderTest, TopLevelBoxesBecomeChildrenOfTheRoot) {
    TreeFile f(
        serialize({box("ftyp", Bytes().fourcc("isom").u32(0).v), box("moov", {}, {mvhdBox()}),
                   box("mdat", std::vector<uint8_t>(100, 1))}));
    EXPECT_EQ(typeOf(f.root()), "root");
    EXPECT_EQ(childTypes(f.root()), (std::vector<std::string>{"ftyp", "moov", "mdat"}));
    Mp4Box* mdat = MP4_FindBox(f.root(), "/mdat");
    ASSERT_NE(mdat, nullptr);
    EXPECT_EQ(mdat->data, nullptr);
    EXPECT_EQ(mdat->firstChild, nullptr);
    EXPECT_EQ(f.root()->size, static_cast<uint64_t>(16 + 116 + 108));
}

TEST_F(BoxReaderTest, LargeSizeAndUuidHeaders) {
    mp4test::Box large = box("free", std::vector<uint8_t>(4, 0));
    large.largeSize = true;
    Bytes uuid;
    uuid.zeros(16).u32(0xABCD);
    TreeFile f(serialize({large, box("uuid", uuid.v)}));
    Mp4Box* l = MP4_FindBox(f.root(), "[0]");
    ASSERT_NE(l, nullptr);
    EXPECT_EQ(l->shortSize, 1u);
    EXPECT_EQ(l->size, 20u);
    EXPECT_EQ(mp4_BoxHeaderSize(l), 16);
    Mp4Box* u = MP4_FindBox(f.root(), "[1]");
    ASSERT_NE(u, nullptr);
    EXPECT_EQ(mp4_BoxHeaderSize(u), 24);
    EXPECT_EQ(u->data, nullptr);
}

TEST_F(BoxReaderTest, ABoxOfSizeZeroEndsItsParent) {
    std::vector<uint8_t> bytes = serialize({box("ftyp", Bytes().fourcc("isom").u32(0).v)});
    Bytes zero;
    zero.u32(0).fourcc("free").zeros(8);
    bytes.insert(bytes.end(), zero.v.begin(), zero.v.end());
    std::vector<uint8_t> after = serialize(box("moov", {}, {mvhdBox()}));
    bytes.insert(bytes.end(), after.begin(), after.end());
    std::string out = mp4test::captureStdout([&] {
        TreeFile f(bytes);
        EXPECT_EQ(childTypes(f.root()), (std::vector<std::string>{"ftyp"}));
    });
    EXPECT_NE(out.find("found an empty box (null size)\n"), std::string::npos);
    EXPECT_NE(out.find("\nMP4_ReadBox( p_stream, p_container ) ) == NULL\n"), std::string::npos);
}

TEST_F(BoxReaderTest, MovieHiddenInATopLevelFreeBox) {
    std::vector<uint8_t> bytes = serialize({box("free", {}, {mvhdBox(), box("trak")}),
                                            box("moov", {}, {box("free", {}, {mvhdBox()})})});
    TreeFile f(bytes);
    Mp4Box* foov = MP4_FindBox(f.root(), "/foov");
    ASSERT_NE(foov, nullptr);
    EXPECT_EQ(childTypes(foov), (std::vector<std::string>{"mvhd", "trak"}));
    // Inside moov a free box is only skipped.
    Mp4Box* inner = MP4_FindBox(f.root(), "/moov/free");
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->firstChild, nullptr);
}

TEST_F(BoxReaderTest, ContainerWithRoomForNoChildIsNotRead) {
    // Exactly header + 8 bytes: the child would fit, but the container is not read.
    TreeFile f(serialize({box("moov", {}, {box("udta")})}));
    Mp4Box* moov = MP4_FindBox(f.root(), "/moov");
    ASSERT_NE(moov, nullptr);
    EXPECT_EQ(moov->size, 16u);
    EXPECT_EQ(moov->firstChild, nullptr);
}

TEST_F(BoxReaderTest, PathsAndCounts) {
    TreeFile f(
        serialize({box("moov", {},
                       {mvhdBox(), box("trak", {}, {box("tkhd", std::vector<uint8_t>(4))}),
                        box("udta", {}, {box("free"), box("free")}), box("trak"), box("trak")})}));
    Mp4Box* second = MP4_FindBox(f.root(), "/moov/trak[%d]", 1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second, MP4_FindBox(f.root(), "moov/[3]"));
    EXPECT_EQ(typeOf(MP4_FindBox(f.root(), "[0]")), "moov");
    // A path starting with '/' goes to the root from any box.
    EXPECT_EQ(MP4_FindBox(second, "/moov/mvhd"), MP4_FindBox(f.root(), "moov/mvhd"));
    EXPECT_EQ(MP4_FindBox(second, ".."), MP4_FindBox(f.root(), "moov"));
    EXPECT_EQ(MP4_FindBox(second, "."), second);
    EXPECT_EQ(MP4_FindBox(f.root(), "moo"), nullptr);
    EXPECT_EQ(MP4_FindBox(f.root(), "moovv"), nullptr);
    const char* empty = "";
    EXPECT_EQ(MP4_FindBox(f.root(), "%s", empty), nullptr);
    EXPECT_EQ(MP4_FindBox(f.root(), "/moov/trak[3]"), nullptr);
    EXPECT_EQ(MP4_FindBox(f.root(), "/moov/trak[99999999999999]"), nullptr);
    // Tracks separated by another box are all counted.
    EXPECT_EQ(MP4_CountBoxes(f.root(), "/moov/trak"), 3);
    EXPECT_EQ(MP4_CountBoxes(f.root(), "/moov/none"), 0);
}

// Every audio sample entry header is reported to the owner in the order read, and the
// last one decides the audio kind. Reading the tree makes no file of its own.
TEST_F(BoxReaderTest, AudioSampleEntriesAreReportedAndTheLastDecides) {
    testing_util::TempDir dir;
    g_context.pcmPath = dir.file("job.pcm");
    static std::vector<uint32_t> seen;
    seen.clear();
    DemuxHooks hooks;
    hooks.audioSampleEntry = [](uint32_t type) { seen.push_back(type); };
    const std::vector<uint8_t> entry28(28, 0);
    {
        TreeFile f(
            serialize({box("moov", {}, {box("mp4a", entry28), box("free"), box("samr", entry28)})}),
            &hooks);
    }
    EXPECT_EQ(seen, (std::vector<uint32_t>{ATOM_mp4a, ATOM_samr}));
    EXPECT_EQ(g_context.isAac, 0);
    { TreeFile f(serialize({box("moov", {}, {box("samr", entry28), box("mp4a", entry28)})})); }
    EXPECT_EQ(g_context.isAac, 1);
    EXPECT_EQ(g_context.pcmFile, nullptr);
    EXPECT_FALSE(testing_util::fileExists(g_context.pcmPath));
    resetJob();
}

// Hostile layouts end reading cleanly.
struct HostileCase {
    const char* name;
    std::vector<uint8_t> bytes;
    std::vector<std::string> topLevel;
};

std::vector<uint8_t> childPastParent() {
    // A trak that claims more than its moov holds: it is read and ends the moov.
    std::vector<uint8_t> moov =
        serialize(box("moov", {}, {mvhdBox(), box("trak", {}, {box("free")}), box("udta")}));
    size_t trak = 8 + 108;
    moov[trak + 3] = 0xF0;
    return moov;
}

std::vector<uint8_t> sizeSmallerThanHeader() {
    std::vector<uint8_t> b = serialize({box("ftyp", Bytes().fourcc("isom").u32(0).v)});
    Bytes tiny;
    tiny.u32(3).fourcc("moov").zeros(16);
    b.insert(b.end(), tiny.v.begin(), tiny.v.end());
    return b;
}

std::vector<uint8_t> hugeTable() {
    // An stts far larger than the file: dropped, and it ends the reading.
    Bytes stts;
    stts.u32(0x7FFFFFF0).fourcc("stts").zeros(8);
    std::vector<uint8_t> b = serialize({box("moov", {}, {mvhdBox()})});
    b.insert(b.end(), stts.v.begin(), stts.v.end());
    return b;
}

std::vector<uint8_t> hugeMediaData() {
    // An mdat that claims 2^60 bytes is skipped past the end of the file.
    std::vector<uint8_t> b = serialize({box("moov", {}, {mvhdBox()})});
    Bytes mdat;
    mdat.u32(1).fourcc("mdat").u64(1ULL << 60).zeros(8);
    b.insert(b.end(), mdat.v.begin(), mdat.v.end());
    return b;
}

std::vector<uint8_t> deepNesting() {
    mp4test::Box b = box("udta");
    for (int i = 0; i < 200; ++i) b = box("udta", {}, {b});
    return serialize({box("moov", {}, {mvhdBox(), b})});
}

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

class HostileBoxTest : public ::testing::TestWithParam<HostileCase> {
  protected:
    void SetUp() override { resetJob(); }
};

TEST_P(HostileBoxTest, EndsCleanly) {
    std::unique_ptr<TreeFile> f;
    {
        mp4test::QuietStdout quiet;
        f.reset(new TreeFile(GetParam().bytes));
    }
    EXPECT_EQ(childTypes(f->root()), GetParam().topLevel);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, HostileBoxTest,
    ::testing::Values(HostileCase{"child_past_parent", childPastParent(), {"moov"}},
                      HostileCase{"size_smaller_than_header", sizeSmallerThanHeader(), {"ftyp"}},
                      HostileCase{"huge_table", hugeTable(), {"moov"}},
                      HostileCase{"huge_media_data", hugeMediaData(), {"moov", "mdat"}},
                      HostileCase{"deep_nesting", deepNesting(), {"moov"}}),
    [](const ::testing::TestParamInfo<HostileCase>& i) { return std::string(i.param.name); });

TEST_F(BoxReaderTest, DeepNestingIsCutAtTheDepthBound) {
    std::unique_ptr<TreeFile> f;
    {
        mp4test::QuietStdout quiet;
        f.reset(new TreeFile(deepNesting()));
    }
    int depth = 0;
    for (Mp4Box* b = MP4_FindBox(f->root(), "/moov/udta"); b; b = b->firstChild) ++depth;
    EXPECT_EQ(depth, kMaxBoxDepth - 1);
}

}  // namespace
