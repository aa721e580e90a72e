#pragma once
// Records shared by the encoder's modules: the statistics records, the macroblock mode
// record, motion vectors, prediction stores and the way a run is abandoned. The process-wide
// records are defined in enc_global.cpp.

#include <cstdint>

#include "venc/venc.h"

namespace venc {

// Macroblock coding modes (field dctMd); the decoder codes them the same way.
enum MacroblockType : int32_t { INTRA = 0, INTRAQ = 1, INTER = 2, INTERQ = 3, INTER4V = 4 };

}  // namespace venc

constexpr int enc_MB_SIZE = 16;
constexpr int enc_BLOCK_SIZE = 8;
constexpr int enc_BLOCK_SQUARE_SIZE = 64;
constexpr int enc_BLOCKS_PER_MB = 6;  // Y0, Y1, Y2, Y3, U, V
constexpr int enc_LUMA_BORDER = 16;   // border around the luma planes of every frame buffer
constexpr int enc_CHROMA_BORDER = 8;

// Bit counts per syntax category (one record for the stream headers, one per VOP, one
// per macroblock).
struct EncStats {
    int32_t nBitsHead;
    int32_t nBitsY, nBitsU, nBitsV;
    int32_t nBitsCOD, nBitsCBPY, nBitsMCBPC, nBitsDQUANT;
    int32_t nBitsReserved;
    int32_t nBitsACPred;
    int32_t nBitsStuffing;  // markers and alignment stuffing
    int32_t nSkipMB, nInterMB, nInter4VMB, nIntraMB;
    int32_t nReserved;
    int32_t nBitsMV;
    int32_t nBitsTotal;    // derived by encStatsTotal
    int32_t nBitsTexture;  // derived: Y, U, V, COD, CBPY, MCBPC, DQUANT, reserved, AC_PRED
    int32_t nCodedMB;      // P-VOP macroblocks that were not skipped
    int32_t nQPSum;        // sum of their quantisers
    double dUnused[3];
};

extern EncStats enc_g_statsVOL;
extern EncStats enc_g_statsVOP;
extern EncStats enc_g_statsMB;

void encStatsClear(EncStats* s);
void encStatsAdd(EncStats* to, const EncStats* from);
// Derives the texture total and the total; returns the total.
int32_t encStatsTotal(EncStats* s);

// Bits of modulo_time_base written before its terminating 0 in every VOP header.
extern int enc_g_nBitsModuloBase;
// First macroblock of the current video packet (the whole VOP is one packet).
extern int enc_g_iVPMBnum;

// Source frame number n of frame-rate conversion (the first source frame is 1); the video
// stage resets it before every job.
extern uint32_t enc_g_uiSourceFrame;

// One motion vector in half-pel units with its whole and half parts.
struct EncMotionVector {
    int32_t iMVX, iMVY;
    int32_t iIntX, iIntY;    // iMVX / 2, iMVY / 2, truncated toward zero
    int32_t iHalfX, iHalfY;  // iMVX - 2 * iIntX, likewise for y
};
constexpr int enc_MVS_PER_MB = 5;  // the 16x16 vector, then the four 8x8 vectors

// DC/AC prediction store of one intra block: [0] reconstructed DC, [1..7] first-row
// levels, [8..14] first-column levels (levels before prediction).
struct EncPredStore {
    int32_t v[15];
};

// Coding decisions of one macroblock (one record per column in each of two mode rows).
struct EncMbMode {
    int32_t bSkip;
    int32_t iReserved;
    int32_t dctMd;
    int32_t iDQuant;
    int32_t bFourMV;
    int32_t iQP;
    int32_t rgiPredDir[6];  // 1 predicted from the left block, 2 from the block above
    int32_t bACPred;
    int32_t bIntraDcAsAc;
    int32_t rgbCoded[6];
    int32_t rgiPredQP[6];
    const EncPredStore* rgpPredBlock[6];
    const EncPredStore* pLeftStores;  // the six stores of the left macroblock, or null
    const EncPredStore* pAboveStores;
    const EncPredStore* pAboveLeftStores;
    int32_t iGOBNumber;
};

// The encoder's counters are 32-bit: a result beyond the int32 range wraps around (two's
// complement) instead of overflowing.
inline int32_t encWrap32(int64_t v) {
    return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(v)));
}

// Thrown after the failure message of a run has been printed; the run's entry point
// catches it, fails the job and releases everything.
struct EncodeAbort {};

// Prints `message` (an exact diagnostic line) and abandons the run.
[[noreturn]] void encFail(const char* message);
