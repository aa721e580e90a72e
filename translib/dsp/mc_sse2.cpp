// SSE2 interpolation and zoom plane; each gives exactly the plain kernel's results.

#include "dsp/mc.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include "dsp/sse2_util.h"
#include "dsp/variants.h"

namespace dsp {

namespace {

// (a + b + c + d + bias) >> 2 per byte, bias in each 16-bit lane; kBytes of them.
template <int kBytes = 16>
inline __m128i average4(__m128i a, __m128i b, __m128i c, __m128i d, __m128i bias) {
    const __m128i zero = _mm_setzero_si128();
    __m128i lo =
        _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)),
                      _mm_add_epi16(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(d, zero)));
    lo = _mm_srli_epi16(_mm_add_epi16(lo, bias), 2);
    if (kBytes == 8) return _mm_packus_epi16(lo, lo);
    __m128i hi =
        _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)),
                      _mm_add_epi16(_mm_unpackhi_epi8(c, zero), _mm_unpackhi_epi8(d, zero)));
    hi = _mm_srli_epi16(_mm_add_epi16(hi, bias), 2);
    return _mm_packus_epi16(lo, hi);
}

// (a + b + 1 - rounding) >> 1 per byte, roundingMask holding the rounding type in every
// byte: pavgb rounds up, and an odd sum rounds down when the rounding type is 1.
inline __m128i average2(__m128i a, __m128i b, __m128i roundingMask) {
    return _mm_sub_epi8(_mm_avg_epu8(a, b), _mm_and_si128(_mm_xor_si128(a, b), roundingMask));
}

// A row of S samples (16, or 8 in the low half).
template <int S>
inline __m128i loadRow(const uint8_t* p) {
    return S == 16 ? load16(p) : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(p));
}

template <int S>
inline void storeRow(uint8_t* p, __m128i v) {
    if (S == 16)
        store16(p, v);
    else
        _mm_storel_epi64(reinterpret_cast<__m128i*>(p), v);
}

template <int S, int Mode>
void interpolateSse2(uint8_t* dst, int dstStride, const uint8_t* src, int srcStride, int rounding) {
    const __m128i roundingMask = _mm_set1_epi8(static_cast<char>(rounding));
    const __m128i bias = _mm_set1_epi16(static_cast<short>(2 - rounding));
    // The row below of one output row is the row of the next.
    __m128i a = loadRow<S>(src), b = Mode == kHalfXY ? loadRow<S>(src + 1) : a;
    for (int y = 0; y < S; ++y, dst += dstStride, src += srcStride) {
        if (Mode == kFull) {
            storeRow<S>(dst, loadRow<S>(src));
        } else if (Mode == kHalfX) {
            storeRow<S>(dst, average2(loadRow<S>(src), loadRow<S>(src + 1), roundingMask));
        } else if (Mode == kHalfY) {
            const __m128i c = loadRow<S>(src + srcStride);
            storeRow<S>(dst, average2(a, c, roundingMask));
            a = c;
        } else {
            const __m128i c = loadRow<S>(src + srcStride), d = loadRow<S>(src + srcStride + 1);
            storeRow<S>(dst, average4<S>(a, b, c, d, bias));
            a = c;
            b = d;
        }
    }
}

template <int S>
void install(InterpolateFn* modes) {
    modes[kFull] = interpolateSse2<S, kFull>;
    modes[kHalfX] = interpolateSse2<S, kHalfX>;
    modes[kHalfY] = interpolateSse2<S, kHalfY>;
    modes[kHalfXY] = interpolateSse2<S, kHalfXY>;
}

}  // namespace

void installInterpolationSse2(InterpolateFn (*interpolate)[4]) {
    install<16>(interpolate[kSize16]);
    install<8>(interpolate[kSize8]);
}

void buildZoomSse2(const uint8_t* s, int w, int h, uint8_t* zoom, int rounding) {
    if (rounding != 0) {
        buildZoomPlain(s, w, h, zoom, rounding);
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
            const __m128i diagonal = average4(a, b, c, d, _mm_set1_epi16(2));
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

}  // namespace dsp

#endif  // __SSE2__
