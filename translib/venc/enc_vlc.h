#pragma once
// Variable-length codes of the encoder: transform-coefficient events with the three escape
// modes, intra DC sizes, mcbpc, cbpy and motion vector codes. Each writer returns the number
// of bits it wrote.

#include "venc/enc_bitstrm.h"

// One run-level event of an intra (Table B-16) or inter (Table B-17) block; `level` is
// signed and non-zero, at most 2047 in magnitude.
int encPutTcoef(COutBitStream* bs, bool intra, int last, int run, int level);

// The intra DC difference with the luminance or chrominance size code.
int encPutIntraDC(COutBitStream* bs, int diff, bool luma);

// mcbpc of an I-VOP (mbType 3 or 4) or a P-VOP (mbType 0 to 4) macroblock.
int encPutMCBPCIntra(COutBitStream* bs, int mbType, int cbpc);
int encPutMCBPCInter(COutBitStream* bs, int mbType, int cbpc);

// cbpy as coded (intra pattern; inter macroblocks pass 15 - pattern).
int encPutCBPY(COutBitStream* bs, int cbpy);

// A motion code (-32..32): its magnitude's code, then a sign bit when non-zero.
int encPutMotionCode(COutBitStream* bs, int code);
