// SSE2 forward DCT and block stores; each gives exactly the plain kernel's results.

#include "dsp/transform.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include "dsp/sse2_util.h"
#include "dsp/variants.h"

namespace dsp {

namespace {

inline __m128i pairConstant(int c1, int c2) {
    return _mm_set_epi16(static_cast<short>(c2), static_cast<short>(c1), static_cast<short>(c2),
                         static_cast<short>(c1), static_cast<short>(c2), static_cast<short>(c1),
                         static_cast<short>(c2), static_cast<short>(c1));
}

// a * c1 + b * c2 per lane in 32 bits, as the low and high four lanes.
struct Wide {
    __m128i lo, hi;
};
inline Wide multiplyAdd(__m128i a, __m128i b, int c1, int c2) {
    const __m128i k = pairConstant(c1, c2);
    return {_mm_madd_epi16(_mm_unpacklo_epi16(a, b), k),
            _mm_madd_epi16(_mm_unpackhi_epi16(a, b), k)};
}
inline Wide operator+(Wide x, Wide y) {
    return {_mm_add_epi32(x.lo, y.lo), _mm_add_epi32(x.hi, y.hi)};
}

// (x + round) >> shift per 32-bit lane, packed back to 16 bits.
inline __m128i roundShift(Wide x, int round, int shift) {
    const __m128i r = _mm_set1_epi32(round);
    const __m128i count = _mm_cvtsi32_si128(shift);
    return _mm_packs_epi32(_mm_sra_epi32(_mm_add_epi32(x.lo, r), count),
                           _mm_sra_epi32(_mm_add_epi32(x.hi, r), count));
}

}  // namespace

// Both passes work on eight rows (or columns) at once: after a transpose, vector k holds
// element k of every row, so the row formulas apply lane by lane. Every product is formed
// in 32 bits with pmaddwd from 16-bit factors, each sum expanded so that its 16-bit
// operands cannot overflow for samples 0..255 or residuals -255..255.
void fdctSse2(const int16_t* in, int16_t* out) {
    __m128i v[8];
    for (int r = 0; r < 8; ++r)
        v[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8 * r));
    transpose8x8(v);
    const __m128i one = _mm_set1_epi16(1);
    {
        const __m128i s07 = _mm_add_epi16(v[0], v[7]), s16 = _mm_add_epi16(v[1], v[6]);
        const __m128i s25 = _mm_add_epi16(v[2], v[5]), s34 = _mm_add_epi16(v[3], v[4]);
        const __m128i e0 = _mm_add_epi16(s07, s34), e1 = _mm_add_epi16(s16, s25);
        const __m128i a2 = _mm_sub_epi16(s07, s34), a3 = _mm_sub_epi16(s16, s25);
        const __m128i y0 = roundShift(multiplyAdd(_mm_add_epi16(e0, e1), one, 23170, 2048), 0, 12);
        const __m128i y4 = roundShift(multiplyAdd(_mm_sub_epi16(e0, e1), one, 23170, 2048), 0, 12);
        const __m128i y2 = roundShift(multiplyAdd(a2, a3, 30274, 12540), 2048, 12);
        const __m128i y6 = roundShift(multiplyAdd(a2, a3, 12540, -30274), 2048, 12);
        const __m128i m = _mm_slli_epi16(_mm_sub_epi16(v[0], v[7]), 3);
        const __m128i r = _mm_slli_epi16(_mm_sub_epi16(v[3], v[4]), 3);
        const __m128i lsum = _mm_sub_epi16(_mm_add_epi16(v[1], v[2]), _mm_add_epi16(v[6], v[5]));
        const __m128i osum = _mm_sub_epi16(_mm_add_epi16(v[1], v[5]), _mm_add_epi16(v[6], v[2]));
        const __m128i l = roundShift(multiplyAdd(lsum, one, 23170, 2048), 0, 12);
        const __m128i o = roundShift(multiplyAdd(osum, one, 23170, 2048), 0, 12);
        const __m128i ro = _mm_add_epi16(r, o), ml = _mm_add_epi16(m, l);
        const __m128i mMinusL = _mm_sub_epi16(m, l), rMinusO = _mm_sub_epi16(r, o);
        v[0] = y0;
        v[4] = y4;
        v[2] = y2;
        v[6] = y6;
        v[1] = roundShift(multiplyAdd(ro, ml, 6393, 32138), 16384, 15);
        v[7] = roundShift(multiplyAdd(ml, ro, 6393, -32138), 16384, 15);
        v[3] = roundShift(multiplyAdd(mMinusL, rMinusO, 27246, -18205), 16384, 15);
        v[5] = roundShift(multiplyAdd(rMinusO, mMinusL, 27246, 18205), 16384, 15);
    }
    transpose8x8(v);
    {
        const __m128i s07 = _mm_add_epi16(v[0], v[7]), s16 = _mm_add_epi16(v[1], v[6]);
        const __m128i s25 = _mm_add_epi16(v[2], v[5]), s34 = _mm_add_epi16(v[3], v[4]);
        const __m128i d07 = _mm_sub_epi16(v[0], v[7]), d16 = _mm_sub_epi16(v[1], v[6]);
        const __m128i d25 = _mm_sub_epi16(v[2], v[5]), d34 = _mm_sub_epi16(v[3], v[4]);
        const __m128i y0 = roundShift(
            multiplyAdd(s07, s34, 5792, 5792) + multiplyAdd(s16, s25, 5792, 5792), 131072, 18);
        const __m128i y4 = roundShift(
            multiplyAdd(s07, s34, 5792, 5792) + multiplyAdd(s16, s25, -5792, -5792), 131072, 18);
        const __m128i y2 = roundShift(
            multiplyAdd(s07, s34, 7568, -7568) + multiplyAdd(s16, s25, 3134, -3134), 131072, 18);
        const __m128i y6 = roundShift(
            multiplyAdd(s07, s34, 3134, -3134) + multiplyAdd(s16, s25, -7568, 7568), 131072, 18);
        const __m128i t1 = roundShift(multiplyAdd(d16, d25, 23170, -23170), 16384, 15);
        const __m128i t2 = roundShift(multiplyAdd(d16, d25, 23170, 23170), 16384, 15);
        const __m128i y1 = roundShift(
            multiplyAdd(d34, d07, 1598, 8034) + multiplyAdd(t1, t2, 1598, 8034), 131072, 18);
        const __m128i y7 = roundShift(
            multiplyAdd(d07, d34, 1598, -8034) + multiplyAdd(t2, t1, 1598, -8034), 131072, 18);
        const __m128i y3 = roundShift(
            multiplyAdd(d07, d34, 6811, -4551) + multiplyAdd(t2, t1, -6811, 4551), 131072, 18);
        const __m128i y5 = roundShift(
            multiplyAdd(d34, d07, 6811, 4551) + multiplyAdd(t1, t2, -6811, -4551), 131072, 18);
        const __m128i rows[8] = {y0, y1, y2, y3, y4, y5, y6, y7};
        for (int u = 0; u < 8; ++u)
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * u), rows[u]);
    }
}

namespace {

// The eight values of one block row, saturated to 16 bits: clipping the saturated value to
// 0..255, alone or after adding a sample, gives the same result as clipping the original.
inline __m128i blockRow16(const int32_t* row) {
    return _mm_packs_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row)),
                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + 4)));
}

}  // namespace

void putBlockSse2(const int32_t* block, uint8_t* dst, int stride) {
    for (int y = 0; y < 8; ++y, dst += stride, block += 8) {
        const __m128i v = blockRow16(block);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(v, v));
    }
}

void addBlockSse2(const int32_t* block, uint8_t* dst, int stride) {
    const __m128i zero = _mm_setzero_si128();
    for (int y = 0; y < 8; ++y, dst += stride, block += 8) {
        const __m128i samples =
            _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst)), zero);
        const __m128i v = _mm_adds_epi16(samples, blockRow16(block));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(v, v));
    }
}

}  // namespace dsp

#endif  // __SSE2__
