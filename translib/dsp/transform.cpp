// Plain transform kernels and the transform table.

#include "dsp/transform.h"

#include "dsp/cpu.h"
#include "dsp/variants.h"

namespace dsp {

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

// The arithmetic of the decoder's inverse DCT. The row pass keeps its results in 16 bits,
// as the reference transform stores them: real data always fits, and a corrupt stream
// cannot push the column pass out of 32 bits. 181 x (a +- b) can leave 32 bits for extreme
// inputs of a corrupt stream, so it is formed in 64 bits; valid data never gets there. A
// pass over a row or column holding only its DC takes a shortcut (same values).
struct Rows16 {
    using Product = int64_t;
    static constexpr bool kDcShortcut = true;
    static int32_t keepRow(int32_t v) { return int16_t(uint16_t(uint32_t(v))); }
};

// The encoder's: 32 bits throughout, and no branch, so that the compiler can run the
// passes over several columns at once.
struct Rows32 {
    using Product = int32_t;
    static constexpr bool kDcShortcut = false;
    static int32_t keepRow(int32_t v) { return v; }
};

template <class Arithmetic>
inline int32_t rotate181(typename Arithmetic::Product sum) {
    return int32_t((kInvSqrt2 * sum + 128) >> 8);
}

// One pass over eight values kStride apart, in place. The row pass scales the DC and F4
// inputs by 2^11 and rounds with 128; the column pass scales them by 2^8, rounds with 8192
// and also rounds (+4) and shifts (>> 3) the three rotation products.
template <class Arithmetic, bool kRow>
inline void idctPass(int32_t* b) {
    constexpr int S = kRow ? 1 : 8;
    constexpr int32_t kScale = kRow ? 2048 : 256;
    constexpr int32_t kRound = kRow ? 128 : 8192;
    constexpr int32_t kProductRound = kRow ? 0 : 4;
    constexpr int kProductShift = kRow ? 0 : 3;
    constexpr int kOutputShift = kRow ? 8 : 14;
    auto out = [](int32_t v) {
        return kRow ? Arithmetic::keepRow(v >> kOutputShift) : v >> kOutputShift;
    };
    using Product = typename Arithmetic::Product;

    int32_t x1 = b[4 * S] * kScale, x2 = b[6 * S], x3 = b[2 * S], x4 = b[1 * S], x5 = b[7 * S],
            x6 = b[5 * S], x7 = b[3 * S];
    if (Arithmetic::kDcShortcut && !(x1 | x2 | x3 | x4 | x5 | x6 | x7)) {
        // Only the DC: the full computation gives this value at every position.
        const int32_t v = out(b[0] * kScale + kRound);
        for (int i = 0; i < 8; ++i) b[i * S] = v;
        return;
    }
    int32_t x0 = b[0] * kScale + kRound;
    // first stage
    int32_t x8 = W7 * (x4 + x5) + kProductRound;
    x4 = (x8 + (W1 - W7) * x4) >> kProductShift;
    x5 = (x8 - (W1 + W7) * x5) >> kProductShift;
    x8 = W3 * (x6 + x7) + kProductRound;
    x6 = (x8 - (W3 - W5) * x6) >> kProductShift;
    x7 = (x8 - (W3 + W5) * x7) >> kProductShift;
    // second stage
    x8 = x0 + x1;
    x0 -= x1;
    x1 = W6 * (x3 + x2) + kProductRound;
    x2 = (x1 - (W2 + W6) * x2) >> kProductShift;
    x3 = (x1 + (W2 - W6) * x3) >> kProductShift;
    x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;
    // third stage
    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = rotate181<Arithmetic>(Product(x4) + x5);
    x4 = rotate181<Arithmetic>(Product(x4) - x5);
    // fourth stage
    b[0 * S] = out(x7 + x1);
    b[1 * S] = out(x3 + x2);
    b[2 * S] = out(x0 + x4);
    b[3 * S] = out(x8 + x6);
    b[4 * S] = out(x8 - x6);
    b[5 * S] = out(x0 - x4);
    b[6 * S] = out(x3 - x2);
    b[7 * S] = out(x7 - x1);
}

template <class Arithmetic>
void idct(int32_t* block) {
    for (int i = 0; i < 8; ++i) idctPass<Arithmetic, true>(block + 8 * i);
    for (int i = 0; i < 8; ++i) idctPass<Arithmetic, false>(block + i);
}

// One pass of the forward DCT's first stage over a row of eight values.
void fdctRow(const int16_t* x, int16_t* y) {
    const int s07 = x[0] + x[7], s16 = x[1] + x[6], s25 = x[2] + x[5], s34 = x[3] + x[4];
    y[0] = static_cast<int16_t>(((s07 + s34 + s16 + s25) * 23170 + 2048) >> 12);
    y[4] = static_cast<int16_t>(((s07 + s34 - s16 - s25) * 23170 + 2048) >> 12);
    y[2] = static_cast<int16_t>(((s07 - s34) * 30274 + (s16 - s25) * 12540 + 2048) >> 12);
    y[6] = static_cast<int16_t>(((s07 - s34) * 12540 - (s16 - s25) * 30274 + 2048) >> 12);
    const int m = (x[0] - x[7]) * 8;
    const int r = (x[3] - x[4]) * 8;
    const int l = ((x[1] + x[2] - x[6] - x[5]) * 23170 + 2048) >> 12;
    const int o = ((x[1] + x[5] - x[6] - x[2]) * 23170 + 2048) >> 12;
    y[1] = static_cast<int16_t>(((r + o) * 6393 + (m + l) * 32138 + 16384) >> 15);
    y[7] = static_cast<int16_t>(((m + l) * 6393 - (r + o) * 32138 + 16384) >> 15);
    y[3] = static_cast<int16_t>(((m - l) * 27246 - (r - o) * 18205 + 16384) >> 15);
    y[5] = static_cast<int16_t>(((r - o) * 27246 + (m - l) * 18205 + 16384) >> 15);
}

// Second stage over one column (stride 8) of the row results.
void fdctColumn(const int16_t* c, int16_t* out) {
    const int s07 = c[0] + c[56], s16 = c[8] + c[48], s25 = c[16] + c[40], s34 = c[24] + c[32];
    const int d07 = c[0] - c[56], d16 = c[8] - c[48], d25 = c[16] - c[40], d34 = c[24] - c[32];
    const int a0 = s07 + s34, a1 = s16 + s25, a2 = s07 - s34, a3 = s16 - s25;
    out[0] = static_cast<int16_t>(((a0 + a1) * 5792 + 131072) >> 18);
    out[32] = static_cast<int16_t>(((a0 - a1) * 5792 + 131072) >> 18);
    out[16] = static_cast<int16_t>((a3 * 3134 + a2 * 7568 + 131072) >> 18);
    out[48] = static_cast<int16_t>((a2 * 3134 - a3 * 7568 + 131072) >> 18);
    const int t1 = ((d16 - d25) * 23170 + 16384) >> 15;
    const int t2 = ((d16 + d25) * 23170 + 16384) >> 15;
    const int e0 = d07 + t2, e1 = d34 + t1, e2 = d07 - t2, e3 = d34 - t1;
    out[8] = static_cast<int16_t>((e1 * 1598 + e0 * 8034 + 131072) >> 18);
    out[56] = static_cast<int16_t>((e0 * 1598 - e1 * 8034 + 131072) >> 18);
    out[24] = static_cast<int16_t>((e2 * 6811 - e3 * 4551 + 131072) >> 18);
    out[40] = static_cast<int16_t>((e3 * 6811 + e2 * 4551 + 131072) >> 18);
}

inline uint8_t clip255(int32_t v) {
    return uint8_t(v < 0 ? 0 : v > 255 ? 255 : v);
}

}  // namespace

