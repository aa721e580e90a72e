#pragma once
// Motion estimation and vector coding of P-VOP macroblocks: the spiral integer search,
// half-pel refinement on the zoom frame, the intra/inter decision, motion compensation,
// and median prediction and coding of the vectors.

#include "venc/enc_bitstrm.h"
#include "venc/enc_mbwork.h"

// Derives iFCode, iMVRange and iMVScale from iSearchRangeForward (which it may lower by one
// when it equals half the vector range). Returns false for a range above 1024.
bool encDeriveMotionParameters(EncVopMode* vop);

// Repeats the edge samples of a frame's picture area (aligned size) into its border.
void encFillBorder(const EncPlanes& frame, const EncGeometry& geo);

// Motion estimation of the macroblock at (column, row) against the reference whose luma
// origin is refY: sets dctMd (and bSkip for INTRA), bFourMV and the five vectors, and adds
// to the complexity sum. The source macroblock is in ctx->work.srcY.
void encEstimate(EncMbContext* ctx, EncMbMode* mode, EncMotionVector* mvs, const uint8_t* refY,
                 int column, int row);

// Prediction and residual (source - prediction) of the six blocks of an inter macroblock.
void encCompensate(EncMbContext* ctx, const EncMotionVector* mvs, const EncPlanes& ref, int column,
                   int row);

// Writes the motion vector difference of the 16x16 vector of macroblock (column, row);
// returns the bits written.
int encWriteVector(COutBitStream* bs, const EncMbContext* ctx, int column, int row);

// Fills a vector record from a half-pel vector.
void encSetVector(EncMotionVector* mv, int x, int y);
