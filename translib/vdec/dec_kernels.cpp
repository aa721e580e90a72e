#include "vdec/dec_kernels.h"

#include <cstdint>

namespace vdec {

namespace {

// 2048 x sqrt(2) x cos(k pi / 16), rounded.
constexpr int32_t W1 = 2841;
constexpr int32_t W2 = 2676;
constexpr int32_t W3 = 2408;
constexpr int32_t W5 = 1609;
constexpr int32_t W6 = 1108;
constexpr int32_t W7 = 565;
// 256 / sqrt(2), rounded.
constexpr int32_t kInvSqrt2 = 181;

// 181 x (a +- b), rounded and shifted by 8. The sum can leave 32 bits for extreme inputs of
// a corrupt stream, so it is formed in 64 bits; valid data never gets there.
inline int32_t rotate181(int64_t sum) {
    return int32_t((kInvSqrt2 * sum + 128) >> 8);
}

// The row pass keeps its results in 16 bits, as the reference transform stores them; real
// data always fits, and a corrupt stream cannot push the column pass out of 32 bits.
inline int32_t keep16(int32_t v) {
    return int16_t(uint16_t(uint32_t(v)));
}

void idctRow(int32_t* blk) {
    int32_t x1 = blk[4] * 2048, x2 = blk[6], x3 = blk[2], x4 = blk[1], x5 = blk[7], x6 = blk[5],
            x7 = blk[3];
    if (!(x1 | x2 | x3 | x4 | x5 | x6 | x7)) {
        int32_t v = keep16(blk[0] * 8);
        for (int i = 0; i < 8; ++i) blk[i] = v;
        return;
    }
    int32_t x0 = blk[0] * 2048 + 128;
    // first stage
    int32_t x8 = W7 * (x4 + x5);
    x4 = x8 + (W1 - W7) * x4;
    x5 = x8 - (W1 + W7) * x5;
    x8 = W3 * (x6 + x7);
    x6 = x8 - (W3 - W5) * x6;
    x7 = x8 - (W3 + W5) * x7;
    // second stage
    x8 = x0 + x1;
    x0 -= x1;
    x1 = W6 * (x3 + x2);
    x2 = x1 - (W2 + W6) * x2;
    x3 = x1 + (W2 - W6) * x3;
    x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;
    // third stage
    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = rotate181(int64_t(x4) + x5);
    x4 = rotate181(int64_t(x4) - x5);
    // fourth stage
    blk[0] = keep16((x7 + x1) >> 8);
    blk[1] = keep16((x3 + x2) >> 8);
    blk[2] = keep16((x0 + x4) >> 8);
    blk[3] = keep16((x8 + x6) >> 8);
    blk[4] = keep16((x8 - x6) >> 8);
    blk[5] = keep16((x0 - x4) >> 8);
    blk[6] = keep16((x3 - x2) >> 8);
    blk[7] = keep16((x7 - x1) >> 8);
}

void idctColumn(int32_t* blk) {
    int32_t x1 = blk[8 * 4] * 256, x2 = blk[8 * 6], x3 = blk[8 * 2], x4 = blk[8 * 1],
            x5 = blk[8 * 7], x6 = blk[8 * 5], x7 = blk[8 * 3];
    if (!(x1 | x2 | x3 | x4 | x5 | x6 | x7)) {
        int32_t v = (blk[0] + 32) >> 6;
        for (int i = 0; i < 8; ++i) blk[8 * i] = v;
        return;
    }
    int32_t x0 = blk[0] * 256 + 8192;
    // first stage
    int32_t x8 = W7 * (x4 + x5) + 4;
    x4 = (x8 + (W1 - W7) * x4) >> 3;
    x5 = (x8 - (W1 + W7) * x5) >> 3;
    x8 = W3 * (x6 + x7) + 4;
    x6 = (x8 - (W3 - W5) * x6) >> 3;
    x7 = (x8 - (W3 + W5) * x7) >> 3;
    // second stage
    x8 = x0 + x1;
    x0 -= x1;
    x1 = W6 * (x3 + x2) + 4;
    x2 = (x1 - (W2 + W6) * x2) >> 3;
    x3 = (x1 + (W2 - W6) * x3) >> 3;
    x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;
    // third stage
    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = rotate181(int64_t(x4) + x5);
    x4 = rotate181(int64_t(x4) - x5);
    // fourth stage
    blk[8 * 0] = (x7 + x1) >> 14;
    blk[8 * 1] = (x3 + x2) >> 14;
    blk[8 * 2] = (x0 + x4) >> 14;
    blk[8 * 3] = (x8 + x6) >> 14;
    blk[8 * 4] = (x8 - x6) >> 14;
    blk[8 * 5] = (x0 - x4) >> 14;
    blk[8 * 6] = (x3 - x2) >> 14;
    blk[8 * 7] = (x7 - x1) >> 14;
}

inline uint8_t clip255(int32_t v) {
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

void putBlockPlain(const int32_t* block, uint8_t* dst, int stride) {
    for (int y = 0; y < 8; ++y, dst += stride, block += 8)
        for (int x = 0; x < 8; ++x) dst[x] = clip255(block[x]);
}

void addBlockPlain(const int32_t* block, uint8_t* dst, int stride) {
    for (int y = 0; y < 8; ++y, dst += stride, block += 8)
        for (int x = 0; x < 8; ++x) dst[x] = clip255(dst[x] + block[x]);
}

template <int S, int Mode>
void interpolatePlain(uint8_t* dst, int dstStride, const uint8_t* src, int srcStride,
                      int rounding) {
    for (int y = 0; y < S; ++y, dst += dstStride, src += srcStride) {
        const uint8_t* below = src + srcStride;
        for (int x = 0; x < S; ++x) {
            int a = src[x];
            switch (Mode) {
                case kFull:
                    dst[x] = uint8_t(a);
                    break;
                case kHalfX:
                    dst[x] = uint8_t((a + src[x + 1] + 1 - rounding) >> 1);
                    break;
                case kHalfY:
                    dst[x] = uint8_t((a + below[x] + 1 - rounding) >> 1);
                    break;
                default:
                    dst[x] =
                        uint8_t((a + src[x + 1] + below[x] + below[x + 1] + 2 - rounding) >> 2);
                    break;
            }
        }
    }
}

}  // namespace

void idctPlain(int32_t* block) {
    for (int i = 0; i < 8; ++i) idctRow(block + 8 * i);
    for (int i = 0; i < 8; ++i) idctColumn(block + i);
}

unsigned detectCpuFlags() {
#if defined(__x86_64__) || defined(__i386__)
    return __builtin_cpu_supports("sse2") ? kCpuSse2 : kCpuPlain;
#else
    return kCpuPlain;
#endif
}

void initDecoderKernels(DecoderKernels* k, unsigned cpuFlags) {
    k->idct = idctPlain;
    k->putBlock = putBlockPlain;
    k->addBlock = addBlockPlain;
    k->interpolate[kSize16][kFull] = interpolatePlain<16, kFull>;
    k->interpolate[kSize16][kHalfX] = interpolatePlain<16, kHalfX>;
    k->interpolate[kSize16][kHalfY] = interpolatePlain<16, kHalfY>;
    k->interpolate[kSize16][kHalfXY] = interpolatePlain<16, kHalfXY>;
    k->interpolate[kSize8][kFull] = interpolatePlain<8, kFull>;
    k->interpolate[kSize8][kHalfX] = interpolatePlain<8, kHalfX>;
    k->interpolate[kSize8][kHalfY] = interpolatePlain<8, kHalfY>;
    k->interpolate[kSize8][kHalfXY] = interpolatePlain<8, kHalfXY>;
    // No faster variants yet; they are installed here by the flags they need.
    (void)cpuFlags;
}

const DecoderKernels& decoderKernels() {
    static const DecoderKernels table = [] {
        DecoderKernels k{};
        initDecoderKernels(&k, detectCpuFlags());
        return k;
    }();
    return table;
}

}  // namespace vdec
