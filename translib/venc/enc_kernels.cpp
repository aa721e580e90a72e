// Plain kernels of the encoder and the kernel table.

#include "venc/enc_kernels.h"

#include <cstdlib>

#include "venc/enc_global.h"

namespace {

constexpr int kMaxLevel = 2047;
constexpr int kMaxCoef = 2047;
constexpr int kMinCoef = -2048;

int32_t reciprocalOf(int q) {
    return q <= 0 ? 0 : (2 * 65536 + q) / (2 * q);
}

int16_t signedLevel(int c, int magnitude) {
    if (magnitude > kMaxLevel) magnitude = kMaxLevel;
    return static_cast<int16_t>(c < 0 ? -magnitude : magnitude);
}

int16_t saturate(int c, int magnitude) {
    if (c < 0) return static_cast<int16_t>(-magnitude < kMinCoef ? kMinCoef : -magnitude);
    return static_cast<int16_t>(magnitude > kMaxCoef ? kMaxCoef : magnitude);
}

// Mismatch control of the MPEG method: unless every coefficient is 0, an even sum
// toggles the lowest bit of the last coefficient.
void mismatchControl(int16_t* coef) {
    int parity = 0;
    int any = 0;
    for (int i = 0; i < 64; ++i) {
        parity ^= coef[i];
        any |= coef[i];
    }
    if (any != 0 && (parity & 1) == 0) coef[63] = static_cast<int16_t>(coef[63] ^ 1);
}

int16_t quantIntraDc(int c, int dcScaler) {
    int level = (c * enc_g_rgiReciprocal[dcScaler] + 32768) >> 16;
    if (level < 1) level = 1;
    if (level > 254) level = 254;
    return static_cast<int16_t>(level);
}

// MPEG quantisation with the weighting matrices.
void quantIntraMpeg(const int16_t* coef, int16_t* level, int qp, int dcScaler,
                    const EncQuantMatrix* m) {
    level[0] = quantIntraDc(coef[0], dcScaler);
    const int rq = enc_g_rgiReciprocal[qp];
    const int rounding = (3 * qp + 2) >> 2;
    for (int i = 1; i < 64; ++i) {
        const int c = coef[i];
        if (c == 0) {
            level[i] = 0;
            continue;
        }
        const int t = (16 * std::abs(c) * m->rw[i] + 32768) >> 16;
        level[i] = signedLevel(c, ((t + rounding) * rq) >> 17);
    }
}

void dequantIntraMpeg(const int16_t* level, int16_t* coef, int qp, int dcScaler,
                      const EncQuantMatrix* m) {
    coef[0] = static_cast<int16_t>(level[0] * dcScaler);
    for (int i = 1; i < 64; ++i) {
        const int l = level[i];
        coef[i] = l == 0 ? 0 : saturate(l, (qp * std::abs(l) * m->w[i]) >> 3);
    }
    mismatchControl(coef);
}

}  // namespace

bool encQuantInterMpegPlain(const int16_t* coef, int16_t* level, int qp, const EncQuantMatrix* m) {
    const int rq = enc_g_rgiReciprocal[qp];
    int any = 0;
    for (int i = 0; i < 64; ++i) {
        const int c = coef[i];
        const int t = (16 * std::abs(c) * m->rw[i] + 32768) >> 16;
        level[i] = signedLevel(c, (t * rq) >> 17);
        any |= level[i];
    }
    return any != 0;
}

void encDequantInterMpegPlain(const int16_t* level, int16_t* coef, int qp,
                              const EncQuantMatrix* m) {
    for (int i = 0; i < 64; ++i) {
        const int l = level[i];
        coef[i] = l == 0 ? 0 : saturate(l, ((2 * std::abs(l) + 1) * m->w[i] * qp) >> 4);
    }
    mismatchControl(coef);
}

