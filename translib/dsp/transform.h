#pragma once
// The 8x8 transforms and the writing of their output: the forward DCT, the inverse DCT in
// the decoder's and in the encoder's arithmetic, and the clipped store or add of a block.

#include <cstdint>

namespace dsp {

// Inverse DCT in place: 64 dequantised coefficients in, unclipped samples or residual
// values out, raster order.
using IdctInPlaceFn = void (*)(int32_t* block);

// Inverse DCT of 64 dequantised coefficients (raster order) into 64 values.
using IdctFn = void (*)(const int16_t* in, int32_t* out);

// Forward DCT of an 8x8 block of samples (0..255) or residuals (-255..255), raster order.
using FdctFn = void (*)(const int16_t* in, int16_t* out);

// Writes an 8x8 block clipped to 0..255 into dst (put), or adds it to the samples at dst
// and clips (add).
using StoreBlockFn = void (*)(const int32_t* block, uint8_t* dst, int stride);

// Both inverse DCTs are the Chen-Wang integer form of the MPEG-2 reference decoder. They
// differ only where a block leaves the range real pictures produce.
struct TransformKernels {
    // The decoder's: the row pass keeps its results in 16 bits, as the reference transform
    // stores them, and the 1/sqrt(2) products are formed in 64 bits, so that any block a
    // corrupt stream can produce stays within defined arithmetic.
    IdctInPlaceFn idctRows16;
    // The encoder's: the same arithmetic in 32 bits throughout, on the blocks its own
    // dequantisation makes, where it gives exactly idctRows16's values.
    IdctFn idctRows32;
    FdctFn fdct;
    StoreBlockFn putBlock;
    StoreBlockFn addBlock;
};

// Fills the table with the plain kernels, then with the faster ones the flags allow.
void initTransformKernels(unsigned cpuFlags, TransformKernels* k);

}  // namespace dsp
