#include "venc/enc_mbenc.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "dsp/dsp.h"
#include "platform/trace.h"
#include "tables/std_tables.h"
#include "venc/enc_blockenc.h"
#include "venc/enc_vlc.h"

namespace {

using venc::INTER;
using venc::INTER4V;
using venc::INTERQ;
using venc::INTRA;
using venc::INTRAQ;

bool isIntra(int dctMd) {
    return dctMd == INTRA || dctMd == INTRAQ;
}

// Where block b of a macroblock lies: luma blocks in raster order inside the 16x16 block,
// then the two chroma blocks.
struct BlockPlace {
    uint8_t* dst;
    int stride;
};

BlockPlace reconPlace(const EncMbContext* ctx, const EncPlanes& recon, int column, int row, int b) {
    const EncGeometry& g = ctx->geo;
    if (b < 4) {
        uint8_t* mb = recon.y + 16 * row * g.strideY + 16 * column;
        return {mb + (b >> 1) * 8 * g.strideY + (b & 1) * 8, g.strideY};
    }
    uint8_t* plane = b == 4 ? recon.u : recon.v;
    return {plane + 8 * row * g.strideC + 8 * column, g.strideC};
}

// The prediction (or source) samples of block b in the work blocks, with their stride.
const uint8_t* workBlock(const uint8_t* y16, const uint8_t* u8, const uint8_t* v8, int b,
                         int* stride) {
    if (b < 4) {
        *stride = 16;
        return y16 + (b >> 1) * 8 * 16 + (b & 1) * 8;
    }
    *stride = 8;
    return b == 4 ? u8 : v8;
}

bool anyNonZero(const int16_t* level, int first) {
    for (int i = first; i < 64; ++i)
        if (level[i]) return true;
    return false;
}

// mb_type of the mcbpc tables for a coding mode.
int mbTypeOf(int dctMd) {
    switch (dctMd) {
        case INTER:
            return 0;
        case INTERQ:
            return 1;
        case INTER4V:
            return 2;
        case INTRA:
            return 3;
        default:
            return 4;
    }
}

int cbpcOf(const EncMbMode* mode) {
    return mode->rgbCoded[4] * 2 + mode->rgbCoded[5];
}

int cbpyOf(const EncMbMode* mode) {
    return (mode->rgbCoded[0] << 3) | (mode->rgbCoded[1] << 2) | (mode->rgbCoded[2] << 1) |
           mode->rgbCoded[3];
}

void putDQuant(COutBitStream* bs, int dquant, const char* message) {
    static const int kCodes[5] = {1, 0, -1, 2, 3};  // dquant -2..2 -> code
    if (dquant < -2 || dquant > 2) {
        platform::trace("%s", message);
        encFail("DQUANT >= -2 && DQUANT <= 2\n");
    }
    bs->put(static_cast<uint32_t>(kCodes[dquant + 2]), 2, "MB_DQUANT");
    enc_g_statsMB.nBitsDQUANT += 2;
}

void addTextureBits(int b, int bits) {
    if (b < 4)
        enc_g_statsMB.nBitsY += bits;
    else if (b == 4)
        enc_g_statsMB.nBitsU += bits;
    else
        enc_g_statsMB.nBitsV += bits;
}

}  // namespace

void encCopySourceMB(EncMbContext* ctx, const EncPlanes& source, int column, int row) {
    const EncGeometry& g = ctx->geo;
    EncMbWork& w = ctx->work;
    const uint8_t* y = source.y + 16 * row * g.strideY + 16 * column;
    for (int r = 0; r < 16; ++r) std::memcpy(w.srcY + 16 * r, y + r * g.strideY, 16);
    const uint8_t* u = source.u + 8 * row * g.strideC + 8 * column;
    const uint8_t* v = source.v + 8 * row * g.strideC + 8 * column;
    for (int r = 0; r < 8; ++r) {
        std::memcpy(w.srcU + 8 * r, u + r * g.strideC, 8);
        std::memcpy(w.srcV + 8 * r, v + r * g.strideC, 8);
    }
}

