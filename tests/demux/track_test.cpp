#include <gtest/gtest.h>

#include "core/context.h"
#include "demux/box_records.h"
#include "demux/demux.h"
#include "track_fixture.h"

namespace {

using mp4test::BuiltTracks;
using mp4test::MovieLayout;
using mp4test::TrackLayout;

class TrackSetupTest : public ::testing::Test {
  protected:
    void SetUp() override { resetJob(); }
};

using mp4test::movieOf;
using mp4test::videoTrack;

TEST_F(TrackSetupTest, OneSampleToChunkEntryCoversEveryChunk) {
    TrackLayout t = videoTrack(50);
    t.chunkSamples.assign(5, 10);
    BuiltTracks b(movieOf({t}));
    Mp4Track& track = b.track(0);
    ASSERT_TRUE(track.usable) << b.output();
    ASSERT_EQ(track.chunkCount, 5u);
    for (uint32_t c = 0; c < 5; ++c) {
        EXPECT_EQ(track.chunks[c].sampleCount, 10u);
        EXPECT_EQ(track.chunks[c].firstSample, 10 * c);
    }
}

TEST_F(TrackSetupTest, ChunksBeforeTheFirstEntryHaveNoSampleEntry) {
    TrackLayout t = videoTrack(20, 15000, 3000);
    t.chunkSamples = {10, 10};
    // stsc: a single entry that starts at chunk 2.
    t.replace["stsc"] = mp4test::Bytes().u32(0).u32(1).u32(2).u32(10).u32(1).v;
    BuiltTracks b(movieOf({t}));
    EXPECT_FALSE(b.track(0).usable);
    EXPECT_NE(b.output().find("invalid SampleEntry index (track[Id 0x1])\n"), std::string::npos);
    EXPECT_NE(b.output().find("cannot create es for track[Id 0x1]\n"), std::string::npos);
    EXPECT_EQ(g_context.success, 0);
}

TEST_F(TrackSetupTest, TimeRunsFollowTheChunks) {
    TrackLayout one = videoTrack(100, 90000, 3000);
    one.chunkSamples = {30, 30, 30, 10};
    TrackLayout two = videoTrack(10, 1000);
    two.trackId = 2;
    two.stts = {{5, 1000}, {5, 2000}};
    BuiltTracks b(movieOf({one, two}));
    const Mp4Track& a = b.track(0);
    ASSERT_TRUE(a.usable);
    const uint64_t firstDts[] = {0, 90000, 180000, 270000};
    for (uint32_t c = 0; c < 4; ++c) {
        EXPECT_EQ(a.chunks[c].firstDts, firstDts[c]);
        EXPECT_EQ(a.chunks[c].runCount, (std::vector<uint32_t>{c < 3 ? 30u : 10u}));
        EXPECT_EQ(a.chunks[c].runDelta, (std::vector<uint32_t>{3000}));
    }
    const Mp4Track& t = b.track(1);
    ASSERT_TRUE(t.usable);
    EXPECT_EQ(t.chunks[0].runCount, (std::vector<uint32_t>{5, 5}));
    EXPECT_EQ(t.chunks[0].runDelta, (std::vector<uint32_t>{1000, 2000}));
}

TEST_F(TrackSetupTest, VideoStatistics) {
    TrackLayout t = videoTrack(300, 30000, 1001);
    t.sampleSizes.assign(300, 100);
    BuiltTracks b(movieOf({t}));
    ASSERT_TRUE(b.track(0).usable);
    EXPECT_EQ(g_context.videoTotalBytes, 30000u);
    EXPECT_EQ(g_context.videoBitRate, 24000u);  // 240000 bits over 10 whole seconds
    EXPECT_EQ(g_context.videoFrameRate, 29u);
    EXPECT_EQ(g_context.videoAverageFrameRate, 30u);
    EXPECT_FLOAT_EQ(g_context.frameRateDeviation, 0.0f);
}

TEST_F(TrackSetupTest, AudioTimeScaleFollowsTheSampleEntry) {
    TrackLayout t = mp4test::amrTrack(50, 1);
    t.timeScale = 1000;
    t.stts = {{50, 20}};
    BuiltTracks b(movieOf({t}));
    const Mp4Track& track = b.track(0);
    ASSERT_TRUE(track.usable);
    EXPECT_EQ(track.timeScale, 8000u);
    EXPECT_NE(b.output().find("i_timescale (1000) != i_sampleratehi (8000) with qt_version == 0\n"
                              "Making both equal. (report any problem)"),
              std::string::npos);
    // samr carries its sound description (20 bytes of fields, then the damr box).
    const mp4test::RecordedStream& s = b.sink().streams.at(0);
    EXPECT_EQ(s.descriptor.codec, fourcc('s', 'a', 'm', 'r'));
    ASSERT_EQ(s.descriptor.extraSize, 20 + 17);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(s.descriptor.extra) + 24, 4), "damr");
}

TEST_F(TrackSetupTest, CodecsAndTheirExtraData) {
    TrackLayout mp4v = videoTrack(20);
    mp4v.objectType = 0x20;
    mp4v.decoderSpecific = {0, 0, 1, 0xB0, 8};
    TrackLayout s263 = videoTrack(20);
    s263.trackId = 2;
    s263.entryType = "s263";
    BuiltTracks b(movieOf({mp4v, s263}));
    ASSERT_EQ(b.sink().streams.size(), 2u);
    const EsDescriptor& a = b.sink().streams[0].descriptor;
    EXPECT_EQ(a.category, VIDEO_ES);
    EXPECT_EQ(a.codec, fourcc('m', 'p', '4', 'v'));
    ASSERT_EQ(a.extraSize, 5);
    EXPECT_EQ(a.extra[3], 0xB0);
    EXPECT_EQ(a.video.width, 176);
    const EsDescriptor& h = b.sink().streams[1].descriptor;
    EXPECT_EQ(h.codec, fourcc('h', '2', '6', '3'));
    EXPECT_EQ(h.extraSize, 0);
}

