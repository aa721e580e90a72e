#pragma once
// Four-character codes (box types, codecs, file tags) as 32-bit values.

#include <cstdint>

// The code's four bytes in memory order, so that "mp4v" is m, p, 4, v in memory and a code
// read from a file compares equal to the code of its four bytes in file order.
constexpr uint32_t fourcc(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<uint8_t>(a)) |
           static_cast<uint32_t>(static_cast<uint8_t>(b)) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(c)) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(d)) << 24;
}
