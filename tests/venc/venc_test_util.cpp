#include "venc_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <regex>

namespace venc_test {

std::string bitString(const uint8_t* data, size_t bytes) {
    std::string s;
    for (size_t i = 0; i < bytes; ++i)
        for (int b = 7; b >= 0; --b) s += ((data[i] >> b) & 1) ? '1' : '0';
    return s;
}

ModeRecords::ModeRecords(int width, int height, uint32_t bitRate) {
    encSetDefaults(&vol, &vop);
    vop.iWidth = width;
    vop.iHeight = height;
    vol.uiBitRate = bitRate;
    vol.iClockRate = 30;
    enc_g_volmd = &vol;
    enc_g_vopmd = &vop;
}

ModeRecords::~ModeRecords() {
    enc_g_volmd = nullptr;
    enc_g_vopmd = nullptr;
}

void makeNaturalInput(const std::string& path, int width, int height, int frames) {
    const std::string filter =
        "testsrc2=size=320x240:rate=10,noise=alls=6:allf=t,scale=" + std::to_string(width) + "x" +
        std::to_string(height);
    const int rc = testing_util::ffmpeg(
        "-f lavfi -i " + testing_util::shellQuote(filter) + " -frames:v " + std::to_string(frames) +
        " -pix_fmt yuv420p -f rawvideo " + testing_util::shellQuote(path));
    ASSERT_EQ(rc, 0) << "ffmpeg could not make the test input";
    ASSERT_EQ(testing_util::fileSize(path),
              static_cast<int64_t>(frameBytes(width, height) * frames));
}

void makeFlatInput(const std::string& path, int width, int height,
                   const std::vector<uint8_t>& levels) {
    std::vector<uint8_t> bytes;
    for (uint8_t level : levels) bytes.insert(bytes.end(), frameBytes(width, height), level);
    testing_util::writeFile(path, bytes);
}

std::vector<Vop> parseVops(const std::vector<uint8_t>& s) {
    std::vector<size_t> starts;
    for (size_t i = 0; i + 3 < s.size(); ++i)
        if (s[i] == 0 && s[i + 1] == 0 && s[i + 2] == 1 && s[i + 3] == 0xB6) starts.push_back(i);
    std::vector<Vop> vops;
    for (size_t k = 0; k < starts.size(); ++k) {
        Vop v;
        v.offset = starts[k];
        v.size = (k + 1 < starts.size() ? starts[k + 1] : s.size()) - starts[k];
        const std::string bits =
            bitString(s.data() + v.offset + 4, std::min<size_t>(v.size - 4, 8));
        // type (2), modulo_time_base (21), marker, time increment (5), marker, coded,
        // [rounding], intra_dc_vlc_thr (3), quantiser (5)
        v.codingType = std::stoi(bits.substr(0, 2), nullptr, 2);
        v.timeIncrement = std::stoi(bits.substr(24, 5), nullptr, 2);
        const size_t qpAt = 24 + 5 + 2 + (v.codingType == 1 ? 1 : 0) + 3;
        v.quantizer = std::stoi(bits.substr(qpAt, 5), nullptr, 2);
        vops.push_back(v);
    }
    return vops;
}

EncodeResult runEncode(const std::string& args) {
    EncodeResult r;
    testing_util::CommandResult c = testing_util::runCommand(
        testing_util::shellQuote(testing_util::cliPath()) + " encode " + args, true);
    r.exitCode = c.exitCode;
    r.log = c.output;
    std::smatch m;
    if (std::regex_search(r.log, m, std::regex("vops: (\\d+)"))) r.vops = std::stoi(m[1]);
    if (std::regex_search(r.log, m, std::regex("bytes: (\\d+)"))) r.bytes = std::stoi(m[1]);
    return r;
}

EncodeResult encodeFile(const std::string& options, const std::string& input,
                        const std::string& output) {
    return runEncode(options + " " + testing_util::shellQuote(input) + " " +
                     testing_util::shellQuote(output));
}

EncoderJob sourceJob(int sourceWidth, int sourceHeight, uint32_t sourceRate, uint32_t targetRate) {
    EncoderJob job;
    job.sourceWidth = sourceWidth;
    job.sourceHeight = sourceHeight;
    job.sourceFrameRate = sourceRate;
    job.frameRate = targetRate;
    return job;
}

InProcessRun encodeInProcess(const testing_util::TempDir& dir, const std::string& input,
                             int sourceWidth, int sourceHeight, uint32_t sourceRate,
                             uint32_t targetRate,
                             const std::function<void(EncVolMode&, EncVopMode&)>& configure) {
    InProcessRun run;
    EncoderJob job = sourceJob(sourceWidth, sourceHeight, sourceRate, targetRate);
    std::atomic<int32_t> progress{0};
    job.progress = &progress;
    const std::string streamPath = dir.file("inproc.m4v"), reconPath = dir.file("inproc.yuv");
    FILE* output = std::fopen(streamPath.c_str(), "wb");
    job.reconstruction = std::fopen(reconPath.c_str(), "wb");
    ModeRecords records;
    configure(records.vol, records.vop);
    encResetSourceFrameNumber();
    const EncoderResult r = encodeVideo(input, output, job);
    std::fclose(job.reconstruction);
    std::fclose(output);
    run.success = r.ok ? 1 : 0;
    run.vops = r.vops;
    run.bytes = r.bytes;
    run.progress = progress;
    run.stream = testing_util::readFile(streamPath);
    run.recon = testing_util::readFile(reconPath);
    return run;
}

}  // namespace venc_test
