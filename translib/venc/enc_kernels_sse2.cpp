// SSE2 variants of the encoder kernels; each gives exactly the plain kernel's results.

#include "venc/enc_kernels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

namespace {

inline int horizontalSum(__m128i sad) {
    return _mm_cvtsi128_si32(sad) + _mm_cvtsi128_si32(_mm_srli_si128(sad, 8));
}

// Even-indexed bytes of 32 consecutive bytes.
inline __m128i evenBytes(const uint8_t* p) {
    const __m128i mask = _mm_set1_epi16(0x00FF);
    const __m128i lo = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), mask);
    const __m128i hi =
        _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16)), mask);
    return _mm_packus_epi16(lo, hi);
}

inline __m128i load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void store16(uint8_t* p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }

// (a + b + c + d + 2) >> 2 per byte.
inline __m128i average4(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i two = _mm_set1_epi16(2);
    __m128i lo = _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)),
                               _mm_add_epi16(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(d, zero)));
    __m128i hi = _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)),
                               _mm_add_epi16(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(d, zero)));
    lo = _mm_srli_epi16(_mm_add_epi16(lo, two), 2);
    hi = _mm_srli_epi16(_mm_add_epi16(hi, two), 2);
    return _mm_packus_epi16(lo, hi);
}

}  // namespace

int encSad16Sse2(const uint8_t* cur, const uint8_t* ref, int refStride, int limit) {
    __m128i acc = _mm_setzero_si128();
    for (int r = 0; r < 16; ++r) {
        acc = _mm_add_epi64(acc, _mm_sad_epu8(load16(cur), load16(ref)));
        const int sum = horizontalSum(acc);
        if (sum >= limit) return sum;
        cur += 16;
        ref += refStride;
    }
    return horizontalSum(acc);
}

int encZoomSad16Sse2(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit) {
    __m128i acc = _mm_setzero_si128();
    for (int r = 0; r < 16; ++r) {
        acc = _mm_add_epi64(acc, _mm_sad_epu8(load16(cur), evenBytes(zoom)));
        const int sum = horizontalSum(acc);
        if (sum > limit) return sum;
        cur += 16;
        zoom += 2 * zoomStride;
    }
    return horizontalSum(acc);
}

void encBuildZoomSse2(const uint8_t* s, int w, int h, uint8_t* zoom, int rounding) {
    if (rounding != 0) {
        encBuildZoomPlain(s, w, h, zoom, rounding);
        return;
    }
    const int zs = 2 * w;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = s + y * w;
        const bool lastRow = y + 1 == h;
        const uint8_t* below = lastRow ? row : row + w;
        uint8_t* even = zoom + 2 * y * zs;
        uint8_t* odd = even + zs;
        int x = 0;
        // Sixteen samples at a time while the right neighbour of the last one exists.
        for (; x + 16 < w; x += 16) {
            const __m128i a = load16(row + x), b = load16(row + x + 1);
            const __m128i horizontal = _mm_avg_epu8(a, b);
            store16(even + 2 * x, _mm_unpacklo_epi8(a, horizontal));
            store16(even + 2 * x + 16, _mm_unpackhi_epi8(a, horizontal));
            if (lastRow) continue;
            const __m128i c = load16(below + x), d = load16(below + x + 1);
            const __m128i vertical = _mm_avg_epu8(a, c);
            const __m128i diagonal = average4(a, b, c, d);
            store16(odd + 2 * x, _mm_unpacklo_epi8(vertical, diagonal));
            store16(odd + 2 * x + 16, _mm_unpackhi_epi8(vertical, diagonal));
        }
        for (; x < w; ++x) {
            const int a = row[x];
            const bool lastColumn = x + 1 == w;
            const int b = lastColumn ? a : row[x + 1];
            even[2 * x] = static_cast<uint8_t>(a);
            even[2 * x + 1] = static_cast<uint8_t>(lastColumn ? a : (a + b + 1) / 2);
            if (lastRow) continue;
            const int c = below[x];
            const int vertical = (a + c + 1) / 2;
            odd[2 * x] = static_cast<uint8_t>(vertical);
            odd[2 * x + 1] =
                static_cast<uint8_t>(lastColumn ? vertical : (a + b + c + below[x + 1] + 2) / 4);
        }
        if (lastRow)
            for (int i = 0; i < zs; ++i) odd[i] = even[i];
    }
}

#endif  // __SSE2__
