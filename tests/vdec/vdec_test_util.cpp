#include "vdec_test_util.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "testing/test_util.h"
#include "vdec/dec_session.h"
#include "vdec/vdec.h"

namespace vdec_test {

void BitWriter::put(uint32_t value, int bits) {
    for (int i = bits - 1; i >= 0; --i) {
        if (bitCount_ % 8 == 0) bytes_.push_back(0);
        if ((value >> i) & 1) bytes_.back() |= uint8_t(0x80 >> (bitCount_ % 8));
        ++bitCount_;
    }
}

void BitWriter::stuff() {
    put(0, 1);
    while (!aligned()) put(1, 1);
}

void BitWriter::alignZero() {
    while (!aligned()) put(0, 1);
}

namespace {

int timeIncrementBitsOf(int clockRate) {
    int bits = 1;
    while (bits < 16 && ((clockRate - 1) >> bits) > 0) ++bits;
    return bits;
}

void writeMatrix(BitWriter* w, const std::vector<int>& list) {
    for (int v : list) w->put(uint32_t(v), 8);
}

}  // namespace

void writeVolHeader(BitWriter* w, const VolFields& v) {
    w->putStartCode(0x00000120);
    w->put(0, 1);  // random_accessible_vol
    w->put(1, 8);  // video_object_type_indication: simple
    if (v.verId != 1) {
        w->put(1, 1);
        w->put(uint32_t(v.verId), 4);
        w->put(1, 3);
    } else {
        w->put(0, 1);
    }
    w->put(1, 4);  // aspect_ratio_info: square
    w->put(0, 1);  // vol_control_parameters
    w->put(uint32_t(v.shape), 2);
    w->put(uint32_t(v.firstMarker), 1);
    w->put(uint32_t(v.clockRate), 16);
    w->put(uint32_t(v.secondMarker), 1);
    w->put(uint32_t(v.fixedVopRate), 1);
    if (v.fixedVopRate) w->put(1, timeIncrementBitsOf(v.clockRate));
    if (v.shape == 0) {
        w->put(1, 1);
        w->put(uint32_t(v.width), 13);
        w->put(1, 1);
        w->put(uint32_t(v.height), 13);
        w->put(1, 1);
    }
    w->put(uint32_t(v.interlaced), 1);
    w->put(1, 1);  // obmc_disable
    w->put(uint32_t(v.spriteEnable), v.verId == 1 ? 1 : 2);
    w->put(uint32_t(v.not8Bit), 1);
    w->put(uint32_t(v.quantType), 1);
    if (v.quantType) {
        w->put(v.intraMatrix.empty() ? 0 : 1, 1);
        writeMatrix(w, v.intraMatrix);
        w->put(v.interMatrix.empty() ? 0 : 1, 1);
        writeMatrix(w, v.interMatrix);
    }
    if (v.verId != 1) w->put(uint32_t(v.quarterSample), 1);
    w->put(uint32_t(v.complexityEstimationDisable), 1);
    w->put(uint32_t(v.resyncMarkerDisable), 1);
    w->put(uint32_t(v.dataPartitioned), 1);
    if (v.dataPartitioned) w->put(uint32_t(v.reversibleVlc), 1);
    if (v.verId != 1) {
        w->put(uint32_t(v.newpred), 1);
        w->put(uint32_t(v.reducedResolution), 1);
    }
    w->put(uint32_t(v.scalability), 1);
    w->stuff();
}

void writeSequenceHeaders(BitWriter* w, const VolFields& vol) {
    w->putStartCode(0x000001B0);
    w->put(0x08, 8);  // profile_and_level_indication
    w->putStartCode(0x000001B5);
    w->put(0, 1);  // is_visual_object_identifier
    w->put(1, 4);  // visual_object_type: video
    w->put(0, 1);  // video_signal_type
    w->stuff();
    w->putStartCode(0x00000100);
    writeVolHeader(w, vol);
}

void writeVopHeader(BitWriter* w, const VolFields& vol, int codingType, int coded, int quant,
                    int fcode, int timeIncrement) {
    w->putStartCode(0x000001B6);
    w->put(uint32_t(codingType), 2);
    w->put(0, 1);  // modulo_time_base
    w->put(1, 1);
    w->put(uint32_t(timeIncrement), timeIncrementBitsOf(vol.clockRate));
    w->put(1, 1);
    w->put(uint32_t(coded), 1);
    if (!coded) return;
    if (codingType == 1) w->put(0, 1);  // vop_rounding_type
    w->put(0, 3);                       // intra_dc_vlc_thr
    w->put(uint32_t(quant), 5);
    if (codingType == 1) w->put(uint32_t(fcode), 3);
}

void writeFlatIntraVop(BitWriter* w, const VolFields& vol, int quant) {
    writeVopHeader(w, vol, 0, 1, quant);
    const int mbs = ((vol.width + 15) / 16) * ((vol.height + 15) / 16);
    for (int i = 0; i < mbs; ++i) {
        w->put(1, 1);                                          // MCBPC: intra, CBPC 0
        w->put(0, 1);                                          // ac_pred_flag
        w->put(3, 4);                                          // CBPY 0 (intra meaning): 0011
        for (int b = 0; b < 6; ++b) w->put(3, b < 4 ? 3 : 2);  // dct_dc_size 0: 011 luma, 11 chroma
    }
    w->stuff();
}

void writeSkippedPVop(BitWriter* w, const VolFields& vol) {
    writeVopHeader(w, vol, 1, 1, 8);
    const int mbs = ((vol.width + 15) / 16) * ((vol.height + 15) / 16);
    for (int i = 0; i < mbs; ++i) w->put(1, 1);  // not_coded
    w->stuff();
}

MemoryStream::MemoryStream(const std::vector<uint8_t>& bytes) : bytes_(bytes) {
    if (bytes_.empty()) bytes_.push_back(0);
    file_ = fmemopen(bytes_.data(), bytes_.size(), "rb");
    g_bits.attach(file_);
}

MemoryStream::~MemoryStream() {
    g_bits.detach();
    std::fclose(file_);
}

std::string uniqueBaseName() {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/') c = '_';
    return name + "." + std::to_string(getpid()) + ".";
}

DecodeResult decodeStream(const std::vector<uint8_t>& stream) {
    testing_util::TempDir dir;
    const std::string esPath = dir.file("stream.m4v");
    const std::string picturesPath = dir.file("pictures.yuv");
    testing_util::writeFile(esPath, stream);

    DecodeResult r;
    DecoderOptions options;
    options.removeRefusedStream = true;  // as the video stage asks
    ::testing::internal::CaptureStdout();
    const DecoderResult decoded = runDecoderOnFile(esPath, picturesPath, options);
    std::fflush(stdout);
    r.output = ::testing::internal::GetCapturedStdout();
    r.success = decoded.ok ? 1 : 0;
    r.width = decoded.width;
    r.height = decoded.height;
    r.frames = decoded.frames;
    r.message = decoded.message;
    r.picturesFileCreated = testing_util::fileExists(picturesPath);
    if (r.picturesFileCreated) r.pictures = testing_util::readFile(picturesPath);
    r.streamFileLeft = testing_util::fileExists(esPath);
    return r;
}

std::vector<uint8_t> fixture(const std::string& name) {
    return testing_util::readFile(testing_util::fixturePath("vdec/" + name));
}

void flipBit(std::vector<uint8_t>* bytes, size_t bit) {
    (*bytes)[bit / 8] ^= uint8_t(0x80 >> (bit % 8));
}

std::vector<size_t> findStartCodes(const std::vector<uint8_t>& b, uint8_t code) {
    std::vector<size_t> at;
    for (size_t i = 0; i + 3 < b.size(); ++i)
        if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && b[i + 3] == code) at.push_back(i);
    return at;
}

