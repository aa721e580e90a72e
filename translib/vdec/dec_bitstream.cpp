#include "vdec/dec_bitstream.h"

namespace {

// visual_object_sequence_end_code, placed right after the last byte of the file.
constexpr uint8_t kEndCode[4] = {0x00, 0x00, 0x01, 0xB1};

}  // namespace

void CInBitStream::attach(FILE* file) {
    m_file = file;
    m_eof = false;
    m_fileBytes = 0;
    m_tailBytes = 0;
    m_wordsLoaded = 0;
    fillHalf(0);
    fillHalf(1);
    m_half = 0;
    m_halfOffset = 0;
    m_stagePos = kStagingBytes;
    m_curr = loadWord();
    m_next = loadWord();
    m_bitsLeft = 32;
}

void CInBitStream::fillHalf(int half) {
    uint8_t* dst = m_input + half * kHalfBytes;
    size_t got = 0;
    if (!m_eof && m_file) {
        got = std::fread(dst, 1, kHalfBytes, m_file);
        m_fileBytes += got;
        if (got < size_t(kHalfBytes)) m_eof = true;
    } else {
        m_eof = true;
    }
    // Past the end of the file: the end code, then zeros.
    for (size_t i = got; i < size_t(kHalfBytes); ++i, ++m_tailBytes) {
        dst[i] = m_tailBytes < sizeof kEndCode ? kEndCode[m_tailBytes] : 0;
    }
    m_halfLoaded[half] = true;
}

void CInBitStream::refillStaging() {
    if (m_halfOffset == kHalfBytes) {
        // The half is used up: it becomes free, and reading goes on in the other one,
        // which is read from the file now if its bytes were used before.
        m_halfLoaded[m_half] = false;
        m_half ^= 1;
        m_halfOffset = 0;
        if (!m_halfLoaded[m_half]) fillHalf(m_half);
    }
    std::memcpy(m_staging, m_input + m_half * kHalfBytes + m_halfOffset, kStagingBytes);
    m_halfOffset += kStagingBytes;
    m_stagePos = 0;
}

void CInBitStream::nextStartCode() {
    int n = bitsToByteBoundary();
    if (n == 0) n = 8;
    uint32_t bits = getBits(n);
    if (bits != (1u << (n - 1)) - 1) std::fprintf(stderr, "stuffing bits not correct\n");
}
