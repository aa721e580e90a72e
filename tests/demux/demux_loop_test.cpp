#include <gtest/gtest.h>

#include "core/context.h"
#include "demux/demux.h"
#include "demux_test_util.h"
#include "mp4_builder.h"
#include "recording_sink.h"

namespace {

using mp4test::MovieLayout;
using mp4test::SentBlock;
using mp4test::TrackLayout;

TrackLayout video15fps(uint32_t samples) {
    return mp4test::videoTrack(samples, 15000, 1000, 40);
}

TrackLayout amr20ms(uint32_t samples) {
    return mp4test::amrTrack(samples);
}

// Opens a built movie on a recording sink and runs steps.
class DemuxLoopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetJob();
        sink_ = mp4test::newRecordingSink();
    }
    void TearDown() override {
        if (open_) DEMUX_Close();
        mp4test::closeRecordingSink(sink_);
    }
    int open(const std::vector<uint8_t>& bytes) {
        path_ = dir_.file("movie.3gp");
        testing_util::writeFile(path_, bytes);
        int r = 0;
        out_ = mp4test::captureStdout([&] { r = mp4test::openOnSink(path_, sink_); });
        open_ = r == 0;
        return r;
    }
    int step() {
        int r = 0;
        out_ = mp4test::captureStdout([&] { r = DEMUX_Demux(); });
        return r;
    }
    // Runs steps until the end; returns how many returned 0.
    int runToEnd() {
        int steps = 0;
        mp4test::QuietStdout quiet;
        while (DEMUX_Demux() == 0 && steps < 100000) ++steps;
        return steps;
    }
    void freshSink() {
        mp4test::closeRecordingSink(sink_);
        sink_ = mp4test::newRecordingSink();
    }
    std::vector<SentBlock>& blocks() { return mp4test::recording(sink_).blocks; }

    testing_util::TempDir dir_;
    std::string path_;
    EsOut* sink_ = nullptr;
    bool open_ = false;
    std::string out_;
};

TEST_F(DemuxLoopTest, StepsDeliverTenthsOfASecondTrackByTrack) {
    MovieLayout m;
    m.tracks = {video15fps(30), amr20ms(100)};
    ASSERT_EQ(open(mp4test::buildMovie(m)), 0) << out_;
    ASSERT_EQ(step(), 0);
    // Video samples 0 and 1, then audio samples 0 to 4.
    ASSERT_EQ(blocks().size(), 7u);
    EXPECT_EQ(blocks()[0].stream, 0);
    EXPECT_EQ(blocks()[0].dts, 1);
    EXPECT_EQ(blocks()[0].pts, 0);
    EXPECT_EQ(blocks()[1].dts, 66667);
    for (int i = 2; i < 7; ++i) EXPECT_EQ(blocks()[i].stream, 1);
    EXPECT_EQ(blocks()[2].dts, 1);
    EXPECT_EQ(blocks()[2].pts, 2);
    EXPECT_EQ(blocks()[2].size, 32);
    EXPECT_EQ(blocks()[2].bytes[0], mp4test::sampleByte(1, 0, 0));
    EXPECT_EQ(blocks()[6].dts, 80001);

    blocks().clear();
    ASSERT_EQ(step(), 0);
    ASSERT_EQ(blocks().size(), 6u);
    EXPECT_EQ(blocks()[0].dts, 133334);
    EXPECT_EQ(blocks()[1].stream, 1);
    EXPECT_EQ(blocks()[1].dts, 100001);
    EXPECT_EQ(blocks()[5].dts, 180001);
}

TEST_F(DemuxLoopTest, TheLastSampleEndsTheLoop) {
    MovieLayout m;
    m.tracks = {video15fps(16)};  // the last sample is due at 1 s
    ASSERT_EQ(open(mp4test::buildMovie(m)), 0);
    for (int i = 0; i < 11; ++i) ASSERT_EQ(step(), 0);
    EXPECT_EQ(blocks().size(), 16u);
    EXPECT_EQ(step(), -1);
    EXPECT_NE(out_.find("no track selected, exiting..."), std::string::npos);
}

TEST_F(DemuxLoopTest, StepLengthFollowsTheMovieTimeScale) {
    struct Case {
        uint32_t timeScale;
        int64_t afterOneStep;  // microseconds
    } cases[] = {{600, 100000}, {1000, 100000}, {5, 200000}};
    for (const Case& c : cases) {
        MovieLayout m;
        m.timeScale = c.timeScale;
        m.tracks = {video15fps(30)};
        ASSERT_EQ(open(mp4test::buildMovie(m)), 0);
        ASSERT_EQ(step(), 0);
        int64_t t = 0;
        EXPECT_EQ(DEMUX_Control(DEMUX_GET_MOVIE_TIME, &t), 0);
        EXPECT_EQ(t, c.afterOneStep) << c.timeScale;
        DEMUX_Close();
        open_ = false;
    }
}