std::vector<uint8_t> stripRepeatedHeaders(const std::vector<uint8_t>& s) {
    std::vector<size_t> vops = findStartCodes(s, 0xB6);
    if (vops.empty()) return s;
    std::vector<uint8_t> out(s.begin(), s.begin() + long(vops[0]));
    size_t i = vops[0];
    while (i < s.size()) {
        // Copy up to the next start code that opens a sequence-level header.
        size_t j = i + 4;
        while (j + 3 < s.size() &&
               !(s[j] == 0 && s[j + 1] == 0 && s[j + 2] == 1 &&
                 (s[j + 3] == 0xB0 || s[j + 3] == 0xB5 || s[j + 3] <= 0x2F || s[j + 3] == 0xB2)))
            ++j;
        if (j + 3 >= s.size()) j = s.size();
        out.insert(out.end(), s.begin() + long(i), s.begin() + long(j));
        if (j == s.size()) break;
        // Skip the headers up to the next VOP or GOV.
        size_t k = j + 4;
        while (k + 3 < s.size() && !(s[k] == 0 && s[k + 1] == 0 && s[k + 2] == 1 &&
                                     (s[k + 3] == 0xB6 || s[k + 3] == 0xB3)))
            ++k;
        if (k + 3 >= s.size()) break;
        i = k;
    }
    return out;
}

}  // namespace vdec_test