void idctRows16Plain(int32_t* block) {
    idct<Rows16>(block);
}

void idctRows32Plain(const int16_t* in, int32_t* out) {
    for (int i = 0; i < 64; ++i) out[i] = in[i];
    idct<Rows32>(out);
}

void fdctPlain(const int16_t* in, int16_t* out) {
    int16_t rows[64];
    for (int r = 0; r < 8; ++r) fdctRow(in + 8 * r, rows + 8 * r);
    for (int c = 0; c < 8; ++c) fdctColumn(rows + c, out + c);
}

void putBlockPlain(const int32_t* block, uint8_t* dst, int stride) {
    for (int y = 0; y < 8; ++y, dst += stride, block += 8)
        for (int x = 0; x < 8; ++x) dst[x] = clip255(block[x]);
}

void addBlockPlain(const int32_t* block, uint8_t* dst, int stride) {
    for (int y = 0; y < 8; ++y, dst += stride, block += 8)
        for (int x = 0; x < 8; ++x) dst[x] = clip255(dst[x] + block[x]);
}

void initTransformKernels(unsigned cpuFlags, TransformKernels* k) {
    k->idctRows16 = idctRows16Plain;
    k->idctRows32 = idctRows32Plain;
    k->fdct = fdctPlain;
    k->putBlock = putBlockPlain;
    k->addBlock = addBlockPlain;
#if defined(__SSE2__)
    if (cpuFlags & kCpuSse2) {
        k->idctRows16 = idctRows16Sse2;
        k->idctRows32 = idctRows32Sse2;
        k->fdct = fdctSse2;
        k->putBlock = putBlockSse2;
        k->addBlock = addBlockSse2;
    }
#else
    (void)cpuFlags;
#endif
}

}  // namespace dsp
