// Which decoder takes a video stream: our own for MPEG-4 simple profile and H.263, the
// library for H.264 and for MPEG-4 video objects that use tools our decoder refuses
// (B-VOPs, quarter-pel motion, global motion compensation or sprites, interlacing).

#include <cstddef>
#include <cstdint>

#include "core/fourcc.h"
#include "vdec/vdec.h"

namespace {

// Start code of a video object layer: 00 00 01 then 0x20 to 0x2F.
constexpr uint8_t kVolStartFirst = 0x20;
constexpr uint8_t kVolStartLast = 0x2F;
constexpr uint32_t kExtendedPar = 15;
constexpr uint32_t kShapeRectangular = 0;
constexpr uint32_t kShapeBinaryOnly = 2;
constexpr uint32_t kShapeGrayscale = 3;
constexpr int kQuantMatrixSize = 64;

// Most significant bit first; zeros past the end.
class HeadBits {
  public:
    HeadBits(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint32_t get(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++m_bit) {
            const size_t byte = m_bit / 8;
            const uint32_t b = byte < m_size ? (m_data[byte] >> (7 - m_bit % 8)) & 1u : 0u;
            v = v << 1 | b;
        }
        return v;
    }
    void skip(int n) { get(n); }

  private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_bit = 0;
};

int timeIncrementBits(uint32_t resolution) {
    int bits = 1;
    while (bits < 16 && (1u << bits) < resolution) ++bits;
    return bits;
}

void skipQuantMatrix(HeadBits& b) {
    for (int k = 0; k < kQuantMatrixSize; ++k)
        if (b.get(8) == 0) return;
}

// What in the VOL header that starts at `vol` (after its start code) sends the stream to
// the library decoder; none when our decoder takes it (or refuses it for reasons of its
// own, which it then reports itself).
const char* libraryToolOf(const uint8_t* vol, size_t size) {
    HeadBits b(vol, size);
    b.skip(1);  // random_accessible_vol
    b.skip(8);  // video_object_type_indication
    uint32_t verId = 1;
    if (b.get(1)) {  // is_object_layer_identifier
        verId = b.get(4);
        b.skip(3);
    }
    if (b.get(4) == kExtendedPar) b.skip(16);
    if (b.get(1)) {                          // vol_control_parameters
        b.skip(2);                           // chroma_format
        if (b.get(1) == 0) return "B-VOPs";  // low_delay 0: pictures are reordered
        if (b.get(1)) b.skip(15 + 1 + 15 + 1 + 15 + 1 + 3 + 11 + 1 + 15 + 1);
    }
    const uint32_t shape = b.get(2);
    if (shape == kShapeGrayscale && verId != 1) b.skip(4);
    b.skip(1);
    const uint32_t resolution = b.get(16);
    b.skip(1);
    if (b.get(1)) b.skip(timeIncrementBits(resolution));  // fixed_vop_rate
    if (shape != kShapeBinaryOnly && shape == kShapeRectangular) b.skip(1 + 13 + 1 + 13 + 1);
    if (shape != kShapeRectangular) return nullptr;  // shapes: our decoder refuses them itself
    if (b.get(1)) return "interlacing";
    b.skip(1);  // obmc_disable
    if (b.get(verId == 1 ? 1 : 2) != 0) return "global motion compensation";
    if (b.get(1)) return nullptr;  // not_8_bit: neither decoder takes it
    if (b.get(1)) {                // quant_type
        if (b.get(1)) skipQuantMatrix(b);
        if (b.get(1)) skipQuantMatrix(b);
    }
    if (verId != 1 && b.get(1)) return "quarter-pel motion";
    return nullptr;
}

}  // namespace

VideoDecoderChoice chooseVideoDecoder(uint32_t codec, const uint8_t* head, size_t size) {
    VideoDecoderChoice choice;
    if (codec == fourcc('a', 'v', 'c', '1') || codec == fourcc('h', '2', '6', '4')) {
        choice.kind = VideoDecoderKind::LibraryH264;
        choice.reason = "H.264";
        return choice;
    }
    if (codec != fourcc('m', 'p', '4', 'v') || !head) return choice;
    // The first VOL header decides; a stream without one stays with our decoder.
    for (size_t i = 0; i + 4 <= size; ++i) {
        if (head[i] != 0 || head[i + 1] != 0 || head[i + 2] != 1) continue;
        if (head[i + 3] < kVolStartFirst || head[i + 3] > kVolStartLast) continue;
        if (const char* tool = libraryToolOf(head + i + 4, size - i - 4)) {
            choice.kind = VideoDecoderKind::LibraryMpeg4;
            choice.reason = tool;
        }
        break;
    }
    return choice;
}

const char* videoDecoderName(VideoDecoderKind kind) {
    switch (kind) {
        case VideoDecoderKind::LibraryH264:
            return "libavcodec h264";
        case VideoDecoderKind::LibraryMpeg4:
            return "libavcodec mpeg4";
        case VideoDecoderKind::Own:
            break;
    }
    return "kinolite mpeg4/h263";
}