namespace {

// H.263 quantisation: a uniform step of 2 x QP, with a dead zone for inter blocks.
void quantIntraH263(const int16_t* coef, int16_t* level, int qp, int dcScaler,
                    const EncQuantMatrix*) {
    level[0] = quantIntraDc(coef[0], dcScaler);
    const int rq = enc_g_rgiReciprocal[qp];
    for (int i = 1; i < 64; ++i) {
        const int c = coef[i];
        level[i] = c == 0 ? 0 : signedLevel(c, (std::abs(c) * rq) >> 17);
    }
}

int16_t dequantH263(int l, int qp) {
    if (l == 0) return 0;
    return saturate(l, qp * (2 * std::abs(l) + 1) - ((qp & 1) == 0 ? 1 : 0));
}

void dequantIntraH263(const int16_t* level, int16_t* coef, int qp, int dcScaler,
                      const EncQuantMatrix*) {
    coef[0] = static_cast<int16_t>(level[0] * dcScaler);
    for (int i = 1; i < 64; ++i) coef[i] = dequantH263(level[i], qp);
}

bool quantInterH263(const int16_t* coef, int16_t* level, int qp, const EncQuantMatrix*) {
    const int rq = enc_g_rgiReciprocal[qp];
    int any = 0;
    for (int i = 0; i < 64; ++i) {
        const int c = coef[i];
        const int a = std::abs(c) - qp / 2;
        level[i] = a <= 0 ? 0 : signedLevel(c, (a * rq) >> 17);
        any |= level[i];
    }
    return any != 0;
}

void dequantInterH263(const int16_t* level, int16_t* coef, int qp, const EncQuantMatrix*) {
    for (int i = 0; i < 64; ++i) coef[i] = dequantH263(level[i], qp);
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

// One pass of the inverse DCT over eight values `stride` apart, in place. The row pass
// scales the DC and F4 inputs by 2^11 and rounds with 128; the column pass scales them by
// 2^8, rounds with 8192 and also rounds (+4) and shifts (>> 3) the three rotation products.
template <int kStride, int kInputShift, int kInputRound, int kProductRound, int kProductShift,
          int kOutputShift>
void idctPass(int32_t* b) {
    int x0 = b[0] * (1 << kInputShift) + kInputRound, x1 = b[4 * kStride] * (1 << kInputShift);
    int x2 = b[6 * kStride], x3 = b[2 * kStride], x4 = b[kStride], x5 = b[7 * kStride];
    int x6 = b[5 * kStride], x7 = b[3 * kStride], x8, p;
    p = 565 * (x4 + x5) + kProductRound;
    x4 = (p + 2276 * x4) >> kProductShift;
    x5 = (p - 3406 * x5) >> kProductShift;
    p = 2408 * (x6 + x7) + kProductRound;
    x6 = (p - 799 * x6) >> kProductShift;
    x7 = (p - 4017 * x7) >> kProductShift;
    x8 = x0 + x1;
    x0 -= x1;
    p = 1108 * (x3 + x2) + kProductRound;
    x2 = (p - 3784 * x2) >> kProductShift;
    x3 = (p + 1568 * x3) >> kProductShift;
    x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;
    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = (181 * (x4 + x5) + 128) >> 8;
    x4 = (181 * (x4 - x5) + 128) >> 8;
    b[0] = (x7 + x1) >> kOutputShift;
    b[kStride] = (x3 + x2) >> kOutputShift;
    b[2 * kStride] = (x0 + x4) >> kOutputShift;
    b[3 * kStride] = (x8 + x6) >> kOutputShift;
    b[4 * kStride] = (x8 - x6) >> kOutputShift;
    b[5 * kStride] = (x0 - x4) >> kOutputShift;
    b[6 * kStride] = (x3 - x2) >> kOutputShift;
    b[7 * kStride] = (x7 - x1) >> kOutputShift;
}

}  // namespace

void encBuildQuantMatrix(const int* weights, EncQuantMatrix* m) {
    m->fits16 = true;
    for (int i = 0; i < 64; ++i) {
        m->w[i] = weights[i];
        m->rw[i] = reciprocalOf(weights[i]);
        if (weights[i] < 2) m->fits16 = false;
        m->rw16[i] = static_cast<uint16_t>(m->rw[i]);
        m->w16[i] = static_cast<int16_t>(weights[i]);
    }
}

int encSad16Plain(const uint8_t* cur, const uint8_t* ref, int refStride, int limit) {
    int sum = 0;
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) sum += std::abs(cur[c] - ref[c]);
        if (sum >= limit) return sum;
        cur += 16;
        ref += refStride;
    }
    return sum;
}

int encZoomSad16Plain(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit) {
    int sum = 0;
    for (int r = 0; r < 16; ++r) {
        for (int c = 0; c < 16; ++c) sum += std::abs(cur[c] - zoom[2 * c]);
        if (sum > limit) return sum;
        cur += 16;
        zoom += 2 * zoomStride;
    }
    return sum;
}

std::vector<EncSpiralStep> encSpiralOrder(int range) {
    static const int kStepX[4] = {-1, 0, 1, 0};
    static const int kStepY[4] = {0, -1, 0, 1};
    std::vector<EncSpiralStep> order;
    for (int i = 1; i <= range; ++i) {
        int x = i, y = i;
        for (int edge = 0; edge < 4; ++edge) {
            for (int s = 0; s < 2 * i; ++s, x += kStepX[edge], y += kStepY[edge])
                order.push_back({static_cast<int16_t>(x), static_cast<int16_t>(y)});
        }
    }
    return order;
}

