#pragma once
// Helpers of the encoder tests: the encoder's records with their defaults, test inputs
// made with ffmpeg, running `kinolite-cli encode`, and reading back the stream it writes.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "testing/test_util.h"
#include "venc/venc.h"

namespace venc_test {

// Bits of a byte buffer as '0'/'1' characters.
std::string bitString(const uint8_t* data, size_t bytes);

// Holds both encoder mode records with their defaults for the duration of a test and
// publishes them in enc_g_volmd / enc_g_vopmd.
class ModeRecords {
  public:
    ModeRecords(int width = 176, int height = 144, uint32_t bitRate = 100000);
    ~ModeRecords();
    EncVolMode vol;
    EncVopMode vop;
};

// Writes `frames` frames of ffmpeg's testsrc2 with temporal noise, scaled to width x
// height, as raw planar YUV 4:2:0.
void makeNaturalInput(const std::string& path, int width, int height, int frames);

// Writes frames of one flat grey level each (levels[i] for frame i).
void makeFlatInput(const std::string& path, int width, int height,
                   const std::vector<uint8_t>& levels);

// One VOP of an elementary stream.
struct Vop {
    size_t offset = 0, size = 0;  // byte range, start code included
    int codingType = 0;           // 0 I, 1 P
    int timeIncrement = 0;        // vop_time_increment (5 bits at a 30-tick clock)
    int quantizer = 0;
};

// Splits an elementary stream at its VOP start codes.
std::vector<Vop> parseVops(const std::vector<uint8_t>& stream);

struct EncodeResult {
    int exitCode = -1;
    std::string log;  // standard output and error
    int vops = -1;    // from the "vops: N" line
    int bytes = -1;   // from the "bytes: B" line
};

// Runs kinolite-cli encode with `args` (options and file names).
EncodeResult runEncode(const std::string& args);

// Runs kinolite-cli encode with `options` on the files `input` and `output`.
EncodeResult encodeFile(const std::string& options, const std::string& input,
                        const std::string& output);

// A job over pictures of the source size at the two frame rates, without crop.
EncoderJob sourceJob(int sourceWidth, int sourceHeight, uint32_t sourceRate, uint32_t targetRate);

// What an in-process run leaves: its outcome, the stream and the reconstruction.
struct InProcessRun {
    int success = 0;
    int vops = 0;
    int32_t bytes = 0;
    int progress = 0;
    std::vector<uint8_t> stream, recon;
};

// Encodes `input` in this process with the default records (176 x 144, 100000 bit/s)
// as `configure` changes them; the stream and reconstruction pass through files in `dir`.
InProcessRun encodeInProcess(const testing_util::TempDir& dir, const std::string& input,
                             int sourceWidth, int sourceHeight, uint32_t sourceRate,
                             uint32_t targetRate,
                             const std::function<void(EncVolMode&, EncVopMode&)>& configure);

// Frame size in bytes of planar 4:2:0 frames.
inline size_t frameBytes(int width, int height) {
    return static_cast<size_t>(width) * height + 2 * static_cast<size_t>(width / 2) * (height / 2);
}

}  // namespace venc_test