TEST_F(DemuxLoopTest, Duration) {
    MovieLayout m;
    m.timeScale = 600;
    m.duration = 12000;
    m.tracks = {video15fps(30)};
    ASSERT_EQ(open(mp4test::buildMovie(m)), 0);
    int64_t d = 0;
    EXPECT_EQ(DEMUX_Control(DEMUX_GET_DURATION, &d), 0);
    EXPECT_EQ(d, 20000000);
    // Position 1999 millionths: 1999 x 12000 / 600 = 39980 us, that is 23 movie units.
    EXPECT_EQ(DEMUX_Control(DEMUX_SET_POS, int64_t{1999}), 1);
    int64_t t = 0;
    EXPECT_EQ(DEMUX_Control(DEMUX_GET_MOVIE_TIME, &t), 0);
    EXPECT_EQ(t, 23 * 1000000 / 600);
    int64_t pos = 0;
    EXPECT_EQ(DEMUX_Control(DEMUX_GET_POS, &pos), 0);
    EXPECT_EQ(pos, 23 * 1000000 / 12000);
    std::string out = mp4test::captureStdout([] { EXPECT_EQ(DEMUX_Control(DEMUX_GET_FPS), -1); });
    EXPECT_EQ(out, "DEMUX_GET_FPS unimplemented !!\n");
}

TEST_F(DemuxLoopTest, FirstBoxDecidesWhetherTheFileIsTried) {
    MovieLayout m;
    m.tracks = {video15fps(30)};
    m.firstBox = "pnot";
    EXPECT_EQ(open(mp4test::buildMovie(m)), 0);
    DEMUX_Close();
    open_ = false;

    // A JPEG 2000 signature box.
    std::vector<uint8_t> jp2 = {0, 0, 0, 12, 'j', 'P', ' ', ' ', 0x0D, 0x0A, 0x87, 0x0A};
    freshSink();
    EXPECT_EQ(open(jp2), -1);
    EXPECT_NE(out_.find("MP4 plugin discarded (not a valid file)\n"), std::string::npos);
    EXPECT_NE(out_.find("DEMUX_Open, call mp4_Open, return failed\n"), std::string::npos);
}

TEST_F(DemuxLoopTest, MissingMovieParts) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        const char* message;
    };
    MovieLayout noTracks;
    MovieLayout zeroScale;
    zeroScale.timeScale = 0;
    zeroScale.tracks = {video15fps(30)};
    const Case cases[] = {
        {"no_moov", mp4test::serialize(mp4test::box("ftyp", std::vector<uint8_t>(8))),
         "MP4 plugin discarded (no moov box)\n"},
        {"no_mvhd",
         mp4test::serialize(
             {mp4test::box("ftyp", std::vector<uint8_t>(8)),
              mp4test::box("moov", {}, {mp4test::box("udta", std::vector<uint8_t>(8))})}),
         "cannot find /moov/mvhd\n"},
        {"no_trak", mp4test::buildMovie(noTracks), "cannot find any /moov/trak\n"},
        {"movie_time_scale_zero", mp4test::buildMovie(zeroScale),
         "invalid /moov/mvhd time scale 0\n"},
        {"too_short", {0, 0, 0, 8, 'f', 't'}, "MP4 plugin discarded (cannot peek)\n"},
    };
    for (const Case& c : cases) {
        g_context.success = 1;
        EXPECT_EQ(open(c.bytes), -1) << c.name;
        EXPECT_NE(out_.find(c.message), std::string::npos) << c.name << "\n" << out_;
        freshSink();
    }
}

TEST_F(DemuxLoopTest, MovieHiddenInAFreeBoxOpens) {
    MovieLayout m;
    m.tracks = {video15fps(30)};
    std::vector<uint8_t> bytes = mp4test::buildMovie(m);
    size_t moov = 24 + 4;  // the type of the box after the 24-byte ftyp box
    ASSERT_EQ(std::string(bytes.begin() + moov, bytes.begin() + moov + 4), "moov");
    std::copy_n("free", 4, bytes.begin() + moov);
    ASSERT_EQ(open(bytes), 0) << out_;
    EXPECT_NE(out_.find("detected moov hidden in a free box ..."), std::string::npos);
    runToEnd();
    EXPECT_EQ(blocks().size(), 30u);
}

