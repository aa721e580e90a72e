#pragma once
// Motion compensation: half-sample interpolation of a block, the 2x upsampled zoom plane
// of the encoder's half-sample search, and the filled border of a reference plane.

#include <cstdint>

namespace dsp {

// Half-sample position of a prediction: bit 0 the x half, bit 1 the y half.
enum HalfSample { kFull = 0, kHalfX = 1, kHalfY = 2, kHalfXY = 3 };
enum BlockSize { kSize16 = 0, kSize8 = 1 };

// Predicts a block of samples from src (the reference sample at the block's integer
// position) at a half-sample offset, with the rounding type (0 or 1) of the picture.
using InterpolateFn = void (*)(uint8_t* dst, int dstStride, const uint8_t* src, int srcStride,
                               int rounding);

// Builds the 2x upsampled zoom plane (2w x 2h, stride 2w) of a w x h plane (stride w):
// the samples at even positions, the half-sample interpolations between them, the last
// column and row repeated.
using BuildZoomFn = void (*)(const uint8_t* plane, int width, int height, uint8_t* zoom,
                             int rounding);

struct McKernels {
    InterpolateFn interpolate[2][4];  // [BlockSize][HalfSample]
    BuildZoomFn buildZoom;
};

// Fills the table with the plain kernels, then with the faster ones the flags allow.
void initMcKernels(unsigned cpuFlags, McKernels* k);

// Predicts a block at the half-sample position (hx, hy) from the origin of a plane.
inline void predictHalfSample(const McKernels& mc, BlockSize size, uint8_t* dst, int dstStride,
                              const uint8_t* origin, int stride, int hx, int hy, int rounding) {
    const uint8_t* src = origin + (hy >> 1) * stride + (hx >> 1);
    mc.interpolate[size][(hx & 1) | ((hy & 1) << 1)](dst, dstStride, src, stride, rounding);
}

// Repeats the edge samples of a width x height plane (stride width + 2 border) into the
// border of `border` samples around it.
void fillPlaneBorder(uint8_t* origin, int stride, int width, int height, int border);

}  // namespace dsp
