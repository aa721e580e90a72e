#pragma once
// Hot kernels of the encoder, reached through one table of function pointers so that a
// faster bit-exact variant can replace the plain one: SAD of the integer search, SAD of the
// half-pel candidates on the zoom frame, the zoom frame itself, the forward and inverse
// DCT, and the quantisers (chosen by quantisation type).

#include <cstdint>
#include <vector>

// Quantiser weights of one matrix with their reciprocals (65536 / w rounded to nearest).
struct EncQuantMatrix {
    int32_t w[64];
    int32_t rw[64];
    alignas(16) uint16_t rw16[64];  // the reciprocals in 16 bits (when every weight is >= 2)
    alignas(16) int16_t w16[64];    // the weights in 16 bits
    bool fits16;                    // whether rw16 holds them
};
void encBuildQuantMatrix(const int* weights, EncQuantMatrix* m);

// SAD of the 16x16 work block `cur` (stride 16) against `ref` (stride refStride), summed
// row by row; as soon as the sum of complete rows reaches `limit` the sum so far is
// returned.
using EncSad16Fn = int (*)(const uint8_t* cur, const uint8_t* ref, int refStride, int limit);

// SAD of `cur` against the zoom-frame samples zoom[2c + 2r * zoomStride], c, r = 0..15,
// summed row by row; as soon as the sum of complete rows exceeds `limit` the sum so far is
// returned.
using EncZoomSad16Fn = int (*)(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit);

// One position of the integer search, as an offset from the zero vector's position.
struct EncSpiralStep {
    int16_t dx, dy;
};

// The positions of rings 1..range around the zero vector in spiral order: ring i starts
// at (+i, +i) and moves one pixel per step, 2i steps left along the bottom, 2i up the left
// edge, 2i right along the top and 2i down the right edge.
std::vector<EncSpiralStep> encSpiralOrder(int range);

// Where the integer search of one macroblock looks.
struct EncSearchArea {
    const EncSpiralStep* order;  // positions in spiral order
    int count;
    int x0, y0;         // the zero vector's position
    int width, height;  // positions lie in -16 <= x < width, -16 <= y < height
};

// The integer search: visits the positions of the area in order, skipping those outside
// its bounds; a position whose SAD against `cur` (stride 16) is below *best becomes the
// best (ties keep the earlier one). A SAD is abandoned once the sum of complete rows
// reaches *best. refOrigin is the picture origin of the reference luma.
using EncSpiralSearchFn = void (*)(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                                   const EncSearchArea& area, int* best, int* bestX, int* bestY);

// Activity of a 16x16 block (stride 16): the sum of |sample - mean|, mean = sum / 256
// truncated.
using EncActivity16Fn = int (*)(const uint8_t* cur);

// Builds the 2x upsampled zoom plane (2w x 2h, stride 2w) of a w x h plane (stride w).
using EncBuildZoomFn = void (*)(const uint8_t* plane, int width, int height, uint8_t* zoom,
                                int rounding);

// Forward DCT of an 8x8 block of samples (0..255) or residuals (-255..255), raster order.
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
    EncSpiralSearchFn spiralSearch;
    EncActivity16Fn activity16;
    EncBuildZoomFn buildZoom;
    EncFdctFn fdct;
    EncIdctFn idct;
    EncQuantIntraFn quantIntra;
    EncDequantIntraFn dequantIntra;
    EncQuantInterFn quantInter;
    EncDequantInterFn dequantInter;
};

constexpr unsigned kEncCpuSse2 = 1u << 0;
constexpr unsigned kEncCpuAvx2 = 1u << 1;

// The CPU features of this machine.
unsigned encCpuFlags();

// Fills the table: the plain kernels first, then the faster ones the CPU flags allow.
// iQuantType 1 selects the MPEG quantisers, 0 the H.263 ones.
void encInitKernels(EncKernels* k, unsigned cpuFlags, int iQuantType);

// Plain kernels (also the reference of the tests of the faster ones).
int encSad16Plain(const uint8_t* cur, const uint8_t* ref, int refStride, int limit);
int encZoomSad16Plain(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit);
void encSpiralSearchPlain(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                          const EncSearchArea& area, int* best, int* bestX, int* bestY);
int encActivity16Plain(const uint8_t* cur);
void encBuildZoomPlain(const uint8_t* plane, int width, int height, uint8_t* zoom, int rounding);
void encFdctPlain(const int16_t* in, int16_t* out);
void encIdctPlain(const int16_t* in, int32_t* out);

// SSE2 variants (installed by encInitKernels when the CPU has SSE2).
int encSad16Sse2(const uint8_t* cur, const uint8_t* ref, int refStride, int limit);
int encZoomSad16Sse2(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit);
void encSpiralSearchSse2(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                         const EncSearchArea& area, int* best, int* bestX, int* bestY);
int encActivity16Sse2(const uint8_t* cur);
void encBuildZoomSse2(const uint8_t* plane, int width, int height, uint8_t* zoom, int rounding);
void encFdctSse2(const int16_t* in, int16_t* out);
// AVX2 variant (installed when the CPU has AVX2).
void encSpiralSearchAvx2(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                         const EncSearchArea& area, int* best, int* bestX, int* bestY);

bool encQuantInterMpegSse2(const int16_t* coef, int16_t* level, int qp, const EncQuantMatrix* m);

void encDequantInterMpegSse2(const int16_t* level, int16_t* coef, int qp, const EncQuantMatrix* m);

// The plain MPEG inter quantisers (the references of their SSE2 variants).
bool encQuantInterMpegPlain(const int16_t* coef, int16_t* level, int qp, const EncQuantMatrix* m);
void encDequantInterMpegPlain(const int16_t* level, int16_t* coef, int qp, const EncQuantMatrix* m);