TEST_F(DemuxLoopTest, AacWithSixChannelsDeliversNothing) {
    TrackLayout aac =
        mp4test::aacTrack(48000, 6, {0x11, 0xB0}, 20, 30);  // LC, 48000 Hz, 6 channels
    MovieLayout m;
    m.tracks = {video15fps(15), aac};
    std::vector<uint8_t> bytes = mp4test::buildMovie(m);
    g_context.pcmPath = dir_.file("six.pcm");
    ASSERT_EQ(open(bytes), 0) << out_;
    runToEnd();
    ASSERT_EQ(blocks().size(), 15u);
    for (const SentBlock& b : blocks()) EXPECT_EQ(b.stream, 0);
    if (g_context.pcmFile) std::fclose(g_context.pcmFile);
    g_context.pcmFile = nullptr;
}

TEST_F(DemuxLoopTest, TracksThatCannotBeSetUpAreIgnored) {
    TrackLayout broken = amr20ms(50);
    broken.drop = {"stsz"};
    MovieLayout m;
    m.tracks = {broken, video15fps(15)};
    m.tracks[1].trackId = 3;
    ASSERT_EQ(open(mp4test::buildMovie(m)), 0);
    EXPECT_NE(out_.find("ignoring track[Id 0x2]"), std::string::npos);
    EXPECT_NE(out_.find("adding track[Id 0x3] video (enable) language undef"), std::string::npos);
    runToEnd();
    EXPECT_EQ(blocks().size(), 15u);
}

TEST_F(DemuxLoopTest, ClosingTwiceReportsTheSecond) {
    MovieLayout m;
    m.tracks = {video15fps(30)};
    ASSERT_EQ(open(mp4test::buildMovie(m)), 0);
    DEMUX_Close();
    open_ = false;
    g_context.success = 1;
    std::string out = mp4test::captureStdout([] { DEMUX_Close(); });
    EXPECT_EQ(out, "DEMUX_Close, invalid state\n");
    EXPECT_EQ(g_context.success, 0);
    EXPECT_EQ(DEMUX_Demux(), -1);
}

TEST_F(DemuxLoopTest, FarAwaySamplesAreReachedWithoutStepping) {
    // One sample at 0, the next a day later: the steps in between deliver nothing.
    TrackLayout t = video15fps(3);
    t.stts = {{1, 15000 * 86400}, {2, 1000}};
    MovieLayout m;
    m.tracks = {t};
    ASSERT_EQ(open(mp4test::buildMovie(m)), 0);
    EXPECT_LE(runToEnd(), 4);
    EXPECT_EQ(blocks().size(), 3u);
}

// Steps that would deliver nothing are passed over at once, but the movie time still
// lands on the tenth of a second where the next sample is due: the samples of every track
// due by then come together, track by track, as stepping would have sent them.
TEST_F(DemuxLoopTest, PassingOverIdleStepsKeepsTheOrder) {
    TrackLayout a = mp4test::videoTrack(3, 1000);
    a.stts = {{1, 550}, {1, 10}, {1, 1000}};  // 0, 550 and 560 ms
    TrackLayout b = mp4test::videoTrack(2, 1000);
    b.trackId = 2;
    b.edits = {{520, -1}, {10000, 0}};  // 520 and 1520 ms
    MovieLayout m;
    m.tracks = {a, b};
    ASSERT_EQ(open(mp4test::buildMovie(m)), 0) << out_;
    runToEnd();
    std::vector<std::pair<int, int64_t>> order;
    for (const SentBlock& s : blocks()) order.emplace_back(s.stream, s.dts - 1);
    const std::vector<std::pair<int, int64_t>> expected = {
        {0, 0}, {0, 550000}, {0, 560000}, {1, 520000}, {1, 1520000}};
    EXPECT_EQ(order, expected);
}

TEST_F(DemuxLoopTest, OverlappingSamplesNeverExceedTheFile) {
    // 4000 samples of 1000 bytes, all at the same offset, in a file of about 20 kB.
    TrackLayout t = video15fps(4000);
    t.chunkSamples.assign(4000, 1);
    t.sampleSizes.assign(4000, 1000);
    t.replace["stsz"] = [] {
        mp4test::Bytes p;
        p.u32(0).u32(0).u32(4000);
        for (int i = 0; i < 4000; ++i) p.u32(1000);
        return p.v;
    }();
    t.replace["stco"] = [] {
        mp4test::Bytes p;
        p.u32(0).u32(4000);
        for (int i = 0; i < 4000; ++i) p.u32(16);
        return p.v;
    }();
    t.sampleSizes.assign(4000, 0);  // the media data itself stays empty
    MovieLayout m;
    m.tracks = {t};
    std::vector<uint8_t> bytes = mp4test::buildMovie(m);
    ASSERT_EQ(open(bytes), 0);
    runToEnd();
    size_t total = 0;
    for (const SentBlock& b : blocks()) total += static_cast<size_t>(b.size);
    EXPECT_LE(total, bytes.size());
    EXPECT_GT(total, 0u);
}

}  // namespace
