#pragma once
// Hot kernels of the encoder, reached through one table of function pointers so that a
// faster bit-exact variant can replace the plain one: SAD of the integer search, SAD of the
// half-pel candidates on the zoom frame, the zoom frame itself, the forward and inverse
// DCT, and the quantisers (chosen by quantisation type).

#include <cstdint>

// Quantiser weights of one matrix with their reciprocals (65536 / w rounded to nearest).
struct EncQuantMatrix {
    int32_t w[64];
    int32_t rw[64];
};
void encBuildQuantMatrix(const int* weights, EncQuantMatrix* m);

// SAD of the 16x16 work block `cur` (stride 16) against `ref` (stride refStride), summed
// row by row; as soon as the sum of complete rows reaches `limit` the sum so far is
// returned.
using EncSad16Fn = int (*)(const uint8_t* cur, const uint8_t* ref, int refStride, int limit);

// SAD of `cur` against the zoom-frame samples zoom[2c + 2r * zoomStride], c, r = 0..15,
// summed row by row; as soon as the sum of complete rows exceeds `limit` the sum so far is
// returned.
using EncZoomSad16Fn = int (*)(const uint8_t* cur, const uint8_t* zoom, int zoomStride,
                               int limit);

// Builds the 2x upsampled zoom plane (2w x 2h, stride 2w) of a w x h plane (stride w).
using EncBuildZoomFn = void (*)(const uint8_t* plane, int width, int height, uint8_t* zoom,
                                int rounding);

// Forward DCT of an 8x8 block of samples or residuals (raster order).
using EncFdctFn = void (*)(const int16_t* in, int16_t* out);

// Inverse DCT of 64 dequantised coefficients (raster order) into 64 values.
using EncIdctFn = void (*)(const int16_t* in, int32_t* out);

// Quantisers. Intra: coefficient 0 is the DC (divided by dcScaler), 1..63 the AC.
using EncQuantIntraFn = void (*)(const int16_t* coef, int16_t* level, int qp, int dcScaler,
                                 const EncQuantMatrix* m);
using EncDequantIntraFn = void (*)(const int16_t* level, int16_t* coef, int qp, int dcScaler,
                                   const EncQuantMatrix* m);
// Returns whether any level is non-zero.
using EncQuantInterFn = bool (*)(const int16_t* coef, int16_t* level, int qp,
                                 const EncQuantMatrix* m);
using EncDequantInterFn = void (*)(const int16_t* level, int16_t* coef, int qp,
                                   const EncQuantMatrix* m);

struct EncKernels {
    EncSad16Fn sad16;
    EncZoomSad16Fn zoomSad16;
    EncBuildZoomFn buildZoom;
    EncFdctFn fdct;
    EncIdctFn idct;
    EncQuantIntraFn quantIntra;
    EncDequantIntraFn dequantIntra;
    EncQuantInterFn quantInter;
    EncDequantInterFn dequantInter;
};

constexpr unsigned kEncCpuSse2 = 1u << 0;

// The CPU features of this machine.
unsigned encCpuFlags();

// Fills the table: the plain kernels first, then the faster ones the CPU flags allow.
// iQuantType 1 selects the MPEG quantisers, 0 the H.263 ones.
void encInitKernels(EncKernels* k, unsigned cpuFlags, int iQuantType);

// The table of the current run.
extern EncKernels enc_g_kernels;

// Plain kernels (also the reference of the tests of the faster ones).
int encSad16Plain(const uint8_t* cur, const uint8_t* ref, int refStride, int limit);
int encZoomSad16Plain(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit);
void encBuildZoomPlain(const uint8_t* plane, int width, int height, uint8_t* zoom, int rounding);
void encFdctPlain(const int16_t* in, int16_t* out);
void encIdctPlain(const int16_t* in, int32_t* out);

// SSE2 variants (installed by encInitKernels when the CPU has SSE2).
int encSad16Sse2(const uint8_t* cur, const uint8_t* ref, int refStride, int limit);
int encZoomSad16Sse2(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit);
void encBuildZoomSse2(const uint8_t* plane, int width, int height, uint8_t* zoom, int rounding);
void encFdctSse2(const int16_t* in, int16_t* out);
