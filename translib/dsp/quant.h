#pragma once
// Quantisation: the reciprocal table, the quantiser matrices, the inverse quantisation of
// one coefficient by either method and the DC scalers (both codecs), and the encoder's
// block quantisers of each method.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace dsp {

// Reciprocals R[q] = 65536 / q rounded to nearest, q = 1..46 (R[0] = 0): every division
// by a quantiser, matrix weight or dc_scaler is a multiplication by one of them.
constexpr int kReciprocalCount = 47;
extern const int32_t kReciprocal[kReciprocalCount];

// Range of quantised and dequantised coefficients (12-bit two's complement).
constexpr int32_t kCoefMin = -2048;
constexpr int32_t kCoefMax = 2047;

inline int32_t saturateCoef(int32_t v) {
    return std::clamp(v, kCoefMin, kCoefMax);
}

// A magnitude (>= 0) with the sign of `level`, saturated.
inline int32_t signedCoef(int32_t level, int32_t magnitude) {
    return level < 0 ? std::max(-magnitude, kCoefMin) : std::min(magnitude, kCoefMax);
}

// Inverse quantisation of one AC coefficient: the H.263 method, and the MPEG method of an
// intra and an inter block with the weight of its position.
inline int32_t dequantH263(int32_t level, int qp) {
    if (level == 0) return 0;
    return signedCoef(level, qp * (2 * std::abs(level) + 1) - ((qp & 1) ? 0 : 1));
}

inline int32_t dequantMpegIntra(int32_t level, int qp, int weight) {
    return saturateCoef(level * weight * qp / 8);
}

inline int32_t dequantMpegInter(int32_t level, int qp, int weight) {
    if (level == 0) return 0;
    return signedCoef(level, ((2 * std::abs(level) + 1) * qp * weight) >> 4);
}

// MPEG mismatch control: an even sum of the 64 coefficients toggles the lowest bit of the
// last one.
template <class Coef>
void mismatchControl(Coef* coef) {
    int32_t parity = 0;  // the lowest bit of the sum
    for (int i = 0; i < 64; ++i) parity ^= coef[i];
    if ((parity & 1) == 0) coef[63] = static_cast<Coef>(coef[63] ^ 1);
}

// dc_scaler of a quantiser (taken as 1..31) for luminance and chrominance blocks.
int lumaDcScaler(int qp);
int chromaDcScaler(int qp);

// Quantiser weights of one matrix with their reciprocals (65536 / w rounded to nearest).
struct QuantMatrix {
    int32_t w[64];
    int32_t rw[64];
    alignas(16) uint16_t rw16[64];  // the reciprocals in 16 bits (when every weight is >= 2)
    alignas(16) int16_t w16[64];    // the weights in 16 bits
    bool fits16;                    // whether rw16 holds them
};
void buildQuantMatrix(const int* weights, QuantMatrix* m);

// Block quantisers. Intra: coefficient 0 is the DC (divided by dcScaler), 1..63 the AC.
using QuantIntraFn = void (*)(const int16_t* coef, int16_t* level, int qp, int dcScaler,
                              const QuantMatrix* m);
using DequantIntraFn = void (*)(const int16_t* level, int16_t* coef, int qp, int dcScaler,
                                const QuantMatrix* m);
// Returns whether any level is non-zero.
using QuantInterFn = bool (*)(const int16_t* coef, int16_t* level, int qp, const QuantMatrix* m);
using DequantInterFn = void (*)(const int16_t* level, int16_t* coef, int qp, const QuantMatrix* m);

// The quantisation methods, by the value of quant_type.
enum QuantMethod : int { kQuantH263 = 0, kQuantMpeg = 1 };

struct QuantKernels {
    QuantIntraFn quantIntra;
    DequantIntraFn dequantIntra;
    QuantInterFn quantInter;
    DequantInterFn dequantInter;
};

// Fills the table of one method with the plain kernels, then with the faster ones the
// flags allow.
void initQuantKernels(unsigned cpuFlags, QuantMethod method, QuantKernels* k);

}  // namespace dsp
