// SSE2 inverse DCTs: exactly the plain transforms' results. The decoder's takes every block
// dequantisation can give (the DC within 2^18, every other coefficient within 16 bits); the
// encoder's every block whose row results fit 16 bits and whose 1/sqrt(2) products fit 32
// bits, where its arithmetic and the decoder's agree. Other blocks go to the plain ones.

#include "dsp/transform.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include "dsp/sse2_util.h"
#include "dsp/variants.h"

namespace dsp {

namespace {

// 2048 x sqrt(2) x cos(k pi / 16), rounded, as the plain transform has them.
constexpr int W1 = 2841;
constexpr int W2 = 2676;
constexpr int W3 = 2408;
constexpr int W5 = 1609;
constexpr int W6 = 1108;
constexpr int W7 = 565;
// Largest DC magnitude the vector passes take: below it no sum leaves 32 bits.
constexpr int32_t kMaxDc = 1 << 18;
// Magnitude bits of a sum whose 181-fold (plus rounding) stays within 32 bits, with room.
constexpr int kRotationBits = 23;

// Eight 32-bit lanes.
struct Lanes {
    __m128i lo, hi;
};

inline Lanes operator+(Lanes a, Lanes b) {
    return {_mm_add_epi32(a.lo, b.lo), _mm_add_epi32(a.hi, b.hi)};
}
inline Lanes operator-(Lanes a, Lanes b) {
    return {_mm_sub_epi32(a.lo, b.lo), _mm_sub_epi32(a.hi, b.hi)};
}
template <int kShift>
inline Lanes shiftLeft(Lanes a) {
    return {_mm_slli_epi32(a.lo, kShift), _mm_slli_epi32(a.hi, kShift)};
}
template <int kShift>
inline Lanes shiftRight(Lanes a) {
    return {_mm_srai_epi32(a.lo, kShift), _mm_srai_epi32(a.hi, kShift)};
}
inline Lanes plus(Lanes a, int32_t c) {
    const __m128i k = _mm_set1_epi32(c);
    return {_mm_add_epi32(a.lo, k), _mm_add_epi32(a.hi, k)};
}

// Eight 16-bit lanes sign-extended to 32 bits.
inline Lanes widen(__m128i v) {
    return {_mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16),
            _mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16)};
}

// a * c1 + b * c2 per lane, exact in 32 bits.
inline Lanes multiplyAdd(__m128i a, __m128i b, int c1, int c2) {
    const __m128i k =
        _mm_set_epi16(static_cast<short>(c2), static_cast<short>(c1), static_cast<short>(c2),
                      static_cast<short>(c1), static_cast<short>(c2), static_cast<short>(c1),
                      static_cast<short>(c2), static_cast<short>(c1));
    return {_mm_madd_epi16(_mm_unpacklo_epi16(a, b), k),
            _mm_madd_epi16(_mm_unpackhi_epi16(a, b), k)};
}

// 181 x v in 32 bits (181 = 128 + 32 + 16 + 4 + 1).
inline __m128i times181(__m128i v) {
    return _mm_add_epi32(
        _mm_add_epi32(_mm_slli_epi32(v, 7), _mm_slli_epi32(v, 5)),
        _mm_add_epi32(_mm_add_epi32(_mm_slli_epi32(v, 4), _mm_slli_epi32(v, 2)), v));
}

// (181 x s + 128) >> 8 for any 32-bit s, as the plain transform forms it in 64 bits: with
// s = 256 h + l (0 <= l < 256) it is 181 h + ((181 l + 128) >> 8), and 181 h fits.
inline __m128i rotate181(__m128i s) {
    const __m128i high = _mm_srai_epi32(s, 8);
    const __m128i low = _mm_and_si128(s, _mm_set1_epi32(255));
    return _mm_add_epi32(times181(high),
                         _mm_srai_epi32(_mm_add_epi32(times181(low), _mm_set1_epi32(128)), 8));
}
inline Lanes rotate181(Lanes s) {
    return {rotate181(s.lo), rotate181(s.hi)};
}

// |v| (less one for negative v): its highest bit is that of the magnitude.
inline __m128i magnitudeBits(__m128i v) {
    return _mm_xor_si128(v, _mm_srai_epi32(v, 31));
}

