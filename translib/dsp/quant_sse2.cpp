// SSE2 MPEG inter quantisers; each gives exactly the plain kernel's results.

#include "dsp/quant.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include "dsp/variants.h"

namespace dsp {

bool quantInterMpegSse2(const int16_t* coef, int16_t* level, int qp, const QuantMatrix* m) {
    // 16 |c| must fit 16 bits unsigned and the weights' reciprocals too; otherwise the
    // plain kernel does it.
    const __m128i limit = _mm_set1_epi16(4095);
    __m128i tooLarge = _mm_setzero_si128();
    __m128i c[8], a[8];
    for (int i = 0; i < 8; ++i) {
        c[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + 8 * i));
        a[i] = _mm_max_epi16(c[i], _mm_sub_epi16(_mm_setzero_si128(), c[i]));
        tooLarge = _mm_or_si128(tooLarge, _mm_cmpgt_epi16(a[i], limit));
    }
    if (!m->fits16 || _mm_movemask_epi8(tooLarge) != 0)
        return quantInterMpegPlain(coef, level, qp, m);
    const __m128i rq = _mm_set1_epi16(static_cast<short>(kReciprocal[qp]));
    const __m128i maxLevel = _mm_set1_epi16(2047);
    __m128i any = _mm_setzero_si128();
    for (int i = 0; i < 8; ++i) {
        const __m128i a16 = _mm_slli_epi16(a[i], 4);
        const __m128i rw = _mm_load_si128(reinterpret_cast<const __m128i*>(m->rw16 + 8 * i));
        // t = (16 |c| rw + 32768) >> 16 from the 32-bit product's halves
        const __m128i t =
            _mm_add_epi16(_mm_mulhi_epu16(a16, rw), _mm_srli_epi16(_mm_mullo_epi16(a16, rw), 15));
        // (t * R[qp]) >> 17: R[1] = 65536 makes it t >> 1; otherwise R[qp] fits 16 bits and
        // the low half of the product cannot change the result.
        const __m128i l0 =
            qp == 1 ? _mm_srli_epi16(t, 1) : _mm_srli_epi16(_mm_mulhi_epu16(t, rq), 1);
        const __m128i l = _mm_min_epi16(l0, maxLevel);
        const __m128i sign = _mm_srai_epi16(c[i], 15);
        const __m128i signedLevel = _mm_sub_epi16(_mm_xor_si128(l, sign), sign);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(level + 8 * i), signedLevel);
        any = _mm_or_si128(any, signedLevel);
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi16(any, _mm_setzero_si128())) != 0xFFFF;
}

void dequantInterMpegSse2(const int16_t* level, int16_t* coef, int qp, const QuantMatrix* m) {
    // (2 |level| + 1) must fit 16 bits; larger levels (never made by the quantiser) go to
    // the plain kernel.
    const __m128i zero = _mm_setzero_si128();
    __m128i l[8], a[8];
    __m128i tooLarge = zero;
    for (int i = 0; i < 8; ++i) {
        l[i] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(level + 8 * i));
        a[i] = _mm_max_epi16(l[i], _mm_sub_epi16(zero, l[i]));
        tooLarge = _mm_or_si128(tooLarge, _mm_cmpgt_epi16(a[i], _mm_set1_epi16(2047)));
    }
    if (_mm_movemask_epi8(tooLarge) != 0 || qp * 255 > 32767) {
        dequantInterMpegPlain(level, coef, qp, m);
        return;
    }
    const __m128i q = _mm_set1_epi16(static_cast<short>(qp));
    const __m128i one = _mm_set1_epi16(1);
    __m128i parity = zero, any = zero;
    for (int i = 0; i < 8; ++i) {
        const __m128i wq =
            _mm_mullo_epi16(_mm_load_si128(reinterpret_cast<const __m128i*>(m->w16 + 8 * i)), q);
        const __m128i t = _mm_add_epi16(_mm_add_epi16(a[i], a[i]), one);
        const __m128i lo = _mm_mullo_epi16(t, wq), hi = _mm_mulhi_epi16(t, wq);
        const __m128i v = _mm_packs_epi32(_mm_srai_epi32(_mm_unpacklo_epi16(lo, hi), 4),
                                          _mm_srai_epi32(_mm_unpackhi_epi16(lo, hi), 4));
        const __m128i magnitude = _mm_min_epi16(v, _mm_set1_epi16(2048));
        const __m128i positive = _mm_min_epi16(magnitude, _mm_set1_epi16(2047));
        const __m128i negative = _mm_sub_epi16(zero, magnitude);
        const __m128i sign = _mm_srai_epi16(l[i], 15);
        __m128i f = _mm_or_si128(_mm_and_si128(sign, negative), _mm_andnot_si128(sign, positive));
        f = _mm_andnot_si128(_mm_cmpeq_epi16(l[i], zero), f);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(coef + 8 * i), f);
        parity = _mm_xor_si128(parity, f);
        any = _mm_or_si128(any, f);
    }
    // Mismatch control: unless every coefficient is 0, an even sum toggles the last one.
    if (_mm_movemask_epi8(_mm_cmpeq_epi16(any, zero)) == 0xFFFF) return;
    parity = _mm_xor_si128(parity, _mm_srli_si128(parity, 8));
    parity = _mm_xor_si128(parity, _mm_srli_si128(parity, 4));
    parity = _mm_xor_si128(parity, _mm_srli_si128(parity, 2));
    if ((_mm_cvtsi128_si32(parity) & 1) == 0) coef[63] = static_cast<int16_t>(coef[63] ^ 1);
}

}  // namespace dsp

#endif  // __SSE2__
