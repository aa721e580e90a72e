#pragma once
// COutBitStream: the encoder's bit writer. Syntax elements are appended most significant
// bit first into a byte buffer that the frame loop writes out after the stream headers and
// after every VOP, then resets.

#include <cstddef>
#include <cstdint>
#include <vector>

class COutBitStream {
  public:
    // Initial buffer size; the buffer grows when a VOP does not fit (a noisy intra VOP at
    // a fine quantiser can exceed it).
    static constexpr size_t kInitialBufferSize = 30000;

    // Allocates the buffer; on failure prints "buffer malloc failed!\n" and abandons the run.
    COutBitStream();

    // Write position back to the buffer start, byte count 0 (the current byte is empty
    // whenever this is called, since every VOP ends aligned).
    void reset() { m_iByteCount = 0; }

    // Appends the n low bits of value (1 <= n <= 32), most significant first. `label`
    // names the syntax field; it is for tracing only.
    void put(uint32_t value, int n, const char* label) {
        (void)label;
        if (n < 32) value &= (1u << n) - 1;
        // Fewer than 8 bits wait in the accumulator, so that 32 more always fit.
        m_uPending = (m_uPending << n) | value;
        m_iPendingBits += n;
        m_uTotalBits += static_cast<uint32_t>(n);
        while (m_iPendingBits >= 8) {
            m_iPendingBits -= 8;
            storeByte(static_cast<uint8_t>(m_uPending >> m_iPendingBits));
        }
        m_uPending &= (uint64_t{1} << m_iPendingBits) - 1;
    }

    // Byte-aligns with MPEG-4 stuffing (a 0 then ones; a whole 0x7F byte when already
    // aligned) and returns the number of stuffing bits (1 to 8).
    int align();

    const uint8_t* buffer() const { return m_rgBuffer.data(); }
    int byteCount() const { return m_iByteCount; }
    uint32_t totalBits() const { return m_uTotalBits; }
    // Bits still free in the byte under construction (8 when empty).
    int freeBits() const { return 8 - m_iPendingBits; }

  private:
    void storeByte(uint8_t byte) {
        if (static_cast<size_t>(m_iByteCount) == m_rgBuffer.size()) grow();
        m_rgBuffer[static_cast<size_t>(m_iByteCount)] = byte;
        ++m_iByteCount;
    }
    void grow();

    std::vector<uint8_t> m_rgBuffer;
    int m_iByteCount = 0;       // whole bytes stored since the last reset
    uint32_t m_uTotalBits = 0;  // every bit ever written
    uint64_t m_uPending = 0;    // bits of the byte under construction, in the low bits
    int m_iPendingBits = 0;     // how many (0 to 7 between two puts)
};
