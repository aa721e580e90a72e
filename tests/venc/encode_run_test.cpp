// Whole encoding runs: ffmpeg decodes our streams to our reconstruction, the rate meets
// its target, the I/P cycle and the VOP times, frame-rate conversion, the VOP limit, and
// the failures of a run.

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/context.h"
#include "testing/test_util.h"
#include "venc/venc.h"
#include "venc_test_util.h"

namespace {

using testing_util::fileExists;
using testing_util::readFile;
using testing_util::shellQuote;
using testing_util::TempDir;
using venc_test::encodeFile;
using venc_test::encodeInProcess;
using venc_test::frameBytes;
using venc_test::InProcessRun;
using venc_test::parseVops;
using venc_test::runEncode;
using venc_test::sourceJob;

constexpr double kMinOraclePsnr = 40.0;

// Decodes an elementary stream with ffmpeg into raw 4:2:0 frames; fails the test on any
// error ffmpeg reports.
std::vector<uint8_t> ffmpegDecode(const TempDir& dir, const std::string& stream) {
    const std::string out = dir.file("ffmpeg-decoded.yuv");
    testing_util::CommandResult r = testing_util::runCommand(
        "ffmpeg -nostdin -hide_banner -loglevel error -y -i " + shellQuote(stream) +
            " -f rawvideo -pix_fmt yuv420p " + shellQuote(out),
        true);
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(r.output, "") << "ffmpeg reported problems decoding " << stream;
    return readFile(out);
}

// Per-frame PSNR of two frame sequences: the minimum and the mean.
struct PsnrFigures {
    double min = 1e9, mean = 0;
};
PsnrFigures comparePictures(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b,
                            size_t frame) {
    PsnrFigures f;
    const size_t n = a.size() / frame;
    for (size_t i = 0; i < n; ++i) {
        const double p = testing_util::psnr(a.data() + i * frame, b.data() + i * frame, frame);
        f.min = std::min(f.min, p);
        f.mean += p / static_cast<double>(n);
    }
    return f;
}

std::string sizeArg(int w, int h) {
    return std::to_string(w) + "x" + std::to_string(h);
}

// The oracle: ffmpeg decodes every stream without a complaint, frame for frame, within
// 40 dB of our reconstruction, for each target size (scaled and cropped from the source).
TEST(EncodeOracleTest, FfmpegDecodesOurStreamsToOurReconstruction) {
    struct Case {
        int width, height;
        std::string extra;
    };
    const Case cases[] = {
        {176, 144, ""}, {128, 96, "--crop 8,6,4,10"},
        {160, 128, ""}, {128, 128, "--crop 24,24,0,0"},
        {160, 96, ""},
    };
    TempDir dir;
    const std::string input = dir.file("natural.yuv");
    venc_test::makeNaturalInput(input, 176, 144, 40);
    for (const Case& c : cases) {
        const std::string stream = dir.file("out.m4v"), recon = dir.file("recon.yuv");
        venc_test::EncodeResult r = encodeFile(
            "--source-size 176x144 --source-fps 10 --fps 10 --size " + sizeArg(c.width, c.height) +
                " --bitrate 100000 " + c.extra + " --recon " + shellQuote(recon),
            input, stream);
        ASSERT_EQ(r.exitCode, 0) << r.log;
        EXPECT_EQ(r.vops, 40);
        const auto ours = readFile(recon);
        const auto theirs = ffmpegDecode(dir, stream);
        const size_t frame = frameBytes(c.width, c.height);
        ASSERT_EQ(ours.size(), 40 * frame);
        ASSERT_EQ(theirs.size(), ours.size()) << c.width << "x" << c.height;
        const PsnrFigures p = comparePictures(ours, theirs, frame);
        EXPECT_GE(p.min, kMinOraclePsnr) << c.width << "x" << c.height;
        std::printf("%dx%d: PSNR ffmpeg vs reconstruction min %.2f dB mean %.2f dB\n", c.width,
                    c.height, p.min, p.mean);
    }
}

// Over 300 VOPs of natural motion the average bits per VOP stay within 10 % of
// bitRate / 10 (the quantiser never reaches 31 on this input).
TEST(EncodeOracleTest, BitRateMeetsTheTarget) {
    TempDir dir;
    const std::string input = dir.file("natural.yuv");
    venc_test::makeNaturalInput(input, 176, 144, 300);
    for (int bitRate : {100000, 80000, 50000}) {
        const std::string stream = dir.file("out.m4v");
        venc_test::EncodeResult r =
            encodeFile("--source-size 176x144 --source-fps 10 --size 176x144 --fps 10 --bitrate " +
                           std::to_string(bitRate),
                       input, stream);
        ASSERT_EQ(r.exitCode, 0) << r.log;
        ASSERT_EQ(r.vops, 300);
        const auto vops = parseVops(readFile(stream));
        ASSERT_EQ(vops.size(), 300u);
        int maxQP = 0;
        for (const auto& v : vops) maxQP = std::max(maxQP, v.quantizer);
        EXPECT_LT(maxQP, 31) << bitRate;
        const double bitsPerVop = (r.bytes - 18) * 8.0 / r.vops;
        const double ratio = bitsPerVop / (bitRate / 10.0);
        std::printf("%d bit/s: %.0f bits per VOP, %.3f of the target, quantiser up to %d\n",
                    bitRate, bitsPerVop, ratio, maxQP);
        EXPECT_NEAR(ratio, 1.0, 0.10) << bitRate;
    }
}

// A static picture: once the reconstruction has settled every P-VOP is one not-coded bit
// per macroblock (75 header bits and 99 not_coded bits, aligned: 22 bytes). A picture of
// flat 8 x 8 blocks (levels inside the intra DC range) is coded exactly by the I-VOP, so from the
// first P-VOP on; a natural picture after the first P-VOP has refined it.
TEST(EncodeRunTest, StaticSceneCodesOnlySkippedMacroblocks) {
    TempDir dir;
    const std::string natural = dir.file("one.yuv");
    venc_test::makeNaturalInput(natural, 176, 144, 1);
    std::vector<uint8_t> blocks(frameBytes(176, 144));
    for (size_t i = 0; i < 176 * 144; ++i)
        blocks[i] = static_cast<uint8_t>(16 + (37 * ((i % 176) / 8) + 11 * (i / 176 / 8)) % 224);
    for (size_t i = 176 * 144; i < blocks.size(); ++i)
        blocks[i] = static_cast<uint8_t>(100 + (i % 88) / 8);
    struct Case {
        std::vector<uint8_t> frame;
        size_t firstSkippedVop;
    };
    const Case cases[] = {{blocks, 1}, {readFile(natural), 2}};
    for (const Case& c : cases) {
        const std::string input = dir.file("static.yuv"), stream = dir.file("out.m4v");
        std::vector<uint8_t> frames;
        for (int i = 0; i < 12; ++i) frames.insert(frames.end(), c.frame.begin(), c.frame.end());
        testing_util::writeFile(input, frames);
        venc_test::EncodeResult r = encodeFile(
            "--source-size 176x144 --source-fps 8 --size 176x144 --bitrate 100000", input, stream);
        ASSERT_EQ(r.exitCode, 0) << r.log;
        const auto vops = parseVops(readFile(stream));
        ASSERT_EQ(vops.size(), 12u);
        for (size_t i = c.firstSkippedVop; i < vops.size(); ++i) EXPECT_EQ(vops[i].size, 22u) << i;
    }
}

// VOP k has time 3k ticks; VOPs 1 and 102 (counted from 1) are I-VOPs, the rest P-VOPs.
TEST(EncodeRunTest, IntraCycleAndVopTimes) {
    TempDir dir;
    const std::string input = dir.file("tiny.yuv"), stream = dir.file("out.m4v");
    venc_test::makeNaturalInput(input, 16, 16, 205);
    venc_test::EncodeResult r =
        encodeFile("--source-size 16x16 --source-fps 10 --size 16x16 --fps 10 --bitrate 100000",
                   input, stream);
    ASSERT_EQ(r.exitCode, 0) << r.log;
    const auto vops = parseVops(readFile(stream));
    ASSERT_EQ(vops.size(), 205u);
    for (size_t k = 0; k < vops.size(); ++k) {
        EXPECT_EQ(vops[k].codingType, (k == 0 || k == 101 || k == 202) ? 0 : 1) << k;
        EXPECT_EQ(vops[k].timeIncrement, static_cast<int>((3 * k) % 30)) << k;
    }
}

// The frame loop stops after 16667 VOPs (times 0 to 49998) even when the source goes on.
TEST(EncodeRunTest, StopsAfter16667Vops) {
    TempDir dir;
    const std::string input = dir.file("long.yuv"), stream = dir.file("out.m4v");
    venc_test::makeFlatInput(input, 16, 16, std::vector<uint8_t>(16700, 77));
    venc_test::EncodeResult r =
        runEncode("--source-size 16x16 --source-fps 10 --size 16x16 --fps 10 --bitrate 100000 " +
                  shellQuote(input) + " " + shellQuote(stream) + " | tail -n 3");
    ASSERT_EQ(r.exitCode, 0) << r.log;
    EXPECT_EQ(r.vops, 16667);
    EXPECT_EQ(parseVops(readFile(stream)).size(), 16667u);
}

TEST(EncodeRunTest, SourceWithoutFramesGivesOnlyTheStreamHeaders) {
    TempDir dir;
    const std::string input = dir.file("empty.yuv"), stream = dir.file("out.m4v");
    testing_util::writeFile(input, {});
    venc_test::EncodeResult r = encodeFile(
        "--source-size 176x144 --source-fps 10 --size 176x144 --bitrate 80000", input, stream);
    ASSERT_EQ(r.exitCode, 0) << r.log;
    EXPECT_EQ(r.vops, 0);
    EXPECT_EQ(readFile(stream).size(), 18u);
    EXPECT_NE(r.log.find("encoded frame number: 0\n"), std::string::npos);
    EXPECT_NE(r.log.find("average psnrY: 0.000000\n"), std::string::npos);
}

// An exactly coded picture prints the PSNR values of identical planes.
TEST(EncodeRunTest, ExactReconstructionPrintsTheIdenticalPsnr) {
    TempDir dir;
    const std::string input = dir.file("flat.yuv"), stream = dir.file("out.m4v");
    venc_test::makeFlatInput(input, 176, 144, {128});
    venc_test::EncodeResult r = encodeFile(
        "--source-size 176x144 --source-fps 8 --size 176x144 --bitrate 100000", input, stream);
    ASSERT_EQ(r.exitCode, 0) << r.log;
    EXPECT_NE(
        r.log.find("\t psnrY: 10000.000000\n\t psnrU: 1000000.000000\n\t psnrV: 1000000.000000\n"),
        std::string::npos)
        << r.log;
}

// 30 frames per second to 10: source frames 1, 4, 7, ... are coded, and the progress
// counter ends one past the coded VOPs because the failed read of the end counts too. A
// dropped frame logs its VOP time and the buffer fullness, and the next frame the same time.
TEST(EncodeRunTest, FrameRateConversionTakesTheRightFrames) {
    TempDir dir;
    const std::string input = dir.file("levels.yuv");
    std::vector<uint8_t> levels;
    for (int i = 0; i < 30; ++i) levels.push_back(static_cast<uint8_t>(40 + 6 * i));
    venc_test::makeFlatInput(input, 32, 32, levels);
    testing::internal::CaptureStdout();
    InProcessRun run =
        encodeInProcess(dir, input, 32, 32, 30, 10, [](EncVolMode&, EncVopMode& vop) {
            vop.iWidth = 32;
            vop.iHeight = 32;
        });
    std::fflush(stdout);
    const std::string log = testing::internal::GetCapturedStdout();
    ASSERT_EQ(run.success, 1);
    const std::string dropped = "encode 3 frame\n\t buffer fullness: ";
    const size_t first = log.find(dropped);
    ASSERT_NE(first, std::string::npos) << log;
    const size_t second = log.find(dropped, first + 1);
    const size_t third = log.find(dropped, second + 1);
    ASSERT_NE(third, std::string::npos);
    EXPECT_EQ(log.find("\n", log.find("\n", first) + 1) + 1, second);  // nothing in between
    EXPECT_EQ(log.find("\n", log.find("\n", second) + 1) + 1, third);
    EXPECT_EQ(log.compare(log.find("\n", log.find("\n", third) + 1) + 1, 8, "\t P VOP\n"), 0);
    ASSERT_EQ(run.vops, 10);
    EXPECT_EQ(run.progress, 11);
    const size_t frame = frameBytes(32, 32);
    ASSERT_EQ(run.recon.size(), 10 * frame);
    for (int k = 0; k < 10; ++k) EXPECT_NEAR(run.recon[k * frame + 100], levels[3 * k], 2) << k;
}

// A noisy intra VOP at the finest quantiser does not fit the bit writer's first buffer;
// it grows, and ffmpeg still decodes the picture. H.263 quantisation decodes as well.
TEST(EncodeRunTest, LargeVopsAndH263Quantisation) {
    TempDir dir;
    const std::string input = dir.file("noise.yuv");
    testing_util::ffmpeg("-f lavfi -i " +
                         shellQuote("nullsrc=size=176x144:rate=10,geq=random(1)*255:128:128") +
                         " -frames:v 3 -pix_fmt yuv420p -f rawvideo " + shellQuote(input));
    struct Case {
        const char* name;
        int quantType, intraQP;
    };
    const Case cases[] = {{"mpeg qp1", 1, 1}, {"h263 qp3", 0, 3}};
    for (const Case& c : cases) {
        InProcessRun run =
            encodeInProcess(dir, input, 176, 144, 10, 10, [&](EncVolMode& vol, EncVopMode& vop) {
                vol.iQuantType = c.quantType;
                vop.iIntraQP = c.intraQP;
            });
        ASSERT_EQ(run.success, 1) << c.name;
        ASSERT_EQ(run.vops, 3) << c.name;
        const auto vops = parseVops(run.stream);
        ASSERT_EQ(vops.size(), 3u);
        if (c.intraQP == 1) {
            EXPECT_GT(vops[0].size, 30000u);
        }
        const std::string stream = dir.file("large.m4v");
        testing_util::writeFile(stream, run.stream);
        const auto theirs = ffmpegDecode(dir, stream);
        ASSERT_EQ(theirs.size(), run.recon.size()) << c.name;
        EXPECT_GE(comparePictures(run.recon, theirs, frameBytes(176, 144)).min, kMinOraclePsnr)
            << c.name;
    }
}

// Odd source sizes (chroma planes of (w/2) x (h/2), rounded down) are cropped and scaled
// without fault and decode.
TEST(EncodeRunTest, OddSourceSize) {
    TempDir dir;
    const std::string even = dir.file("even.yuv"), input = dir.file("odd.yuv");
    const std::string stream = dir.file("out.m4v");
    venc_test::makeNaturalInput(even, 176, 144, 5);
    const auto src = readFile(even);
    std::vector<uint8_t> odd;
    for (int f = 0; f < 5; ++f) {
        const uint8_t* frame = src.data() + f * frameBytes(176, 144);
        for (int y = 0; y < 143; ++y) odd.insert(odd.end(), frame + y * 176, frame + y * 176 + 175);
        for (int plane = 0; plane < 2; ++plane) {
            const uint8_t* c = frame + 176 * 144 + plane * 88 * 72;
            for (int y = 0; y < 71; ++y) odd.insert(odd.end(), c + y * 88, c + y * 88 + 87);
        }
    }
    ASSERT_EQ(odd.size(), 5 * frameBytes(175, 143));
    testing_util::writeFile(input, odd);
    venc_test::EncodeResult r = encodeFile(
        "--source-size 175x143 --source-fps 10 --size 176x144 --fps 10 --bitrate 100000 "
        "--crop 1,2,3,0",
        input, stream);
    ASSERT_EQ(r.exitCode, 0) << r.log;
    EXPECT_EQ(r.vops, 5);
    EXPECT_EQ(ffmpegDecode(dir, stream).size(), 5 * frameBytes(176, 144));
}

// Runs that cannot encode fail the job with a clear message and leave no output.
TEST(EncodeRunTest, FailuresFailTheJob) {
    TempDir dir;
    const std::string input = dir.file("in.yuv");
    venc_test::makeFlatInput(input, 176, 144, {1, 2});
    struct Case {
        std::string options;
        std::string message;
    };
    const Case cases[] = {
        {"--source-size 176x144 --source-fps 0 --size 176x144 --fps 8", "source frame rate is 0"},
        {"--source-size 176x144 --source-fps 8 --size 176x144 --crop 100,80,0,0",
         "leave no picture"},
        {"--source-size 176x144 --source-fps 8 --size 176x144 --crop 0,0,70,74",
         "leave no picture"},
    };
    for (const Case& c : cases) {
        const std::string stream = dir.file("out.m4v");
        venc_test::EncodeResult r = encodeFile(c.options + " --bitrate 100000", input, stream);
        EXPECT_EQ(r.exitCode, 1) << c.options;
        EXPECT_NE(r.log.find(c.message), std::string::npos) << r.log;
        EXPECT_FALSE(fileExists(stream)) << c.options;
    }
    // A missing decoded-pictures file fails without writing anything.
    InProcessRun run = encodeInProcess(dir, dir.file("missing.yuv"), 176, 144, 8, 8,
                                       [](EncVolMode&, EncVopMode&) {});
    EXPECT_EQ(run.success, 0);
    EXPECT_TRUE(run.stream.empty());
}

// The command line's margins for larger pictures are checked against the pictures the
// encoder is given: up to a quarter of a source wider than 352 pixels, the dialogs' 60 and
// 40 for smaller ones.
TEST(EncodeRunTest, WideMarginsAreCheckedAgainstTheSource) {
    TempDir dir;
    const struct {
        int sw, sh;
        uint16_t left, right, top, bottom;
        bool ok;
    } cases[] = {
        {176, 144, 60, 0, 40, 0, true},  {176, 144, 61, 0, 0, 0, false},
        {352, 288, 0, 0, 0, 41, false},  {400, 240, 100, 100, 60, 60, true},
        {400, 240, 0, 101, 0, 0, false}, {400, 240, 0, 0, 61, 0, false},
    };
    for (const auto& c : cases) {
        const std::string input = dir.file("wide.yuv");
        venc_test::makeFlatInput(input, c.sw, c.sh, {1, 2});
        const std::string stream = dir.file("wide.m4v");
        FILE* out = std::fopen(stream.c_str(), "wb");
        ASSERT_NE(out, nullptr);
        venc_test::ModeRecords records;
        encResetSourceFrameNumber();
        EncoderJob job = sourceJob(c.sw, c.sh, 8, 8);
        job.cropLeft = c.left;
        job.cropHorizontal = static_cast<uint16_t>(c.left + c.right);
        job.cropTop = c.top;
        job.cropVertical = static_cast<uint16_t>(c.top + c.bottom);
        job.wideCrop = 1;
        resetJob();  // the job's failure is the first error it logs
        const EncoderResult r = encodeVideo(input, out, job);
        std::fclose(out);
        EXPECT_EQ(r.ok, c.ok) << c.sw << "x" << c.sh << " " << c.left << "," << c.right << ","
                              << c.top << "," << c.bottom;
        if (!c.ok) {
            EXPECT_NE(g_context.failure.find("are too wide for the"), std::string::npos)
                << g_context.failure;
        }
    }
}

TEST(EncodeRunTest, ShortWriteEndsTheRun) {
    TempDir dir;
    const std::string input = dir.file("in.yuv");
    venc_test::makeFlatInput(input, 176, 144, {1, 2, 3});
    FILE* full = std::fopen("/dev/full", "wb");
    ASSERT_NE(full, nullptr);
    std::setvbuf(full, nullptr, _IONBF, 0);
    venc_test::ModeRecords records;
    encResetSourceFrameNumber();
    const EncoderResult r = encodeVideo(input, full, sourceJob(176, 144, 8, 8));
    std::fclose(full);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.message.empty());
    EXPECT_EQ(r.vops, 0);
}

