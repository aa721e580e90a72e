#pragma once
// The decoder's hot kernels, reached through one table of function pointers so that
// faster bit-exact variants can replace the plain ones: the 8x8 inverse DCT, writing a
// block of samples or adding a residual, and half-sample interpolation.

#include <cstdint>

namespace vdec {

// In-place 8x8 inverse DCT (Chen-Wang integer form of the MPEG-2 reference decoder):
// dequantised coefficients in, unclipped samples or residual values out, raster order.
using IdctFn = void (*)(int32_t* block);

// Writes an 8x8 block clipped to 0..255.
using PutBlockFn = void (*)(const int32_t* block, uint8_t* dst, int stride);

// Adds an 8x8 residual to the samples at dst, clipping to 0..255.
using AddBlockFn = void (*)(const int32_t* block, uint8_t* dst, int stride);

// Predicts a block of samples from src (the reference sample at the block's integer
// position) at a half-sample offset: full, x half, y half or both, with the rounding
// type (0 or 1) of the picture.
using InterpolateFn = void (*)(uint8_t* dst, int dstStride, const uint8_t* src, int srcStride,
                               int rounding);

enum HalfSample { kFull = 0, kHalfX = 1, kHalfY = 2, kHalfXY = 3 };
enum BlockSize { kSize16 = 0, kSize8 = 1 };

struct DecoderKernels {
    IdctFn idct;
    PutBlockFn putBlock;
    AddBlockFn addBlock;
    InterpolateFn interpolate[2][4];  // [BlockSize][HalfSample]
};

// CPU features a kernel table may use.
enum CpuFlags : unsigned { kCpuPlain = 0, kCpuSse2 = 1 };

// The CPU features of this machine.
unsigned detectCpuFlags();

// Fills a kernel table with the plain kernels, then the faster ones the flags allow.
void initDecoderKernels(DecoderKernels* k, unsigned cpuFlags);

// The table the decoder uses, filled for this machine on first use.
const DecoderKernels& decoderKernels();

// The plain kernels (also the reference for testing the faster ones).
void idctPlain(int32_t* block);

}  // namespace vdec
