#pragma once
// AMR narrow-band frames in the storage format (3GP samples, .amr files): one header byte
// whose bits 3 to 6 give the frame type, then that type's bits in whole bytes.

#include <cstddef>
#include <cstdint>

namespace amr {

// Speech bytes after the header byte, by frame type: the eight modes 4.75 to 12.2 kbit/s
// (0 to 7), the AMR comfort-noise frame (SID, 8), the SID frames of GSM-EFR, TDMA-EFR and
// PDC-EFR (9 to 11), types for future use (12 to 14) and NO_DATA (15).
constexpr uint8_t kSpeechBytes[16] = {12, 13, 15, 17, 19, 20, 26, 31, 5, 6, 5, 5, 0, 0, 0, 0};

// Largest storage-format frame: the 12.2 kbit/s mode, header byte included.
constexpr size_t kLargestFrameBytes = 32;

inline int frameType(uint8_t header) {
    return (header >> 3) & 0x0F;
}

// Bytes of the storage-format frame that starts with this header byte.
inline size_t storageFrameBytes(uint8_t header) {
    return 1 + size_t(kSpeechBytes[frameType(header)]);
}

}  // namespace amr
