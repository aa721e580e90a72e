#pragma once
// Helpers of the decoder suites: a bit writer for hand-made streams, VOL headers built
// from a table of fields, and running the decoder on a stream in memory.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vdec_test {

// Writes bits most significant first.
class BitWriter {
  public:
    void put(uint32_t value, int bits);
    void putStartCode(uint32_t code) { put(code, 32); }
    // MPEG-4 stuffing: a 0 and then ones up to the byte boundary (a whole byte if aligned).
    void stuff();
    // Zero bits up to the byte boundary.
    void alignZero();
    bool aligned() const { return bitCount_ % 8 == 0; }
    size_t bitCount() const { return bitCount_; }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

  private:
    std::vector<uint8_t> bytes_;
    size_t bitCount_ = 0;
};

// Fields of a VOL header; the defaults describe a plain 176 x 144 simple-profile layer.
struct VolFields {
    int verId = 1;  // 1: is_object_layer_identifier 0; else coded with this verid
    int shape = 0;
    int firstMarker = 1;
    int clockRate = 30;
    int secondMarker = 1;
    int fixedVopRate = 0;
    int width = 176;
    int height = 144;
    int interlaced = 0;
    int spriteEnable = 0;
    int not8Bit = 0;
    int quantType = 0;
    std::vector<int> intraMatrix;  // when not empty: load_intra_quant_mat 1 and this list
    std::vector<int> interMatrix;
    int quarterSample = 0;
    int complexityEstimationDisable = 1;
    int resyncMarkerDisable = 1;
    int dataPartitioned = 0;
    int reversibleVlc = 0;
    int newpred = 0;
    int reducedResolution = 0;
    int scalability = 0;
};

// Visual object sequence, visual object, video object and VOL headers, byte-aligned.
void writeSequenceHeaders(BitWriter* w, const VolFields& vol);

// The VOL header alone (from its start code), stuffed to the byte boundary.
void writeVolHeader(BitWriter* w, const VolFields& vol);

// A VOP header of the layer: coding type 0 (I) or 1 (P), vop_coded, quantiser, fcode.
void writeVopHeader(BitWriter* w, const VolFields& vol, int codingType, int coded, int quant,
                    int fcode = 1, int timeIncrement = 0);

// An I-VOP whose macroblocks are all intra, uncoded (DC differential 0, no AC), so every
// sample is the DC predictor 1024/8 = 128. `vol` gives the picture size.
void writeFlatIntraVop(BitWriter* w, const VolFields& vol, int quant = 8);

// A P-VOP whose macroblocks are all skipped.
void writeSkippedPVop(BitWriter* w, const VolFields& vol);

// Points the decoder's bit reader at bytes in memory for as long as it lives, for calling
// the header, macroblock and block readers directly.
class MemoryStream {
  public:
    explicit MemoryStream(const std::vector<uint8_t>& bytes);
    ~MemoryStream();
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

  private:
    std::vector<uint8_t> bytes_;
    FILE* file_;
};

// Result of running the decoder on a stream in memory.
struct DecodeResult {
    int success = 0;
    std::string output;             // what the decoder printed on standard output
    std::vector<uint8_t> pictures;  // the decoded-pictures file ("" when not created)
    bool picturesFileCreated = false;
    bool streamFileLeft = false;  // the elementary-stream file still exists afterwards
    int width = 0;                // the frame size the decoder published
    int height = 0;
    int frames = 0;       // frames the decoder says it wrote
    std::string message;  // the decoder's reason on failure
};

// Writes `stream` to an elementary-stream file in a temporary directory, runs the decoder
// on it as the video stage does (a refused stream file is removed) and collects the
// results; removes every file.
DecodeResult decodeStream(const std::vector<uint8_t>& stream);

// A base name unique to the running test case.
std::string uniqueBaseName();

// A committed fixture of the decoder suites (tests/fixtures/vdec/NAME).
std::vector<uint8_t> fixture(const std::string& name);

// Whether `text` contains `part`.
inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Bytes of one frame of a picture size.
inline size_t frameBytes(int w, int h) {
    return size_t(w) * h + 2 * size_t(w / 2) * (h / 2);
}

// Inverts bit `bit` (0 = most significant bit of byte 0).
void flipBit(std::vector<uint8_t>* bytes, size_t bit);

// Positions of every start code prefix 00 00 01 followed by `code`.
std::vector<size_t> findStartCodes(const std::vector<uint8_t>& bytes, uint8_t code);

// Removes the visual object sequence / visual object / VOL headers (and their user data)
// repeated in front of later intra VOPs, as some encoders write them.
std::vector<uint8_t> stripRepeatedHeaders(const std::vector<uint8_t>& stream);

}  // namespace vdec_test
