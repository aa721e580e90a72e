#pragma once
// CInBitStream: reads the elementary stream most significant bit first.
//
// Two 32-bit words hold the bits in use (the current word, whose low `bitsLeft` bits are
// unread, and the next word). Words come from a 512-byte staging buffer, which is filled
// from a 32,768-byte input buffer made of two 16,384-byte halves read from the file. A half
// is read from the file when the reader moves into it and its bytes have been used, so a
// picture larger than the buffer is still read in order. After the last byte of the file
// the reader sees 00 00 01 B1 (visual_object_sequence_end_code) and then zero bytes.

#include <cstdint>
#include <cstdio>
#include <cstring>

class CInBitStream {
  public:
    static constexpr int kHalfBytes = 16384;
    static constexpr int kInputBytes = 2 * kHalfBytes;
    static constexpr int kStagingBytes = 512;

    // Starts reading `file` from its current position: fills the whole input buffer,
    // stages the first 512 bytes and loads the first two words.
    void attach(FILE* file);

    // Stops reading the file (it is being closed): what is not buffered yet reads as the
    // end of the stream.
    void detach() { m_file = nullptr; }

    // The next n bits (0 to 32) as an unsigned number, not consumed.
    uint32_t showBits(int n) const {
        if (n == 0) return 0;
        uint64_t window = ((uint64_t(m_curr) << 32) | m_next) << (32 - m_bitsLeft);
        return uint32_t(window >> (64 - n));
    }

    // Consumes n bits (0 to 32).
    void flushBits(int n) {
        if (n < m_bitsLeft) {
            m_bitsLeft -= n;
            return;
        }
        m_curr = m_next;
        m_bitsLeft += 32 - n;
        m_next = loadWord();
    }

    uint32_t getBits(int n) {
        uint32_t v = showBits(n);
        flushBits(n);
        return v;
    }

    uint32_t getBit() { return getBits(1); }

    // Bits to the next byte boundary (0 when aligned).
    int bitsToByteBoundary() const { return m_bitsLeft & 7; }

    // Drops the unread bits up to the next byte boundary.
    void byteAlign() { flushBits(bitsToByteBoundary()); }

    // MPEG-4 next_start_code(): consumes a 0 and then ones up to the byte boundary (a whole
    // byte 0111 1111 when aligned); prints "stuffing bits not correct" on standard error
    // when the bits are different.
    void nextStartCode();

    // Peeks n bits (0 to 32) from the next byte boundary without consuming anything.
    uint32_t showBitsAligned(int n) const {
        if (n == 0) return 0;
        int skip = bitsToByteBoundary();
        uint64_t window = ((uint64_t(m_curr) << 32) | m_next) << (32 - m_bitsLeft + skip);
        return uint32_t(window >> (64 - n));
    }

    // Bits consumed since attach().
    uint64_t bitPosition() const { return m_wordsLoaded * 32 - uint64_t(m_bitsLeft + 32); }

    // True once the reader has consumed every byte of the file and the end code after it:
    // from here on it reads only zeros.
    bool pastEnd() const { return m_eof && bitPosition() >= (m_fileBytes + 4) * 8; }

    // True when at least n bits from the current position are the file's own bytes.
    bool hasFileBits(uint64_t n) const { return !m_eof || bitPosition() + n <= m_fileBytes * 8; }

  private:
    uint32_t loadWord() {
        if (m_stagePos == kStagingBytes) refillStaging();
        const uint8_t* p = m_staging + m_stagePos;
        m_stagePos += 4;
        ++m_wordsLoaded;
        return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
    }
    void refillStaging();
    void fillHalf(int half);

    uint32_t m_curr = 0;
    uint32_t m_next = 0;
    int m_bitsLeft = 32;
    uint64_t m_wordsLoaded = 0;

    uint8_t m_staging[kStagingBytes] = {};
    int m_stagePos = kStagingBytes;

    FILE* m_file = nullptr;
    uint8_t m_input[kInputBytes] = {};
    bool m_halfLoaded[2] = {false, false};
    int m_half = 0;        // half the staging reads from
    int m_halfOffset = 0;  // next byte of that half to stage
    bool m_eof = false;
    uint64_t m_fileBytes = 0;  // bytes read from the file so far
    uint32_t m_tailBytes = 0;  // bytes of the end code and zero fill placed so far
};
