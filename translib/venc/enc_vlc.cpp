#include "venc/enc_vlc.h"

#include <cstdlib>

#include "tables/std_tables.h"

namespace {

constexpr int kMaxRun = 64;
constexpr int kMaxTableLevel = 27;  // largest level with a code of its own (intra, run 0)
constexpr int kMaxLevel = 2047;

// Encoder lookup of one coefficient table: codes by (last, run, level), LMAX by (last, run),
// RMAX by (last, level).
struct TcoefLookup {
    tables::Vlc code[2][kMaxRun][kMaxTableLevel + 1];  // length 0 = no code
    int lmax[2][kMaxRun];                              // 0 = run has no code
    int rmax[2][kMaxTableLevel + 1];                   // -1 = level has no code
};

TcoefLookup buildLookup(const tables::TcoefCode* codes, int count, const uint8_t* lmax0,
                        int lmax0Count, const uint8_t* lmax1, int lmax1Count, const uint8_t* rmax0,
                        int rmax0Count, const uint8_t* rmax1, int rmax1Count) {
    TcoefLookup t{};
    for (int i = 0; i < count; ++i)
        t.code[codes[i].last][codes[i].run][codes[i].level] = codes[i].code;
    for (int last = 0; last < 2; ++last) {
        const uint8_t* lm = last ? lmax1 : lmax0;
        const int lmCount = last ? lmax1Count : lmax0Count;
        for (int run = 0; run < kMaxRun; ++run) t.lmax[last][run] = run < lmCount ? lm[run] : 0;
        const uint8_t* rm = last ? rmax1 : rmax0;
        const int rmCount = last ? rmax1Count : rmax0Count;
        for (int level = 0; level <= kMaxTableLevel; ++level)
            t.rmax[last][level] = (level >= 1 && level <= rmCount) ? rm[level - 1] : -1;
    }
    return t;
}

const TcoefLookup& lookup(bool intra) {
    static const TcoefLookup intraLookup =
        buildLookup(tables::kTcoefIntra, 102, tables::kLmaxIntraLast0, 15, tables::kLmaxIntraLast1,
                    21, tables::kRmaxIntraLast0, 27, tables::kRmaxIntraLast1, 8);
    static const TcoefLookup interLookup =
        buildLookup(tables::kTcoefInter, 102, tables::kLmaxInterLast0, 27, tables::kLmaxInterLast1,
                    41, tables::kRmaxInterLast0, 12, tables::kRmaxInterLast1, 3);
    return intra ? intraLookup : interLookup;
}

// The table code of (last, run, level), or null.
const tables::Vlc* tableCode(const TcoefLookup& t, int last, int run, int level) {
    if (run < 0 || run >= kMaxRun || level < 1 || level > kMaxTableLevel) return nullptr;
    const tables::Vlc& v = t.code[last][run][level];
    return v.length ? &v : nullptr;
}

// A table code followed by the sign bit, in one put.
int putCodeAndSign(COutBitStream* bs, const tables::Vlc& v, int sign) {
    bs->put((v.bits << 1) | static_cast<uint32_t>(sign), v.length + 1, "TCOEF");
    return v.length + 1;
}

}  // namespace

int encPutTcoef(COutBitStream* bs, bool intra, int last, int run, int level) {
    const TcoefLookup& t = lookup(intra);
    const int sign = level < 0 ? 1 : 0;
    int magnitude = std::abs(level);
    if (magnitude > kMaxLevel) magnitude = kMaxLevel;

    if (const tables::Vlc* v = tableCode(t, last, run, magnitude))
        return putCodeAndSign(bs, *v, sign);

    const tables::Vlc& esc = tables::kTcoefEscape;
    // Escape 1: the level reduced by LMAX.
    if (run < kMaxRun && t.lmax[last][run] > 0) {
        if (const tables::Vlc* v = tableCode(t, last, run, magnitude - t.lmax[last][run])) {
            bs->put(esc.bits << 1, esc.length + 1, "ESCAPE");
            return esc.length + 1 + putCodeAndSign(bs, *v, sign);
        }
    }
    // Escape 2: the run reduced by RMAX + 1.
    if (magnitude <= kMaxTableLevel && t.rmax[last][magnitude] >= 0) {
        const int reducedRun = run - t.rmax[last][magnitude] - 1;
        if (reducedRun >= 0 && reducedRun < kMaxRun) {
            if (const tables::Vlc* v = tableCode(t, last, reducedRun, magnitude)) {
                bs->put((esc.bits << 2) | 2u, esc.length + 2, "ESCAPE");
                return esc.length + 2 + putCodeAndSign(bs, *v, sign);
            }
        }
    }
    // Escape 3: last, run and the level in 12-bit two's complement between marker bits.
    const int signedLevel = sign ? -magnitude : magnitude;
    bs->put((esc.bits << 2) | 3u, esc.length + 2, "ESCAPE");
    bs->put(static_cast<uint32_t>(last), 1, "LAST");
    bs->put(static_cast<uint32_t>(run), 6, "RUN");
    bs->put(1, 1, "Marker");
    bs->put(static_cast<uint32_t>(signedLevel) & 0xFFF, 12, "LEVEL");
    bs->put(1, 1, "Marker");
    return esc.length + 2 + 1 + 6 + 1 + 12 + 1;
}

int encPutIntraDC(COutBitStream* bs, int diff, bool luma) {
    int magnitude = std::abs(diff);
    int size = 0;
    while (magnitude >> size) ++size;
    const tables::Vlc& v = luma ? tables::kDcSizeLuma[size] : tables::kDcSizeChroma[size];
    bs->put(v.bits, v.length, "DC_SIZE");
    int bits = v.length;
    if (size > 0) {
        const int value = diff >= 0 ? diff : diff + (1 << size) - 1;
        bs->put(static_cast<uint32_t>(value), size, "DC_DIFF");
        bits += size;
        if (size > 8) {
            bs->put(1, 1, "Marker");
            bits += 1;
        }
    }
    return bits;
}

int encPutMCBPCIntra(COutBitStream* bs, int mbType, int cbpc) {
    const tables::Vlc& v = tables::kMcbpcIntra[(mbType - 3) * 4 + cbpc].code;
    bs->put(v.bits, v.length, "MB_MCBPC");
    return v.length;
}

int encPutMCBPCInter(COutBitStream* bs, int mbType, int cbpc) {
    const tables::Vlc& v = tables::kMcbpcInter[mbType * 4 + cbpc].code;
    bs->put(v.bits, v.length, "MB_MCBPC");
    return v.length;
}

int encPutCBPY(COutBitStream* bs, int cbpy) {
    const tables::Vlc& v = tables::kCbpy[cbpy].code;
    bs->put(v.bits, v.length, "MB_CBPY");
    return v.length;
}

int encPutMotionCode(COutBitStream* bs, int code) {
    const int magnitude = std::abs(code);
    const tables::Vlc& v = tables::kMvd[magnitude];
    if (magnitude == 0) {
        bs->put(v.bits, v.length, "MVD");
        return v.length;
    }
    bs->put((v.bits << 1) | (code < 0 ? 1u : 0u), v.length + 1, "MVD");
    return v.length + 1;
}
