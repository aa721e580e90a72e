#pragma once
// Area-averaging reduction of a picture plane by whole factors: every output sample is the
// rounded mean of a box of factorX x factorY input samples. It is the low-pass step in
// front of a linear scaler when a picture is to shrink by more than two: a linear filter
// alone samples such a picture without averaging it and aliases.

#include <cstdint>

namespace dsp {

// The reduction factor of one dimension for a linear scaler that then brings the reduced
// size to `targetSize`: 1 (no reduction) when the input is at most twice the target,
// otherwise the largest whole factor that leaves at least the target, which leaves less than
// twice the target.
int areaReduceFactor(int inputSize, int targetSize);

// The reduced size of a luma dimension of `inputSize` samples by `factor`: the whole boxes
// that fit, rounded down to an even count so that the chroma dimension (inputSize / 2 by the
// same factor) is half of it. `inputSize` itself when the factor is 1.
int areaReducedSize(int inputSize, int factor);

// Reduces a plane: out[y][x] = rounded mean of in[y*factorY + j][x*factorX + i] over
// 0 <= i < factorX, 0 <= j < factorY. `in` points at the first sample of the box grid;
// rows are `inStride` and `outStride` bytes apart. Every factor must be at least 1, and the
// factor times the output size must lie within the input.
void areaReducePlane(const uint8_t* in, int inStride, uint8_t* out, int outStride, int outWidth,
                     int outHeight, int factorX, int factorY);

}  // namespace dsp
