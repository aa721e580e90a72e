// SSE2 SAD kernels; each gives exactly the plain kernel's results.

#include "dsp/sad.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include "dsp/sse2_util.h"
#include "dsp/variants.h"

namespace dsp {

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

// Rows of the integer search summed between two looks at the partial sum.
constexpr int kRowsPerCheck = 4;
}  // namespace

int sad16Sse2(const uint8_t* cur, const uint8_t* ref, int refStride, int limit) {
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

int zoomSad16Sse2(const uint8_t* cur, const uint8_t* zoom, int zoomStride, int limit) {
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

void spiralSearchSse2(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                      const SearchArea& area, int* bestOut, int* bestX, int* bestY) {
    __m128i rows[16];
    for (int r = 0; r < 16; ++r) rows[r] = load16(cur + 16 * r);
    int best = *bestOut;
    for (int k = 0; k < area.count; ++k) {
        const int x = area.x0 + area.order[k].dx, y = area.y0 + area.order[k].dy;
        if (x < -16 || x >= area.width || y < -16 || y >= area.height) continue;
        const uint8_t* ref = refOrigin + y * refStride + x;
        // The partial sum is looked at every four rows: a position is then abandoned a
        // little later than row by row, never differently, since partial sums only grow and
        // a position is taken exactly when its full SAD is below the best.
        __m128i acc = _mm_setzero_si128();
        int sum = 0;
        bool abandoned = false;
        for (int r = 0; r < 16; r += kRowsPerCheck) {
            for (int j = 0; j < kRowsPerCheck; ++j)
                acc = _mm_add_epi64(acc,
                                    _mm_sad_epu8(rows[r + j], load16(ref + (r + j) * refStride)));
            sum = horizontalSum(acc);
            if (sum >= best) {
                abandoned = true;
                break;
            }
        }
        if (!abandoned) {
            best = sum;
            *bestX = x;
            *bestY = y;
        }
    }
    *bestOut = best;
}

int activity16Sse2(const uint8_t* cur) {
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = zero;
    for (int r = 0; r < 16; ++r) acc = _mm_add_epi64(acc, _mm_sad_epu8(load16(cur + 16 * r), zero));
    const int mean = horizontalSum(acc) / 256;
    const __m128i m = _mm_set1_epi8(static_cast<char>(mean));
    acc = zero;
    for (int r = 0; r < 16; ++r) acc = _mm_add_epi64(acc, _mm_sad_epu8(load16(cur + 16 * r), m));
    return horizontalSum(acc);
}

}  // namespace dsp

#endif  // __SSE2__
