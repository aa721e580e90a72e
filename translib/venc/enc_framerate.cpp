#include "venc/enc_framerate.h"

#include <initializer_list>

namespace {

// A row of kept positions as a bit mask (bit e set: position e is kept).
constexpr uint32_t positions(std::initializer_list<int> kept) {
    uint32_t mask = 0;
    for (int e : kept) mask |= 1u << e;
    return mask;
}

// Every position of a row of `length` except the ones listed.
constexpr uint32_t allBut(int length, std::initializer_list<int> dropped) {
    uint32_t mask = length >= 32 ? ~0u : (1u << length) - 1;
    for (int e : dropped) mask &= ~(1u << e);
    return mask;
}

constexpr uint32_t kKeepAll = ~0u;

// Position substituted for n mod S beyond the 32 positions of the widest row; it is never
// a kept position.
constexpr uint32_t kOverflowPosition = 30;

uint32_t rowForTarget10(uint32_t s) {
    switch (s) {
        case 14:
            return allBut(14, {2, 5, 8, 11});
        case 13:
            return allBut(13, {2, 8, 11});
        case 12:
            return allBut(12, {5, 8});
        case 11:
            return allBut(11, {5});
        default:
            return kKeepAll;
    }
}

uint32_t rowForTarget15(uint32_t s) {
    if (s >= 30) return positions({0, 2, 4, 6, 8, 10, 12, 14, 16, 18, 20, 22, 24, 26, 28});
    if (s >= 25) return positions({0, 2, 4, 5, 6, 8, 10, 12, 13, 14, 16, 18, 20, 22, 24});
    if (s >= 20) return positions({0, 2, 3, 4, 5, 6, 8, 9, 11, 12, 13, 14, 16, 18, 19});
    switch (s) {
        case 19:
            return allBut(19, {1, 5, 13, 17});
        case 18:
            return allBut(18, {1, 5, 13});
        case 17:
            return allBut(17, {1, 13});
        case 16:
            return allBut(16, {8});
        default:
            return kKeepAll;
    }
}

uint32_t rowForTarget8(uint32_t s) {
    if (s >= 30) return positions({0, 4, 8, 12, 16, 20, 24, 28});
    if (s >= 25) return positions({0, 4, 8, 12, 16, 20, 22, 24});
    if (s >= 20) return positions({0, 3, 6, 9, 12, 14, 16, 19});
    if (s >= 15) return positions({0, 2, 4, 6, 8, 10, 12, 14});
    switch (s) {
        case 14:
            return positions({0, 2, 4, 6, 8, 10, 12, 13});
        case 13:
            return positions({0, 2, 3, 4, 6, 8, 10, 12});
        case 12:
            return positions({0, 2, 3, 4, 6, 8, 10, 11});
        case 11:
            return positions({0, 2, 3, 4, 6, 7, 8, 10});
        case 10:
            return allBut(10, {1, 5});
        case 9:
            return allBut(9, {5});
        default:
            return kKeepAll;
    }
}

}  // namespace

bool encKeepSourceFrame(uint32_t n, uint32_t t, uint32_t s) {
    if (t == 10) {
        if (s >= 26) return n % 3 == 1;
        if (s >= 16) return n % 5 == 1 || n % 5 == 3;
        if (s == 15) return n % 3 != 2;
        if (s >= 11) return (rowForTarget10(s) >> (n % s)) & 1u;
        return true;
    }
    uint32_t e = n % s;
    if (e > 31) e = kOverflowPosition;
    const uint32_t row = t == 15 ? rowForTarget15(s) : rowForTarget8(s);
    return (row >> e) & 1u;
}
