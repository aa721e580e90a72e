#pragma once
// Small SSE2 helpers of the kernels in this folder.

#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstdint>

namespace dsp {

inline __m128i load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void store16(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

}  // namespace dsp

#endif  // __SSE2__
