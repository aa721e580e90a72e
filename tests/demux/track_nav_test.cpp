#include <gtest/gtest.h>

#include "core/context.h"
#include "track_fixture.h"

namespace {

using mp4test::BuiltTracks;
using mp4test::MovieLayout;
using mp4test::TrackLayout;

class TrackNavigationTest : public ::testing::Test {
  protected:
    void SetUp() override { resetJob(); }
};

MovieLayout movieOf(const TrackLayout& t) {
    return mp4test::movieOf({t});
}

TrackLayout video(uint32_t samples, uint32_t timeScale, uint32_t delta) {
    return mp4test::videoTrack(samples, timeScale, delta, 8);
}

// Positions a track at sample `sample` of its current chunk walk.
void walkTo(Mp4Demux& demux, Mp4Track& track, uint32_t sample) {
    ASSERT_EQ(mp4_TrackSelectAt(&demux, &track, 0), 0);
    while (track.sample < sample) ASSERT_EQ(mp4_TrackAdvance(&demux, &track), 0);
}

TEST_F(TrackNavigationTest, DecodingTimeAcrossRuns) {
    TrackLayout t = video(10, 1000, 0);
    t.stts = {{5, 1000}, {5, 2000}};
    BuiltTracks b(movieOf(t));
    Mp4Track& track = b.track(0);
    walkTo(b.demux(), track, 7);
    EXPECT_EQ(mp4_TrackDts(&b.demux(), &track), 9000000);
    // Looking back starts the walk again from the chunk.
    track.sample = 2;
    EXPECT_EQ(mp4_TrackDts(&b.demux(), &track), 2000000);
}

TEST_F(TrackNavigationTest, SeekingLandsOnSyncSamples) {
    TrackLayout t = video(90, 1000, 100);
    t.chunkSamples.assign(9, 10);
    t.stss = {1, 31, 61};
    BuiltTracks b(movieOf(t));
    Mp4Track& track = b.track(0);
    uint32_t chunk = 9, sample = 99;
    ASSERT_EQ(mp4_TrackTimeToSample(&b.demux(), &track, 0, &chunk, &sample), 0);
    EXPECT_EQ(sample, 0u);
    EXPECT_EQ(chunk, 0u);
    ASSERT_EQ(mp4_TrackTimeToSample(&b.demux(), &track, 4550000, &chunk, &sample), 0);  // sample 45
    EXPECT_EQ(sample, 30u);
    EXPECT_EQ(chunk, 3u);
}

TEST_F(TrackNavigationTest, SeekingWithoutSyncSamplesFindsTheSampleOfTheTime) {
    TrackLayout t = video(30, 1000, 100);
    t.chunkSamples = {10, 10, 10};
    BuiltTracks b(movieOf(t));
    uint32_t chunk = 0, sample = 0;
    ASSERT_EQ(mp4_TrackTimeToSample(&b.demux(), &b.track(0), 2450000, &chunk, &sample), 0);
    EXPECT_EQ(chunk, 2u);
    EXPECT_EQ(sample, 24u);
    // Past the last sample the track cannot be selected.
    EXPECT_EQ(mp4_TrackTimeToSample(&b.demux(), &b.track(0), 9000000, &chunk, &sample), -1);
}

TEST_F(TrackNavigationTest, EmptyEditDelaysTheTrack) {
    TrackLayout t = video(30, 1000, 100);
    t.edits = {{1000, -1}, {3000, 0}};
    BuiltTracks b(movieOf(t));
    Mp4Track& track = b.track(0);
    mp4_TrackSetEdit(&b.demux(), &track, 0);
    EXPECT_EQ(track.editStart, 1000);
    EXPECT_EQ(track.editIndex, 0u);
    ASSERT_EQ(mp4_TrackSelectAt(&b.demux(), &track, 0), 0);
    EXPECT_EQ(track.sample, 0u);
    EXPECT_EQ(mp4_TrackDts(&b.demux(), &track), 1000000);
    ASSERT_EQ(mp4_TrackAdvance(&b.demux(), &track), 0);
    EXPECT_EQ(mp4_TrackDts(&b.demux(), &track), 1100000);
}

TEST_F(TrackNavigationTest, NewSampleDescriptionRecreatesTheStream) {
    TrackLayout t = video(20, 1000, 100);
    t.chunkSamples = {10, 10};
    t.chunkEntry = {1, 2};
    t.moreEntryTypes = {"s263"};
    BuiltTracks b(movieOf(t));
    Mp4Track& track = b.track(0);
    ASSERT_TRUE(track.usable);
    walkTo(b.demux(), track, 9);
    ASSERT_EQ(b.sink().streams.size(), 1u);
    ASSERT_EQ(mp4_TrackAdvance(&b.demux(), &track), 0);
    ASSERT_EQ(b.sink().streams.size(), 2u);
    EXPECT_TRUE(b.sink().streams[0].deleted);
    EXPECT_EQ(b.sink().streams[1].descriptor.codec, fourcc('h', '2', '6', '3'));
    EXPECT_EQ(b.sink().selectCalls, 1);
    EXPECT_NE(b.output().size(), 0u);
}

TEST_F(TrackNavigationTest, SampleOffsetsWithinAChunk) {
    TrackLayout t = video(3, 1000, 1000);
    t.sampleSizes = {10, 20, 30};
    BuiltTracks b(movieOf(t));
    Mp4Track& track = b.track(0);
    walkTo(b.demux(), track, 2);
    EXPECT_EQ(mp4_TrackCurSampleOffset(&track), track.chunks[0].offset + 30);
    EXPECT_EQ(mp4_TrackCurSampleSize(&track), 30);
}

}  // namespace
