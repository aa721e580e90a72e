#pragma once
// Lookup tables for the decoder's variable-length codes, built at compile time from the
// standard tables (tables/std_tables.h), and the inline readers that use them.

#include <cstddef>
#include <cstdint>

#include "tables/std_tables.h"

namespace vlc {

// A decoded code: `length` bits are consumed; length 0 marks an invalid code.
struct McbpcEntry {
    uint8_t type;  // macroblock type 0..4, or STUFFING (7)
    uint8_t cbpc;
    uint8_t length;
};

struct CbpyEntry {
    uint8_t cbpyIntra;
    uint8_t length;
};

struct MvdEntry {
    uint8_t magnitude;  // |motion_code|, 0 to 32
    uint8_t length;     // without the sign bit; 0 = invalid
};

struct DcSizeEntry {
    uint8_t size;
    uint8_t length;
};

enum : uint8_t { kTcoefInvalid = 0, kTcoefCode = 1, kTcoefEscape = 2 };

struct TcoefEntry {
    uint8_t kind;
    uint8_t length;
    uint8_t last;
    uint8_t run;
    uint8_t level;
};

// Bits peeked for each code family.
constexpr int kMcbpcBits = 9;
constexpr int kCbpyBits = 6;
constexpr int kMvdBits = 12;
constexpr int kDcSizeLumaBits = 11;
constexpr int kDcSizeChromaBits = 12;
constexpr int kTcoefBits = 12;

template <int N, typename Entry>
struct Table {
    Entry e[N];
};

namespace detail {

template <typename Entry, int N>
constexpr void fillCode(Table<N, Entry>& t, int peekBits, uint32_t code, int length, Entry value) {
    uint32_t first = code << (peekBits - length);
    uint32_t count = 1u << (peekBits - length);
    for (uint32_t i = 0; i < count; ++i) t.e[first + i] = value;
}

template <size_t N>
constexpr Table<512, McbpcEntry> makeMcbpc(const tables::McbpcCode (&codes)[N],
                                           const tables::Vlc& stuffing) {
    Table<512, McbpcEntry> t{};
    for (const auto& c : codes)
        fillCode(t, kMcbpcBits, c.code.bits, c.code.length,
                 McbpcEntry{c.mbType, c.cbpc, c.code.length});
    fillCode(t, kMcbpcBits, stuffing.bits, stuffing.length, McbpcEntry{7, 0, stuffing.length});
    return t;
}

constexpr Table<64, CbpyEntry> makeCbpy() {
    Table<64, CbpyEntry> t{};
    for (const auto& c : tables::kCbpy)
        fillCode(t, kCbpyBits, c.code.bits, c.code.length, CbpyEntry{c.cbpyIntra, c.code.length});
    return t;
}

constexpr Table<4096, MvdEntry> makeMvd() {
    Table<4096, MvdEntry> t{};
    for (int m = 0; m <= 32; ++m) {
        const tables::Vlc& c = tables::kMvd[m];
        fillCode(t, kMvdBits, c.bits, c.length, MvdEntry{uint8_t(m), c.length});
    }
    return t;
}

template <int Bits>
constexpr Table<(1 << Bits), DcSizeEntry> makeDcSize(const tables::Vlc (&codes)[13],
                                                     uint8_t allZeroSize) {
    Table<(1 << Bits), DcSizeEntry> t{};
    for (int s = 0; s < 13; ++s)
        fillCode(t, Bits, codes[s].bits, codes[s].length, DcSizeEntry{uint8_t(s), codes[s].length});
    // The all-zero pattern is no code; it is taken as a size and two bits are consumed.
    t.e[0] = DcSizeEntry{allZeroSize, 2};
    return t;
}

constexpr Table<4096, TcoefEntry> makeTcoef(const tables::TcoefCode (&codes)[102]) {
    Table<4096, TcoefEntry> t{};
    for (const auto& c : codes)
        fillCode(t, kTcoefBits, c.code.bits, c.code.length,
                 TcoefEntry{kTcoefCode, c.code.length, c.last, c.run, c.level});
    fillCode(t, kTcoefBits, tables::kTcoefEscape.bits, tables::kTcoefEscape.length,
             TcoefEntry{kTcoefEscape, tables::kTcoefEscape.length, 0, 0, 0});
    return t;
}

}  // namespace detail

inline constexpr Table<512, McbpcEntry> kMcbpcIntraTable =
    detail::makeMcbpc(tables::kMcbpcIntra, tables::kMcbpcIntraStuffing);
inline constexpr Table<512, McbpcEntry> kMcbpcInterTable =
    detail::makeMcbpc(tables::kMcbpcInter, tables::kMcbpcInterStuffing);
inline constexpr Table<64, CbpyEntry> kCbpyTable = detail::makeCbpy();
inline constexpr Table<4096, MvdEntry> kMvdTable = detail::makeMvd();
inline constexpr auto kDcSizeLumaTable =
    detail::makeDcSize<kDcSizeLumaBits>(tables::kDcSizeLuma, 0);
inline constexpr auto kDcSizeChromaTable =
    detail::makeDcSize<kDcSizeChromaBits>(tables::kDcSizeChroma, 3);
inline constexpr Table<4096, TcoefEntry> kTcoefIntraTable = detail::makeTcoef(tables::kTcoefIntra);
inline constexpr Table<4096, TcoefEntry> kTcoefInterTable = detail::makeTcoef(tables::kTcoefInter);

// Escape tables: the largest level for (last, run) and the largest run for (last, level).
// Every code of the tables has an entry.
inline int lmax(bool intra, int last, int run) {
    if (intra) return last ? tables::kLmaxIntraLast1[run] : tables::kLmaxIntraLast0[run];
    return last ? tables::kLmaxInterLast1[run] : tables::kLmaxInterLast0[run];
}

inline int rmax(bool intra, int last, int level) {
    if (intra)
        return last ? tables::kRmaxIntraLast1[level - 1] : tables::kRmaxIntraLast0[level - 1];
    return last ? tables::kRmaxInterLast1[level - 1] : tables::kRmaxInterLast0[level - 1];
}

}  // namespace vlc
