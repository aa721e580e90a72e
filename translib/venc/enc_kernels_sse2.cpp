// SSE2 variants of the encoder kernels; each gives exactly the plain kernel's results.

#include "venc/enc_kernels.h"

#if defined(__SSE2__)

#include <emmintrin.h>

#include <cstdlib>

#include "venc/enc_global.h"

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

inline __m128i load16(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void store16(uint8_t* p, __m128i v) {
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// (a + b + c + d + 2) >> 2 per byte.
inline __m128i average4(__m128i a, __m128i b, __m128i c, __m128i d) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i two = _mm_set1_epi16(2);
    __m128i lo =
        _mm_add_epi16(_mm_add_epi16(_mm_unpacklo_epi8(a, zero), _mm_unpacklo_epi8(b, zero)),
                      _mm_add_epi16(_mm_unpacklo_epi8(c, zero), _mm_unpacklo_epi8(d, zero)));
    __m128i hi =
        _mm_add_epi16(_mm_add_epi16(_mm_unpackhi_epi8(a, zero), _mm_unpackhi_epi8(b, zero)),
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

void encSpiralSearchSse2(const uint8_t* cur, const uint8_t* refOrigin, int refStride,
                         const EncSearchArea& area, int* bestOut, int* bestX, int* bestY) {
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

int encActivity16Sse2(const uint8_t* cur) {
    const __m128i zero = _mm_setzero_si128();
    __m128i acc = zero;
    for (int r = 0; r < 16; ++r) acc = _mm_add_epi64(acc, _mm_sad_epu8(load16(cur + 16 * r), zero));
    const int mean = horizontalSum(acc) / 256;
    const __m128i m = _mm_set1_epi8(static_cast<char>(mean));
    acc = zero;
    for (int r = 0; r < 16; ++r) acc = _mm_add_epi64(acc, _mm_sad_epu8(load16(cur + 16 * r), m));
    return horizontalSum(acc);
}

namespace {

__attribute__((always_inline)) inline void transpose8x8(__m128i r[8]) {
    const __m128i a0 = _mm_unpacklo_epi16(r[0], r[1]), a1 = _mm_unpackhi_epi16(r[0], r[1]);
    const __m128i a2 = _mm_unpacklo_epi16(r[2], r[3]), a3 = _mm_unpackhi_epi16(r[2], r[3]);
    const __m128i a4 = _mm_unpacklo_epi16(r[4], r[5]), a5 = _mm_unpackhi_epi16(r[4], r[5]);
    const __m128i a6 = _mm_unpacklo_epi16(r[6], r[7]), a7 = _mm_unpackhi_epi16(r[6], r[7]);
    const __m128i b0 = _mm_unpacklo_epi32(a0, a2), b1 = _mm_unpackhi_epi32(a0, a2);
    const __m128i b2 = _mm_unpacklo_epi32(a1, a3), b3 = _mm_unpackhi_epi32(a1, a3);
    const __m128i b4 = _mm_unpacklo_epi32(a4, a6), b5 = _mm_unpackhi_epi32(a4, a6);
    const __m128i b6 = _mm_unpacklo_epi32(a5, a7), b7 = _mm_unpackhi_epi32(a5, a7);
    r[0] = _mm_unpacklo_epi64(b0, b4);
    r[1] = _mm_unpackhi_epi64(b0, b4);
    r[2] = _mm_unpacklo_epi64(b1, b5);
    r[3] = _mm_unpackhi_epi64(b1, b5);
    r[4] = _mm_unpacklo_epi64(b2, b6);
    r[5] = _mm_unpackhi_epi64(b2, b6);
    r[6] = _mm_unpacklo_epi64(b3, b7);
    r[7] = _mm_unpackhi_epi64(b3, b7);
}

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
void encFdctSse2(const int16_t* in, int16_t* out) {
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

bool encQuantInterMpegSse2(const int16_t* coef, int16_t* level, int qp, const EncQuantMatrix* m) {
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
        return encQuantInterMpegPlain(coef, level, qp, m);
    const __m128i rq = _mm_set1_epi16(static_cast<short>(enc_g_rgiReciprocal[qp]));
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

void encDequantInterMpegSse2(const int16_t* level, int16_t* coef, int qp, const EncQuantMatrix* m) {
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
        encDequantInterMpegPlain(level, coef, qp, m);
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

#endif  // __SSE2__