void encSpiralSearchPlain(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                          const EncSearchArea& area, int* best, int* bestX, int* bestY) {
    for (int k = 0; k < area.count; ++k) {
        const int x = area.x0 + area.order[k].dx, y = area.y0 + area.order[k].dy;
        if (x < -16 || x >= area.width || y < -16 || y >= area.height) continue;
        const int sad = encSad16Plain(cur, refOrigin + y * refStride + x, refStride, *best);
        if (sad < *best) {
            *best = sad;
            *bestX = x;
            *bestY = y;
        }
    }
}

int encActivity16Plain(const uint8_t* cur) {
    int sum = 0;
    for (int i = 0; i < 256; ++i) sum += cur[i];
    const int mean = sum / 256;
    int activity = 0;
    for (int i = 0; i < 256; ++i) activity += std::abs(cur[i] - mean);
    return activity;
}

void encBuildZoomPlain(const uint8_t* s, int w, int h, uint8_t* zoom, int r) {
    const int zs = 2 * w;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = s + y * w;
        const uint8_t* below = y + 1 < h ? row + w : nullptr;
        uint8_t* even = zoom + 2 * y * zs;
        uint8_t* odd = even + zs;
        for (int x = 0; x < w; ++x) {
            const int a = row[x];
            const bool lastColumn = x + 1 == w;
            const int b = lastColumn ? a : row[x + 1];
            even[2 * x] = static_cast<uint8_t>(a);
            even[2 * x + 1] = static_cast<uint8_t>(lastColumn ? a : (a + b + 1 - r) / 2);
            if (!below) continue;
            const int c = below[x];
            const int vertical = (a + c + 1 - r) / 2;
            odd[2 * x] = static_cast<uint8_t>(vertical);
            odd[2 * x + 1] = static_cast<uint8_t>(
                lastColumn ? vertical : (a + b + c + below[x + 1] + 2 - r) / 4);
        }
        if (!below)
            for (int x = 0; x < zs; ++x) odd[x] = even[x];
    }
}

void encFdctPlain(const int16_t* in, int16_t* out) {
    int16_t rows[64];
    for (int r = 0; r < 8; ++r) fdctRow(in + 8 * r, rows + 8 * r);
    for (int c = 0; c < 8; ++c) fdctColumn(rows + c, out + c);
}

void encIdctPlain(const int16_t* in, int32_t* out) {
    for (int i = 0; i < 64; ++i) out[i] = in[i];
    for (int r = 0; r < 8; ++r) idctPass<1, 11, 128, 0, 0, 8>(out + 8 * r);
    for (int c = 0; c < 8; ++c) idctPass<8, 8, 8192, 4, 3, 14>(out + c);
}

unsigned encCpuFlags() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned flags = 0;
    if (__builtin_cpu_supports("sse2")) flags |= kEncCpuSse2;
    if (__builtin_cpu_supports("avx2")) flags |= kEncCpuAvx2;
    return flags;
#else
    return 0u;
#endif
}

void encInitKernels(EncKernels* k, unsigned cpuFlags, int iQuantType) {
    k->sad16 = encSad16Plain;
    k->zoomSad16 = encZoomSad16Plain;
    k->spiralSearch = encSpiralSearchPlain;
    k->activity16 = encActivity16Plain;
    k->buildZoom = encBuildZoomPlain;
    k->fdct = encFdctPlain;
    k->idct = encIdctPlain;
    if (iQuantType == 1) {
        k->quantIntra = quantIntraMpeg;
        k->dequantIntra = dequantIntraMpeg;
        k->quantInter = encQuantInterMpegPlain;
        k->dequantInter = encDequantInterMpegPlain;
    } else {
        k->quantIntra = quantIntraH263;
        k->dequantIntra = dequantIntraH263;
        k->quantInter = quantInterH263;
        k->dequantInter = dequantInterH263;
    }
#if defined(__SSE2__)
    if (cpuFlags & kEncCpuSse2) {
        k->sad16 = encSad16Sse2;
        k->zoomSad16 = encZoomSad16Sse2;
        k->buildZoom = encBuildZoomSse2;
        k->spiralSearch = encSpiralSearchSse2;
        k->activity16 = encActivity16Sse2;
        k->fdct = encFdctSse2;
        if (iQuantType == 1) {
            k->quantInter = encQuantInterMpegSse2;
            k->dequantInter = encDequantInterMpegSse2;
        }
    }
#endif
#if defined(__x86_64__) || defined(__i386__)
    if (cpuFlags & kEncCpuAvx2) k->spiralSearch = encSpiralSearchAvx2;
#else
    (void)cpuFlags;
#endif
}