// An AAC track takes its stream parameters from its AudioSpecificConfig and hands the
// configuration to the owner, who opens the decoder; without a hook nothing is opened.
TEST_F(TrackSetupTest, AacTrackReportsItsConfiguration) {
    TrackLayout t =
        mp4test::aacTrack(44100, 2, {0x12, 0x10}, 10, 20, 1);  // LC, index 4, 2 channels
    static std::vector<std::vector<uint8_t>> configs;
    static AacTrackParams paramsSeen;
    configs.clear();
    DemuxHooks hooks;
    hooks.aacTrackOpened = [](const uint8_t* config, int32_t length) {
        configs.emplace_back(config, config + length);
        paramsSeen = g_aacParams;
    };
    g_context.isAac = 1;
    BuiltTracks b(movieOf({t}), hooks);
    ASSERT_TRUE(b.track(0).usable);
    const EsDescriptor& d = b.sink().streams.at(0).descriptor;
    EXPECT_EQ(d.codec, fourcc('m', 'p', '4', 'a'));
    EXPECT_EQ(d.audio.rate, 44100u);
    EXPECT_EQ(d.audio.sfIndex, 4);
    EXPECT_EQ(d.audio.channels, 2u);
    EXPECT_EQ(configs, (std::vector<std::vector<uint8_t>>{{0x12, 0x10}}));
    EXPECT_EQ(paramsSeen.rate, 44100u);  // set before the owner is told
    EXPECT_EQ(paramsSeen.channels, 2u);

    g_context.isAac = 1;
    BuiltTracks quiet(movieOf({t}));
    EXPECT_EQ(quiet.sink().streams.at(0).descriptor.audio.rate, 44100u);
    EXPECT_EQ(g_context.aacDecoder, nullptr);
}

// Tables that cannot describe a track end in an ignored track or a failed job, never a
// fault.
struct BrokenCase {
    const char* name;
    void (*spoil)(TrackLayout&);
    bool usable;
};

const BrokenCase kBrokenCases[] = {
    {"media_time_scale_zero", [](TrackLayout& t) { t.timeScale = 0; }, false},
    {"no_chunk_offsets", [](TrackLayout& t) { t.drop = {"stco"}; }, false},
    {"no_sample_sizes", [](TrackLayout& t) { t.drop = {"stsz"}; }, false},
    {"no_media_header", [](TrackLayout& t) { t.drop = {"mdhd"}; }, false},
    {"hint_handler", [](TrackLayout& t) { t.handler = "hint"; }, false},
    {"shorter_than_one_second",
     [](TrackLayout& t) {
         t.stts = {{20, 100}};
     },
     false},
    {"time_to_sample_shorter_than_chunks",
     [](TrackLayout& t) {
         t.chunkSamples = {5, 5, 5, 5};
         t.stts = {{6, 3000}};
     },
     true},
    {"chunk_first_entry_huge",
     [](TrackLayout& t) {
         t.replace["stsc"] =
             mp4test::Bytes().u32(0).u32(2).u32(1).u32(20).u32(1).u32(0xFFFFFFF0u).u32(5).u32(1).v;
     },
     true},
    {"chunks_hold_more_samples_than_the_track",
     [](TrackLayout& t) {
         t.replace["stsc"] = mp4test::Bytes().u32(0).u32(1).u32(1).u32(0xFFFFFFFFu).u32(1).v;
     },
     true},
    {"entry_of_the_wrong_kind", [](TrackLayout& t) { t.entryType = "samr"; }, false},
};

void PrintTo(const BrokenCase& c, std::ostream* os) {
    *os << c.name;
}

class BrokenTrackTest : public ::testing::TestWithParam<BrokenCase> {
  protected:
    void SetUp() override { resetJob(); }
};

TEST_P(BrokenTrackTest, EndsCleanly) {
    TrackLayout t = videoTrack(20, 15000, 1000);
    t.chunkSamples = {10, 10};
    GetParam().spoil(t);
    BuiltTracks b(movieOf({t}));
    EXPECT_EQ(b.track(0).usable, GetParam().usable) << b.output();
    if (b.track(0).usable) {
        // Walk the whole track: every lookup stays inside its tables.
        Mp4Track& track = b.track(0);
        ASSERT_EQ(mp4_TrackSelectAt(&b.demux(), &track, 0), 0);
        int steps = 0;
        do {
            mp4_TrackDts(&b.demux(), &track);
            mp4_TrackCurSampleSize(&track);
            mp4_TrackCurSampleOffset(&track);
            ++steps;
        } while (mp4_TrackAdvance(&b.demux(), &track) == 0 && steps < 100000);
        EXPECT_LE(steps, 20);
    }
}

INSTANTIATE_TEST_SUITE_P(Tables, BrokenTrackTest, ::testing::ValuesIn(kBrokenCases),
                         [](const ::testing::TestParamInfo<BrokenCase>& i) {
                             return std::string(i.param.name);
                         });

}  // namespace
