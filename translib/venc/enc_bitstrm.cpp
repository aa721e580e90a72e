#include "venc/enc_bitstrm.h"

#include <new>

#include "venc/enc_global.h"

COutBitStream::COutBitStream() {
    try {
        m_rgBuffer.resize(kInitialBufferSize);
    } catch (const std::bad_alloc&) {
        encFail("buffer malloc failed!\n");
    }
}

int COutBitStream::align() {
    if (m_iPendingBits == 0) {
        put(0x7F, 8, "Stuffing");
        return 8;
    }
    const int n = freeBits();
    put((1u << (n - 1)) - 1, n, "Stuffing");
    return n;
}

void COutBitStream::grow() {
    try {
        m_rgBuffer.resize(m_rgBuffer.size() * 2);
    } catch (const std::bad_alloc&) {
        encFail("buffer malloc failed!\n");
    }
}