// One pass over eight lanes: v[k] holds input k of every lane, x0 input 0 in 32 bits. The
// row pass (kRow) scales inputs 0 and 4 by 2^11 and rounds with 128; the column pass scales
// them by 2^8, rounds with 8192 and rounds (+4) and shifts (>> 3) the rotation products.
// out[k] gets output k before the final shift.
template <bool kRow, bool kChecked>
inline void idctPass(const __m128i v[8], Lanes x0, Lanes out[8], __m128i* sums) {
    constexpr int kScaleShift = kRow ? 11 : 8;
    constexpr int32_t kRound = kRow ? 128 : 8192;
    auto product = [](Lanes p) { return kRow ? p : shiftRight<3>(plus(p, 4)); };
    x0 = plus(shiftLeft<kScaleShift>(x0), kRound);
    Lanes x1 = shiftLeft<kScaleShift>(widen(v[4]));
    // first stage
    Lanes x4 = product(multiplyAdd(v[1], v[7], W1, W7));
    Lanes x5 = product(multiplyAdd(v[1], v[7], W7, -W1));
    Lanes x6 = product(multiplyAdd(v[5], v[3], W5, W3));
    Lanes x7 = product(multiplyAdd(v[5], v[3], W3, -W5));
    // second stage
    Lanes x8 = x0 + x1;
    x0 = x0 - x1;
    Lanes x2 = product(multiplyAdd(v[2], v[6], W6, -W2));
    Lanes x3 = product(multiplyAdd(v[2], v[6], W2, W6));
    x1 = x4 + x6;
    x4 = x4 - x6;
    x6 = x5 + x7;
    x5 = x5 - x7;
    // third stage
    x7 = x8 + x3;
    x8 = x8 - x3;
    x3 = x0 + x2;
    x0 = x0 - x2;
    const Lanes sum = x4 + x5, difference = x4 - x5;
    if (kChecked) {
        *sums = _mm_or_si128(*sums, _mm_or_si128(magnitudeBits(sum.lo), magnitudeBits(sum.hi)));
        *sums = _mm_or_si128(
            *sums, _mm_or_si128(magnitudeBits(difference.lo), magnitudeBits(difference.hi)));
    }
    x2 = rotate181(sum);
    x4 = rotate181(difference);
    // fourth stage
    out[0] = x7 + x1;
    out[1] = x3 + x2;
    out[2] = x0 + x4;
    out[3] = x8 + x6;
    out[4] = x8 - x6;
    out[5] = x0 - x4;
    out[6] = x3 - x2;
    out[7] = x7 - x1;
}

// The low 16 bits of each lane (as the row pass keeps its results), packed.
inline __m128i keep16(Lanes a) {
    return _mm_packs_epi32(_mm_srai_epi32(_mm_slli_epi32(a.lo, 16), 16),
                           _mm_srai_epi32(_mm_slli_epi32(a.hi, 16), 16));
}

// True when no lane of `bits` has a bit at or above bit `limit`.
inline bool below(__m128i bits, int limit) {
    const __m128i high = _mm_srl_epi32(bits, _mm_cvtsi32_si128(limit));
    return _mm_movemask_epi8(_mm_cmpeq_epi32(high, _mm_setzero_si128())) == 0xFFFF;
}

// Both passes over the rows v (coefficients in 16 bits, row 0's DC in `dc`), into out.
// kChecked: false, with out unusable, when a row result leaves 16 bits or a 1/sqrt(2)
// product 32 bits.
template <bool kChecked>
inline bool idct8x8(__m128i v[8], int32_t dc, int32_t* out) {
    // Rows: lane r of v[k] is coefficient k of row r after the transpose; the DC of row 0
    // goes into the 32-bit input of lane 0 unsaturated.
    transpose8x8(v);
    Lanes x0 = widen(v[0]);
    x0.lo = _mm_castps_si128(
        _mm_move_ss(_mm_castsi128_ps(x0.lo), _mm_castsi128_ps(_mm_cvtsi32_si128(dc))));
    Lanes y[8];
    __m128i sums = _mm_setzero_si128(), results = _mm_setzero_si128();
    idctPass<true, kChecked>(v, x0, y, &sums);
    for (int k = 0; k < 8; ++k) {
        const Lanes r = shiftRight<8>(y[k]);
        if (kChecked)
            results = _mm_or_si128(results, _mm_or_si128(magnitudeBits(r.lo), magnitudeBits(r.hi)));
        v[k] = keep16(r);
    }

    // Columns: after the transpose lane c of v[r] is row r's result in column c.
    transpose8x8(v);
    idctPass<false, kChecked>(v, widen(v[0]), y, &sums);
    if (kChecked && !(below(results, 15) && below(sums, kRotationBits))) return false;
    __m128i* dst = reinterpret_cast<__m128i*>(out);
    for (int r = 0; r < 8; ++r) {
        const Lanes o = shiftRight<14>(y[r]);
        _mm_storeu_si128(dst + 2 * r, o.lo);
        _mm_storeu_si128(dst + 2 * r + 1, o.hi);
    }
    return true;
}

}  // namespace

void idctRows16Sse2(int32_t* block) {
    const __m128i* in = reinterpret_cast<const __m128i*>(block);
    // Every coefficient but the DC within 16 bits: the OR of their magnitudes (less one for
    // negative values) has no bit above bit 14.
    __m128i bits = _mm_and_si128(magnitudeBits(_mm_loadu_si128(in)), _mm_set_epi32(-1, -1, -1, 0));
    __m128i v[8];
    for (int r = 0; r < 8; ++r) {
        const __m128i lo = _mm_loadu_si128(in + 2 * r), hi = _mm_loadu_si128(in + 2 * r + 1);
        if (r > 0) bits = _mm_or_si128(bits, magnitudeBits(lo));
        bits = _mm_or_si128(bits, magnitudeBits(hi));
        v[r] = _mm_packs_epi32(lo, hi);
    }
    const int32_t dc = block[0];
    if (!below(bits, 15) || dc > kMaxDc || dc < -kMaxDc) {
        idctRows16Plain(block);
        return;
    }
    idct8x8<false>(v, dc, block);
}

void idctRows32Sse2(const int16_t* in, int32_t* out) {
    __m128i v[8];
    for (int r = 0; r < 8; ++r)
        v[r] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + 8 * r));
    if (!idct8x8<true>(v, in[0], out)) idctRows32Plain(in, out);
}

}  // namespace dsp

#endif  // __SSE2__
