#pragma once
// The variants of the kernels, for the table initialisers of this folder and for a fast
// variant that hands a case it does not take to the plain one. Everything else reaches the
// kernels through the tables.

#include <cstdint>

#include "dsp/mc.h"
#include "dsp/quant.h"
#include "dsp/sad.h"

namespace dsp {

void idctRows16Plain(int32_t* block);
void idctRows32Plain(const int16_t* in, int32_t* out);
void fdctPlain(const int16_t* in, int16_t* out);
void putBlockPlain(const int32_t* block, uint8_t* dst, int stride);
void addBlockPlain(const int32_t* block, uint8_t* dst, int stride);
void buildZoomPlain(const uint8_t* plane, int width, int height, uint8_t* zoom, int rounding);
int sad16Plain(const uint8_t* cur, const uint8_t* ref, int refStride, int limit);
int zoomSad16Plain(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit);
void spiralSearchPlain(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                       const SearchArea& area, int* best, int* bestX, int* bestY);
int activity16Plain(const uint8_t* cur);
bool quantInterMpegPlain(const int16_t* coef, int16_t* level, int qp, const QuantMatrix* m);
void dequantInterMpegPlain(const int16_t* level, int16_t* coef, int qp, const QuantMatrix* m);

#if defined(__SSE2__)
void idctRows16Sse2(int32_t* block);
void idctRows32Sse2(const int16_t* in, int32_t* out);
void fdctSse2(const int16_t* in, int16_t* out);
void putBlockSse2(const int32_t* block, uint8_t* dst, int stride);
void addBlockSse2(const int32_t* block, uint8_t* dst, int stride);
void installInterpolationSse2(InterpolateFn (*interpolate)[4]);
void buildZoomSse2(const uint8_t* plane, int width, int height, uint8_t* zoom, int rounding);
int sad16Sse2(const uint8_t* cur, const uint8_t* ref, int refStride, int limit);
int zoomSad16Sse2(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit);
void spiralSearchSse2(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                      const SearchArea& area, int* best, int* bestX, int* bestY);
int activity16Sse2(const uint8_t* cur);
bool quantInterMpegSse2(const int16_t* coef, int16_t* level, int qp, const QuantMatrix* m);
void dequantInterMpegSse2(const int16_t* level, int16_t* coef, int qp, const QuantMatrix* m);
#endif

#if defined(__x86_64__) || defined(__i386__)
// Compiled for AVX2 whatever the build's target; installed only when the CPU has it.
void spiralSearchAvx2(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                      const SearchArea& area, int* best, int* bestX, int* bestY);
#endif

}  // namespace dsp
