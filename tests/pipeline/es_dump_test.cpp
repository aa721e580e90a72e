#include <gtest/gtest.h>

#include <neaacdec.h>

#include <cmath>
#include <cstring>
#include <functional>

#include "audio/aac_decoder.h"
#include "audio/resampler.h"
#include "core/context.h"
#include "demux/demux.h"
#include "demux/track.h"
#include "demux_test_util.h"
#include "pipeline/es_dump.h"
#include "recording_sink.h"

namespace {

using testing_util::TempDir;

Block* blockOf(const std::vector<uint8_t>& bytes) {
    Block* b = nullptr;
    block_New(&b, static_cast<int32_t>(bytes.size()));
    if (!bytes.empty()) std::memcpy(b->buffer, bytes.data(), bytes.size());
    b->size = static_cast<int32_t>(bytes.size());
    return b;
}

class EsDumpTest : public ::testing::Test {
  protected:
    void SetUp() override {
        resetJob();
        g_context.moduleDir = dir_.path();
        g_context.baseName = "dump";
        ASSERT_EQ(esdump_Open(dir_.path().c_str(), &out_), 0);
    }
    void TearDown() override {
        esdump_Close(out_);
        if (g_context.pcmFile) std::fclose(g_context.pcmFile);
        g_context.pcmFile = nullptr;
    }
    EsOutStream* add(int32_t category, uint32_t codec, const std::vector<uint8_t>& extra = {}) {
        EsDescriptor d;
        es_descriptor_Init(&d, category, codec);
        d.extra = const_cast<uint8_t*>(extra.data());
        d.extraSize = static_cast<int32_t>(extra.size());
        EsOutStream* s = esdump_Add(out_, &d);
        return s;
    }
    // Sends raw AAC frames through an AAC stream of the sink into the PCM file at `pcmPath`
    // (closed afterwards).
    void dumpAacFrames(const std::vector<std::vector<uint8_t>>& frames,
                       const std::string& pcmPath) {
        g_context.isAac = 1;
        g_context.success = 1;
        g_context.pcmPath = pcmPath;
        g_context.pcmFile = std::fopen(pcmPath.c_str(), "wb");
        resampleInit(16000);
        EsOutStream* audio = add(AUDIO_ES, fourcc('m', 'p', '4', 'a'));
        {
            mp4test::QuietStdout quiet;
            for (const auto& f : frames) esdump_Send(out_, audio, blockOf(f));
        }
        std::fclose(g_context.pcmFile);
        g_context.pcmFile = nullptr;
    }
    TempDir dir_;
    EsOut* out_ = nullptr;
};

TEST_F(EsDumpTest, VideoFileHoldsTheExtraBytesThenTheSamples) {
    EsOutStream* video = add(VIDEO_ES, fourcc('m', 'p', '4', 'v'), {0, 0, 1, 0xB0});
    ASSERT_NE(video, nullptr);
    EXPECT_TRUE(testing_util::isJobFileName(g_context.videoEsPath,
                                            dir_.path() + "dumpvideoxy_122344565fhr1", ".cmp"))
        << g_context.videoEsPath;
    EXPECT_EQ(esdump_Send(out_, video, blockOf({1, 2, 3})), 0);
    EXPECT_EQ(esdump_Send(out_, video, blockOf({4})), 0);
    EXPECT_EQ(g_context.videoFrames, 2u);
    EXPECT_EQ(testing_util::readFile(g_context.videoEsPath),
              (std::vector<uint8_t>{0, 0, 1, 0xB0, 1, 2, 3, 4}));
}

// One storage-format AMR frame of a frame type: header byte (quality bit set) and the
// type's speech bytes.
std::vector<uint8_t> amrFrame(int type, size_t speechBytes) {
    std::vector<uint8_t> f(1 + speechBytes, 9);
    f[0] = static_cast<uint8_t>(type << 3 | 0x04);
    return f;
}

std::vector<uint8_t> joined(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Every frame takes its size from its own header byte, so the mode may change from frame to
// frame and pause frames (SID, NO_DATA) sit between speech frames.
TEST_F(EsDumpTest, AmrFramesAreCollectedByTheirOwnFrameTypes) {
    const auto f122 = amrFrame(7, 31), f475 = amrFrame(0, 12), f67 = amrFrame(3, 17),
               sid = amrFrame(8, 5), noData = amrFrame(15, 0);
    struct Case {
        const char* name;
        std::vector<std::vector<uint8_t>> samples;
        uint32_t frames;
        uint32_t bytes;
    } cases[] = {
        {"ten 12.2 frames",
         {joined({f122, f122, f122, f122, f122, f122, f122, f122, f122, f122})},
         10,
         320},
        {"modes change", {joined({f475, f67}), f122}, 3, 13 + 18 + 32},
        {"pause frames", {joined({f475, sid, noData, noData, f475})}, 5, 13 + 6 + 1 + 1 + 13},
        {"last frame cut short",
         {joined({f475, std::vector<uint8_t>(f122.begin(), f122.end() - 1)})},
         1,
         13},
        {"empty sample", {{}, f475}, 1, 13},
    };
    for (const Case& c : cases) {
        g_context.amrFrames = 0;
        g_context.amrBytes = 0;
        g_context.amrBuffer.clear();
        EsOutStream* audio = add(AUDIO_ES, fourcc('s', 'a', 'm', 'r'));
        {
            mp4test::QuietStdout quiet;
            for (const auto& sample : c.samples) esdump_Send(out_, audio, blockOf(sample));
        }
        EXPECT_EQ(g_context.amrFrames, c.frames) << c.name;
        EXPECT_EQ(g_context.amrBytes, c.bytes) << c.name;
        EXPECT_EQ(g_context.amrBuffer.size(), c.bytes) << c.name;
    }
}

TEST_F(EsDumpTest, UnselectedStreamsRefuseTheirBlocks) {
    EsOutStream* video = add(VIDEO_ES, fourcc('m', 'p', '4', 'v'));
    bool selected = false;
    EXPECT_EQ(esdump_Control(out_, ESOUT_GET_STATE, video, &selected), 0);
    EXPECT_TRUE(selected);
    EXPECT_EQ(esdump_Control(out_, ESOUT_SET_STATE, video, 0), 0);
    std::string out =
        mp4test::captureStdout([&] { EXPECT_EQ(esdump_Send(out_, video, blockOf({1})), -1); });
    EXPECT_EQ(out, "esdump_Send, the es isn't selected\n");
    EXPECT_EQ(g_context.videoFrames, 0u);
    g_context.success = 1;
    out = mp4test::captureStdout([&] { EXPECT_EQ(esdump_Control(out_, -1), -1); });
    EXPECT_EQ(out, "esdump_Controlm, encount a undefine command\n");
    EXPECT_EQ(g_context.success, 0);
}

// Calls without a sink, a descriptor, a stream or a block fail the job with their lines.
TEST_F(EsDumpTest, MissingArgumentsAreReported) {
    EsDescriptor d;
    es_descriptor_Init(&d, VIDEO_ES, fourcc('m', 'p', '4', 'v'));
    const struct {
        const char* message;
        std::function<void()> call;
    } cases[] = {
        {"esdump_Add, invalidate parameters\n", [&] { esdump_Add(nullptr, &d); }},
        {"esdump_Send, invalidate parameters\n", [&] { esdump_Send(out_, nullptr, nullptr); }},
        {"esdump_Close, invalidate input parameters\n", [] { esdump_Close(nullptr); }},
    };
    for (const auto& c : cases) {
        g_context.success = 1;
        const std::string out = mp4test::captureStdout(c.call);
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
        EXPECT_EQ(g_context.success, 0) << c.message;
    }
}

TEST_F(EsDumpTest, StreamNumbersRunOnAcrossSinks) {
    EsOutStream* first = add(AUDIO_ES, fourcc('s', 'a', 'm', 'r'));
    ASSERT_NE(first, nullptr);
    int32_t next = esdump_NextStreamId();
    EsOut* second = nullptr;
    ASSERT_EQ(esdump_Open(dir_.path().c_str(), &second), 0);
    EXPECT_EQ(esdump_NextStreamId(), next);  // a new sink does not restart the numbers
    EsDescriptor d;
    es_descriptor_Init(&d, SPU_ES, 0);
    ASSERT_NE(esdump_Add(second, &d), nullptr);
    const std::string stem = dir_.file("spu" + std::to_string(next));
    EXPECT_EQ(testing_util::jobFilesNamed(stem, ".cmp").size(), 1u);
    // Nobody reads the file of such a stream; it goes with the sink.
    esdump_Close(second);
    EXPECT_EQ(testing_util::jobFilesNamed(stem, ".cmp"), std::vector<std::string>());
}

// What preparation hands to the demultiplexer beside the sink: the first mp4a entry
// opens the PCM file, which a later samr entry leaves open (preparation removes it when
// the audio turns out not to be AAC); an AAC track opens the decoder.
TEST_F(EsDumpTest, HooksOpenThePcmFileAndTheAacDecoder) {
    g_context.pcmPath = dir_.file("job.pcm");
    const DemuxHooks hooks = esdump_DemuxHooks();
    hooks.audioSampleEntry(fourcc('s', 'a', 'm', 'r'));
    EXPECT_EQ(g_context.pcmFile, nullptr);
    hooks.audioSampleEntry(fourcc('m', 'p', '4', 'a'));
    FILE* pcm = g_context.pcmFile;
    ASSERT_NE(pcm, nullptr);
    EXPECT_TRUE(testing_util::fileExists(g_context.pcmPath));
    hooks.audioSampleEntry(fourcc('m', 'p', '4', 'a'));
    hooks.audioSampleEntry(fourcc('s', 'a', 'm', 'r'));
    EXPECT_EQ(g_context.pcmFile, pcm);

    const uint8_t config[] = {0x12, 0x10};  // LC, 44100 Hz, 2 channels
    g_aacParams = AacTrackParams();
    hooks.aacTrackOpened(config, sizeof config);
    EXPECT_NE(g_context.aacDecoder, nullptr);
    EXPECT_TRUE(g_aacParams.initialized);
    hooks.aacTrackOpened(nullptr, 0);  // a track without a configuration
    EXPECT_NE(g_context.aacDecoder, nullptr);
    EXPECT_FALSE(g_aacParams.initialized);
}

// Raw AAC frames of a fixture, with the decoder opened on its AudioSpecificConfig by the
// pipeline's hooks.
struct AacStream {
    std::vector<std::vector<uint8_t>> frames;
    uint32_t rate = 0;
    std::vector<uint8_t> config;  // the AudioSpecificConfig as the file holds it
};

// The first two bytes of an AudioSpecificConfig (object type, rate index, channels) are
// all most recorders write; ffmpeg adds an extension that says "no SBR".
constexpr int32_t kPlainConfigBytes = 2;

AacStream aacFramesAt(const std::string& path, const TempDir& dir) {
    AacStream s;
    EsOut* sink = mp4test::newRecordingSink();
    g_context.pcmPath = dir.file("frames.pcm");
    {
        mp4test::QuietStdout quiet;
        if (mp4test::openOnSink(path, sink, esdump_DemuxHooks()) == 0) {
            while (DEMUX_Demux() == 0) {
            }
            DEMUX_Close();
        }
    }
    mp4test::RecordingSink& r = mp4test::recording(sink);
    for (size_t i = 0; i < r.streams.size(); ++i) {
        const EsDescriptor& d = r.streams[i].descriptor;
        if (d.category != AUDIO_ES) continue;
        s.rate = d.audio.rate;
        s.config.assign(d.extra, d.extra + d.extraSize);
        for (const mp4test::SentBlock& b : r.blocks)
            if (b.stream == static_cast<int>(i)) s.frames.push_back(b.bytes);
    }
    mp4test::closeRecordingSink(sink);
    if (g_context.pcmFile) std::fclose(g_context.pcmFile);
    g_context.pcmFile = nullptr;
    return s;
}

AacStream aacFramesOf(const std::string& fixture, const TempDir& dir) {
    return aacFramesAt(testing_util::fixturePath(fixture), dir);
}

struct AacCase {
    const char* fixture;
    uint32_t sourceRate;
};

void PrintTo(const AacCase& c, std::ostream* os) {
    *os << c.fixture;
}

class AacDumpTest : public EsDumpTest, public ::testing::WithParamInterface<AacCase> {};

// Every AAC source comes out at 16 kHz: the PCM lasts as long as the frames do.
TEST_P(AacDumpTest, PcmLastsAsLongAsTheSource) {
    AacStream aac = aacFramesOf(GetParam().fixture, dir_);
    ASSERT_GT(aac.frames.size(), 10u);
    EXPECT_EQ(aac.rate, GetParam().sourceRate);
    dumpAacFrames(aac.frames, dir_.file("out.pcm"));
    EXPECT_EQ(g_context.success, 1);
    EXPECT_EQ(g_context.audioFrames, static_cast<int32_t>(aac.frames.size()));
    double samples = testing_util::fileSize(g_context.pcmPath) / 2.0;
    double expected = aac.frames.size() * 1024.0 * 16000.0 / GetParam().sourceRate;
    EXPECT_NEAR(samples, expected, 2 * 2048) << GetParam().fixture;
}

// The decoder opened on a track's AudioSpecificConfig works at the rate of its index:
// every frame (after the first, which it holds back) is 1024 samples per channel at the
// source's own rate, also for rates of 24000 Hz and less and for configurations that do
// not say whether the stream carries SBR.
TEST_P(AacDumpTest, DecoderFramesAre1024SamplesAtTheSourceRate) {
    AacStream aac = aacFramesOf(GetParam().fixture, dir_);
    ASSERT_GT(aac.frames.size(), 4u);
    ASSERT_GE(aac.config.size(), static_cast<size_t>(kPlainConfigBytes));
    for (int32_t length : {static_cast<int32_t>(aac.config.size()), kPlainConfigBytes}) {
        EXPECT_TRUE(openAacDecoder(aac.config.data(), length));
        auto* decoder = static_cast<NeAACDecHandle>(g_context.aacDecoder);
        ASSERT_NE(decoder, nullptr);
        EXPECT_EQ(mp4_AacParamsOf(aac.config.data(), length).rate, GetParam().sourceRate);
        for (size_t i = 0; i < 4; ++i) {
            NeAACDecFrameInfo info = {};
            std::vector<uint8_t> frame = aac.frames[i];
            ASSERT_NE(NeAACDecDecode(decoder, &info, frame.data(), frame.size()), nullptr);
            ASSERT_EQ(info.error, 0);
            if (i == 0) continue;
            EXPECT_EQ(info.samplerate, GetParam().sourceRate) << "config bytes " << length;
            ASSERT_GT(info.channels, 0);
            EXPECT_EQ(info.samples / info.channels, 1024u) << "config bytes " << length;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rates, AacDumpTest,
                         ::testing::Values(AacCase{"demux/mp4v_aac_m8k.mp4", 8000},
                                           AacCase{"demux/mp4v_aac_m16k.mp4", 16000},
                                           AacCase{"demux/mp4v_aac_s22k.mp4", 22050},
                                           AacCase{"demux/mp4v_aac_s44k.mp4", 44100},
                                           AacCase{"demux/mp4v_aac_s48k.mp4", 48000}));

TEST_F(EsDumpTest, AacFramesAt44100GiveAbout3715SamplesEach) {
    AacStream aac = aacFramesOf("demux/mp4v_aac_s44k.mp4", dir_);
    ASSERT_GT(aac.frames.size(), 40u);
    g_context.isAac = 1;
    g_context.success = 1;
    g_context.pcmPath = dir_.file("out44.pcm");
    g_context.pcmFile = std::fopen(g_context.pcmPath.c_str(), "wb");
    resampleInit(16000);
    resampleResetState();
    EsOutStream* audio = add(AUDIO_ES, fourcc('m', 'p', '4', 'a'));
    long last = 0;
    std::vector<long> counts;
    {
        mp4test::QuietStdout quiet;
        for (const auto& f : aac.frames) {
            esdump_Send(out_, audio, blockOf(f));
            std::fflush(g_context.pcmFile);
            long now = std::ftell(g_context.pcmFile) / 2;
            counts.push_back(now - last);
            last = now;
        }
    }
    // The decoder holds the first frame back; every later one gives 370 or 372 samples.
    long total = 0;
    for (size_t i = 1; i < counts.size(); ++i) {
        EXPECT_TRUE(counts[i] == 370 || counts[i] == 372) << i << ": " << counts[i];
        total += counts[i];
    }
    EXPECT_NEAR(double(total) / double(counts.size() - 1), 1024 * 16000.0 / 44100, 0.2);
}

// A 16000 Hz source is written as it is: the first channel of every frame, unchanged
// (1024 samples a frame), the second channel dropped. ffmpeg's decoding of the left
// channel is the reference.
TEST_F(EsDumpTest, StereoAacAt16000HzKeepsItsFirstChannelUnchanged) {
    const std::string source = dir_.file("stereo16k.mp4");
    ASSERT_EQ(testing_util::ffmpeg(
                  "-f lavfi -i sine=frequency=440:sample_rate=16000:duration=2 "
                  "-f lavfi -i sine=frequency=1250:sample_rate=16000:duration=2 "
                  "-filter_complex '[0:a][1:a]amerge=inputs=2[a]' -map '[a]' -c:a aac -b:a 64k " +
                  testing_util::shellQuote(source)),
              0);
    const std::string reference = dir_.file("left.raw");
    ASSERT_EQ(testing_util::ffmpeg("-i " + testing_util::shellQuote(source) +
                                   " -af 'pan=mono|c0=c0' -f s16le " +
                                   testing_util::shellQuote(reference)),
              0);
    AacStream aac = aacFramesAt(source, dir_);
    ASSERT_GT(aac.frames.size(), 20u);
    ASSERT_EQ(aac.rate, 16000u);
    ASSERT_GE(aac.config.size(), static_cast<size_t>(kPlainConfigBytes));
    openAacDecoder(aac.config.data(), kPlainConfigBytes);  // as a phone writes it
    dumpAacFrames(aac.frames, dir_.file("stereo16k.pcm"));
    EXPECT_EQ(g_context.success, 1);

    auto samples = [](const std::vector<uint8_t>& bytes) {
        std::vector<int16_t> v(bytes.size() / 2);
        for (size_t i = 0; i < v.size(); ++i)
            v[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
        return v;
    };
    std::vector<int16_t> ours = samples(testing_util::readFile(g_context.pcmPath));
    std::vector<int16_t> left = samples(testing_util::readFile(reference));
    // The decoder holds the first frame back.
    EXPECT_EQ(ours.size(), (aac.frames.size() - 1) * 1024);
    ASSERT_GT(left.size(), 16000u);
    // The two decodings may start a few frames apart: compare at the best alignment.
    constexpr int kMaxShift = 3 * 1024;
    const int window = static_cast<int>(std::min(ours.size(), left.size())) - 2 * kMaxShift;
    ASSERT_GT(window, 8000);
    double best = 0;
    for (int shift = -kMaxShift; shift <= kMaxShift; ++shift) {
        double signal = 0, noise = 0;
        for (int i = kMaxShift; i < kMaxShift + window; i += 3) {
            double r = left[static_cast<size_t>(i + shift)];
            double d = ours[static_cast<size_t>(i)] - r;
            signal += r * r;
            noise += d * d;
        }
        double snr = noise > 0 ? 10 * std::log10(signal / noise) : 99;
        best = std::max(best, snr);
    }
    EXPECT_GT(best, 50.0) << "PCM is not the source's first channel";
}

}  // namespace
