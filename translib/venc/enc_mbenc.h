#pragma once
// Macroblock texture coding: intra and inter macroblocks into their levels and their
// reconstruction, and the macroblock headers and texture data of I- and P-VOPs.

#include "venc/enc_bitstrm.h"
#include "venc/enc_mbwork.h"

// Copies the source macroblock at (column, row) of `source` into the work blocks.
void encCopySourceMB(EncMbContext* ctx, const EncPlanes& source, int column, int row);

// Codes the work macroblock as intra: transform, quantisation, DC/AC prediction, the
// prediction stores of the current row, and the reconstruction into `recon`.
void encCodeIntraMB(EncMbContext* ctx, const EncPlanes& recon, int column, int row,
                    EncMbMode* mode);

// Fills ctx->interLevelLimit for the run's quantisation method (quant_type 1 MPEG with
// ctx->interMatrix, 0 H.263).
void encBuildInterLevelLimits(EncMbContext* ctx, int quantType);

// Codes the residual of an inter macroblock (prediction and residual already in the work
// blocks, see encCompensate): levels, coded flags, bSkip and the reconstruction.
void encCodeInterMB(EncMbContext* ctx, const EncPlanes& recon, int column, int row, EncMbMode* mode,
                    const EncMotionVector* mvs);

// Macroblock headers; bits go to enc_g_statsMB.
void encWriteIVopMBHeader(COutBitStream* bs, const EncMbMode* mode);
void encWritePVopMBHeader(COutBitStream* bs, const EncMbMode* mode);

// Texture data of the six blocks; bits go to enc_g_statsMB.
void encWriteIntraTexture(COutBitStream* bs, const EncMbContext* ctx, const EncMbMode* mode);
void encWriteInterTexture(COutBitStream* bs, const EncMbContext* ctx, const EncMbMode* mode);