void encCodeIntraMB(EncMbContext* ctx, const EncPlanes& recon, int column, int row,
                    EncMbMode* mode) {
    const dsp::TransformKernels& tx = ctx->kernels->tx;
    const dsp::QuantKernels& quant = *ctx->quant;
    EncMbWork& w = ctx->work;
    const int qp = mode->iQP;
    // intra_dc_vlc_thr is 0: the intra DC is always coded with the DC size codes.
    mode->bIntraDcAsAc = 0;
    const int dcScalerY = dsp::lumaDcScaler(qp);
    const int dcScalerC = dsp::chromaDcScaler(qp);

    const bool leftOk = column > 0 && isIntra(ctx->modeCurr[column - 1].dctMd);
    const bool aboveOk = row > 0 && isIntra(ctx->modeAbove[column].dctMd);
    const bool aboveLeftOk = row > 0 && column > 0 && isIntra(ctx->modeAbove[column - 1].dctMd);
    mode->pLeftStores = leftOk ? ctx->predCurr + (column - 1) * enc_BLOCKS_PER_MB : nullptr;
    mode->pAboveStores = aboveOk ? ctx->predAbove + column * enc_BLOCKS_PER_MB : nullptr;
    mode->pAboveLeftStores =
        aboveLeftOk ? ctx->predAbove + (column - 1) * enc_BLOCKS_PER_MB : nullptr;

    EncPredStore* own = ctx->predCurr + column * enc_BLOCKS_PER_MB;
    EncIntraNeighbours nb;
    nb.left = mode->pLeftStores;
    nb.above = mode->pAboveStores;
    nb.aboveLeft = mode->pAboveLeftStores;
    nb.leftQP = leftOk ? ctx->modeCurr[column - 1].iQP : 0;
    nb.aboveQP = aboveOk ? ctx->modeAbove[column].iQP : 0;
    nb.aboveLeftQP = aboveLeftOk ? ctx->modeAbove[column - 1].iQP : 0;
    nb.own = own;
    nb.ownQP = qp;

    alignas(16) int16_t coef[64];
    alignas(16) int32_t out[64];
    int gainSum = 0;
    for (int b = 0; b < enc_BLOCKS_PER_MB; ++b) {
        const int dcScaler = b < 4 ? dcScalerY : dcScalerC;
        int srcStride;
        const uint8_t* src = workBlock(w.srcY, w.srcU, w.srcV, b, &srcStride);
        int16_t* samples = w.block[b];
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 8; ++c) samples[r * 8 + c] = src[r * srcStride + c];
        mode->rgpPredBlock[b] = nullptr;
        tx.fdct(samples, coef);
        quant.quantIntra(coef, w.level[b], qp, dcScaler, &ctx->intraMatrix);
        quant.dequantIntra(w.level[b], coef, qp, dcScaler, &ctx->intraMatrix);
        tx.idctRows32(coef, out);
        const BlockPlace place = reconPlace(ctx, recon, column, row, b);
        tx.putBlock(out, place.dst, place.stride);
        encFillPredStore(own + b, w.level[b], dcScaler);
        gainSum += encChoosePrediction(mode, nb, b, w.level[b]);
    }
    mode->bACPred = gainSum >= 0 ? 1 : 0;
    for (int b = 0; b < enc_BLOCKS_PER_MB; ++b) {
        encApplyPrediction(mode, b, w.level[b], b < 4 ? dcScalerY : dcScalerC);
        mode->rgbCoded[b] = anyNonZero(w.level[b], 1) ? 1 : 0;
    }
}

void encBuildInterLevelLimits(EncMbContext* ctx, int quantType) {
    // The largest magnitude a dequantised coefficient keeps without saturating.
    constexpr int32_t kLargest = dsp::kCoefMax;
    for (int qp = 1; qp < 32; ++qp)
        for (int i = 0; i < 64; ++i) {
            int32_t limit;
            if (quantType == 1) {
                // ((2L + 1) x QP x W) >> 4 <= 2047
                const int32_t step = qp * ctx->interMatrix.w[i];
                limit = step > 0 ? ((16 * kLargest + 15) / step - 1) / 2 : kLargest;
            } else {
                // QP x (2L + 1) - (1 for an even QP) <= 2047
                limit = ((kLargest + (qp % 2 == 0 ? 1 : 0)) / qp - 1) / 2;
            }
            ctx->interLevelLimit[qp][i] = static_cast<int16_t>(std::clamp(limit, 1, kLargest));
        }
}

