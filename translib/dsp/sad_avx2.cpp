// AVX2 variant of the integer search (two rows per SAD instruction); installed only when
// the CPU reports AVX2. Gives exactly the plain kernel's results.

#include "dsp/sad.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

#include "dsp/variants.h"

#define DSP_AVX2 __attribute__((target("avx2")))

namespace dsp {

namespace {

DSP_AVX2 inline __m256i loadRowPair(const uint8_t* first, int stride) {
    const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
    const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + stride));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(a), b, 1);
}

DSP_AVX2 inline int horizontalSum(__m256i v) {
    const __m128i s = _mm_add_epi64(_mm256_castsi256_si128(v), _mm256_extracti128_si256(v, 1));
    return _mm_cvtsi128_si32(s) + _mm_cvtsi128_si32(_mm_srli_si128(s, 8));
}

}  // namespace

DSP_AVX2 void spiralSearchAvx2(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                               const SearchArea& area, int* bestOut, int* bestX, int* bestY) {
    __m256i rows[8];
    for (int k = 0; k < 8; ++k) rows[k] = loadRowPair(cur + 32 * k, 16);
    int best = *bestOut;
    const int step = 2 * refStride;
    for (int k = 0; k < area.count; ++k) {
        const int x = area.x0 + area.order[k].dx, y = area.y0 + area.order[k].dy;
        if (x < -16 || x >= area.width || y < -16 || y >= area.height) continue;
        const uint8_t* ref = refOrigin + y * refStride + x;
        // As in the SSE2 variant, the partial sum is looked at every four rows.
        __m256i acc =
            _mm256_add_epi64(_mm256_sad_epu8(rows[0], loadRowPair(ref, refStride)),
                             _mm256_sad_epu8(rows[1], loadRowPair(ref + step, refStride)));
        if (horizontalSum(acc) >= best) continue;
        acc =
            _mm256_add_epi64(acc, _mm256_sad_epu8(rows[2], loadRowPair(ref + 2 * step, refStride)));
        acc =
            _mm256_add_epi64(acc, _mm256_sad_epu8(rows[3], loadRowPair(ref + 3 * step, refStride)));
        if (horizontalSum(acc) >= best) continue;
        acc =
            _mm256_add_epi64(acc, _mm256_sad_epu8(rows[4], loadRowPair(ref + 4 * step, refStride)));
        acc =
            _mm256_add_epi64(acc, _mm256_sad_epu8(rows[5], loadRowPair(ref + 5 * step, refStride)));
        if (horizontalSum(acc) >= best) continue;
        acc =
            _mm256_add_epi64(acc, _mm256_sad_epu8(rows[6], loadRowPair(ref + 6 * step, refStride)));
        acc =
            _mm256_add_epi64(acc, _mm256_sad_epu8(rows[7], loadRowPair(ref + 7 * step, refStride)));
        const int sum = horizontalSum(acc);
        if (sum < best) {
            best = sum;
            *bestX = x;
            *bestY = y;
        }
    }
    *bestOut = best;
}

}  // namespace dsp

#endif