TEST(EncodeCommandTest, UsageErrorsAndHelp) {
    TempDir dir;
    const std::string in = shellQuote(dir.file("in.yuv")), out = shellQuote(dir.file("out.m4v"));
    testing_util::writeFile(dir.file("in.yuv"), {});
    const std::string ok = "--source-size 176x144 --source-fps 10 --size 176x144 --bitrate 100000 ";
    struct Case {
        std::string args;
        int exitCode;
    };
    const Case cases[] = {
        {"", 2},
        {ok + in, 2},  // no output
        {"--source-size 176 --source-fps 10 --size 176x144 --bitrate 100000 " + in + " " + out, 2},
        {"--source-size 176x144 --source-fps 10 --size 100x100 --bitrate 100000 " + in + " " + out,
         2},
        {"--source-size 176x144 --source-fps 10 --size 32x32 --bitrate 100000 " + in + " " + out,
         2},
        {ok + "--crop 1,2,3 " + in + " " + out, 2},
        {ok + "--frobnicate 1 " + in + " " + out, 2},
        {ok + in + " " + out + " extra", 2},
        {ok + shellQuote(dir.file("missing.yuv")) + " " + out, 1},
        {ok + in + " " + out, 0},
        {"--help", 0},
    };
    for (const Case& c : cases) {
        venc_test::EncodeResult r = runEncode(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << "\n" << r.log;
    }
    EXPECT_NE(runEncode("--help").log.find("Usage: kinolite-cli encode"), std::string::npos);
}

}  // namespace
