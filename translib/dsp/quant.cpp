// The reciprocal table, the DC scalers, the plain block quantisers and their tables.

#include "dsp/quant.h"

#include "dsp/cpu.h"
#include "dsp/variants.h"

namespace dsp {

namespace {

constexpr int32_t reciprocal(int q) {
    return q <= 0 ? 0 : (2 * 65536 + q) / (2 * q);
}

constexpr int kMaxLevel = 2047;

int16_t signedLevel(int c, int magnitude) {
    if (magnitude > kMaxLevel) magnitude = kMaxLevel;
    return static_cast<int16_t>(c < 0 ? -magnitude : magnitude);
}

bool anyNonZero(const int16_t* coef) {
    int any = 0;
    for (int i = 0; i < 64; ++i) any |= coef[i];
    return any != 0;
}

int16_t quantIntraDc(int c, int dcScaler) {
    int level = (c * kReciprocal[dcScaler] + 32768) >> 16;
    if (level < 1) level = 1;
    if (level > 254) level = 254;
    return static_cast<int16_t>(level);
}

// MPEG quantisation with the weighting matrices.
void quantIntraMpeg(const int16_t* coef, int16_t* level, int qp, int dcScaler,
                    const QuantMatrix* m) {
    level[0] = quantIntraDc(coef[0], dcScaler);
    const int rq = kReciprocal[qp];
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
                      const QuantMatrix* m) {
    coef[0] = static_cast<int16_t>(level[0] * dcScaler);
    for (int i = 1; i < 64; ++i)
        coef[i] = static_cast<int16_t>(dequantMpegIntra(level[i], qp, m->w[i]));
    if (anyNonZero(coef)) mismatchControl(coef);
}

// H.263 quantisation: a uniform step of 2 x QP, with a dead zone for inter blocks.
void quantIntraH263(const int16_t* coef, int16_t* level, int qp, int dcScaler, const QuantMatrix*) {
    level[0] = quantIntraDc(coef[0], dcScaler);
    const int rq = kReciprocal[qp];
    for (int i = 1; i < 64; ++i) {
        const int c = coef[i];
        level[i] = c == 0 ? 0 : signedLevel(c, (std::abs(c) * rq) >> 17);
    }
}

void dequantIntraH263(const int16_t* level, int16_t* coef, int qp, int dcScaler,
                      const QuantMatrix*) {
    coef[0] = static_cast<int16_t>(level[0] * dcScaler);
    for (int i = 1; i < 64; ++i) coef[i] = static_cast<int16_t>(dequantH263(level[i], qp));
}

bool quantInterH263(const int16_t* coef, int16_t* level, int qp, const QuantMatrix*) {
    const int rq = kReciprocal[qp];
    int any = 0;
    for (int i = 0; i < 64; ++i) {
        const int c = coef[i];
        const int a = std::abs(c) - qp / 2;
        level[i] = a <= 0 ? 0 : signedLevel(c, (a * rq) >> 17);
        any |= level[i];
    }
    return any != 0;
}

void dequantInterH263(const int16_t* level, int16_t* coef, int qp, const QuantMatrix*) {
    for (int i = 0; i < 64; ++i) coef[i] = static_cast<int16_t>(dequantH263(level[i], qp));
}

}  // namespace

const int32_t kReciprocal[kReciprocalCount] = {
    reciprocal(0),  reciprocal(1),  reciprocal(2),  reciprocal(3),  reciprocal(4),  reciprocal(5),
    reciprocal(6),  reciprocal(7),  reciprocal(8),  reciprocal(9),  reciprocal(10), reciprocal(11),
    reciprocal(12), reciprocal(13), reciprocal(14), reciprocal(15), reciprocal(16), reciprocal(17),
    reciprocal(18), reciprocal(19), reciprocal(20), reciprocal(21), reciprocal(22), reciprocal(23),
    reciprocal(24), reciprocal(25), reciprocal(26), reciprocal(27), reciprocal(28), reciprocal(29),
    reciprocal(30), reciprocal(31), reciprocal(32), reciprocal(33), reciprocal(34), reciprocal(35),
    reciprocal(36), reciprocal(37), reciprocal(38), reciprocal(39), reciprocal(40), reciprocal(41),
    reciprocal(42), reciprocal(43), reciprocal(44), reciprocal(45), reciprocal(46),
};

int lumaDcScaler(int qp) {
    qp = std::clamp(qp, 1, 31);
    if (qp <= 4) return 8;
    if (qp <= 8) return 2 * qp;
    if (qp <= 24) return qp + 8;
    return 2 * qp - 16;
}

int chromaDcScaler(int qp) {
    qp = std::clamp(qp, 1, 31);
    if (qp <= 4) return 8;
    if (qp <= 24) return (qp + 13) / 2;
    return qp - 6;
}

void buildQuantMatrix(const int* weights, QuantMatrix* m) {
    m->fits16 = true;
    for (int i = 0; i < 64; ++i) {
        m->w[i] = weights[i];
        m->rw[i] = reciprocal(weights[i]);
        if (weights[i] < 2) m->fits16 = false;
        m->rw16[i] = static_cast<uint16_t>(m->rw[i]);
        m->w16[i] = static_cast<int16_t>(weights[i]);
    }
}

bool quantInterMpegPlain(const int16_t* coef, int16_t* level, int qp, const QuantMatrix* m) {
    const int rq = kReciprocal[qp];
    int any = 0;
    for (int i = 0; i < 64; ++i) {
        const int c = coef[i];
        const int t = (16 * std::abs(c) * m->rw[i] + 32768) >> 16;
        level[i] = signedLevel(c, (t * rq) >> 17);
        any |= level[i];
    }
    return any != 0;
}

void dequantInterMpegPlain(const int16_t* level, int16_t* coef, int qp, const QuantMatrix* m) {
    for (int i = 0; i < 64; ++i)
        coef[i] = static_cast<int16_t>(dequantMpegInter(level[i], qp, m->w[i]));
    if (anyNonZero(coef)) mismatchControl(coef);
}

void initQuantKernels(unsigned cpuFlags, QuantMethod method, QuantKernels* k) {
    if (method == kQuantMpeg) {
        k->quantIntra = quantIntraMpeg;
        k->dequantIntra = dequantIntraMpeg;
        k->quantInter = quantInterMpegPlain;
        k->dequantInter = dequantInterMpegPlain;
    } else {
        k->quantIntra = quantIntraH263;
        k->dequantIntra = dequantIntraH263;
        k->quantInter = quantInterH263;
        k->dequantInter = dequantInterH263;
    }
#if defined(__SSE2__)
    if ((cpuFlags & kCpuSse2) && method == kQuantMpeg) {
        k->quantInter = quantInterMpegSse2;
        k->dequantInter = dequantInterMpegSse2;
    }
#else
    (void)cpuFlags;
#endif
}

}  // namespace dsp