void encCodeInterMB(EncMbContext* ctx, const EncPlanes& recon, int column, int row, EncMbMode* mode,
                    const EncMotionVector* mvs) {
    const dsp::TransformKernels& tx = ctx->kernels->tx;
    const dsp::QuantKernels& quant = *ctx->quant;
    EncMbWork& w = ctx->work;
    const int qp = mode->iQP;
    alignas(16) int16_t coef[64];
    alignas(16) int32_t out[64];
    bool anyCoded = false;
    for (int b = 0; b < enc_BLOCKS_PER_MB; ++b) {
        int predStride;
        const uint8_t* pred = workBlock(w.predY, w.predU, w.predV, b, &predStride);
        const BlockPlace place = reconPlace(ctx, recon, column, row, b);
        bool coded = false;
        // An all-zero residual transforms and quantises to zero levels.
        if (anyNonZero(w.block[b], 0)) {
            tx.fdct(w.block[b], coef);
            coded = quant.quantInter(coef, w.level[b], qp, &ctx->interMatrix);
            // No level may dequantise past the coefficient range (no limit is below 1,
            // so the coded flag stands).
            const int16_t* limit = ctx->interLevelLimit[qp];
            for (int i = 0; i < 64; ++i)
                w.level[b][i] =
                    static_cast<int16_t>(std::clamp<int>(w.level[b][i], -limit[i], limit[i]));
        } else {
            std::memset(w.level[b], 0, sizeof w.level[b]);
        }
        mode->rgbCoded[b] = coded ? 1 : 0;
        for (int r = 0; r < 8; ++r)
            std::memcpy(place.dst + r * place.stride, pred + r * predStride, 8);
        if (coded) {
            quant.dequantInter(w.level[b], coef, qp, &ctx->interMatrix);
            tx.idctRows32(coef, out);
            tx.addBlock(out, place.dst, place.stride);
        }
        anyCoded = anyCoded || coded;
    }
    bool zeroVector = mvs[0].iMVX == 0 && mvs[0].iMVY == 0;
    if (mode->bFourMV)
        for (int i = 1; i <= 4; ++i)
            zeroVector = zeroVector && mvs[i].iMVX == 0 && mvs[i].iMVY == 0;
    mode->bSkip = zeroVector && !anyCoded ? 1 : 0;
}

void encWriteIVopMBHeader(COutBitStream* bs, const EncMbMode* mode) {
    EncStats& s = enc_g_statsMB;
    const int cbpc = cbpcOf(mode);
    const int mbType = mode->dctMd == INTRAQ ? 4 : 3;
    s.nBitsMCBPC += encPutMCBPCIntra(bs, mbType, cbpc);
    bs->put(static_cast<uint32_t>(mode->bACPred), 1, "MB_ACPRED");
    s.nBitsACPred += 1;
    s.nBitsCBPY += encPutCBPY(bs, cbpyOf(mode));
    s.nIntraMB += 1;
    if (mode->dctMd == INTRAQ && mode->iDQuant != 0)
        putDQuant(bs, mode->iDQuant, "1: (DQUANT >= -2 && DQUANT <= 2) is not meet!\n");
}

void encWritePVopMBHeader(COutBitStream* bs, const EncMbMode* mode) {
    EncStats& s = enc_g_statsMB;
    bs->put(static_cast<uint32_t>(mode->bSkip), 1, "MB_Skip");
    s.nBitsCOD += 1;
    if (mode->bSkip) {
        s.nSkipMB += 1;
        return;
    }
    s.nCodedMB += 1;
    s.nQPSum += mode->iQP;
    const int cbpc = cbpcOf(mode);
    s.nBitsMCBPC += encPutMCBPCInter(bs, mbTypeOf(mode->dctMd), cbpc);
    const int cbpy = cbpyOf(mode);
    if (isIntra(mode->dctMd)) {
        bs->put(static_cast<uint32_t>(mode->bACPred), 1, "MB_ACPRED");
        s.nBitsACPred += 1;
        s.nBitsCBPY += encPutCBPY(bs, cbpy);
        s.nIntraMB += 1;
    } else {
        s.nBitsCBPY += encPutCBPY(bs, 15 - cbpy);
        if (mode->dctMd == INTER4V)
            s.nInter4VMB += 1;
        else
            s.nInterMB += 1;
    }
    if ((mode->dctMd == INTERQ || mode->dctMd == INTRAQ) && mode->iDQuant != 0)
        putDQuant(bs, mode->iDQuant, "2: (DQUANT >= -2 && DQUANT <= 2) is not meet!\n");
}

void encWriteIntraTexture(COutBitStream* bs, const EncMbContext* ctx, const EncMbMode* mode) {
    for (int b = 0; b < enc_BLOCKS_PER_MB; ++b) {
        const int16_t* level = ctx->work.level[b];
        int bits = 0;
        if (!mode->bIntraDcAsAc) bits += encPutIntraDC(bs, level[0], b < 4);
        if (mode->rgbCoded[b]) bits += encPutBlockLevels(bs, level, encIntraScan(mode, b), 1, true);
        addTextureBits(b, bits);
    }
}

void encWriteInterTexture(COutBitStream* bs, const EncMbContext* ctx, const EncMbMode* mode) {
    for (int b = 0; b < enc_BLOCKS_PER_MB; ++b) {
        if (!mode->rgbCoded[b]) continue;
        addTextureBits(b, encPutBlockLevels(bs, ctx->work.level[b], tables::kScanZigzag, 0, false));
    }
}
