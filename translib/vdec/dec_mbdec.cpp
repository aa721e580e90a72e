#include "vdec/dec_mbdec.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "vdec/dec_blockdec.h"
#include "vdec/dec_decheader.h"
#include "vdec/dec_kernels.h"
#include "vdec/dec_motion.h"
#include "vdec/dec_session.h"
#include "vdec/dec_vlc.h"

namespace {

// Macroblock type of the P-picture MCBPC table (0..4) to coding mode.
constexpr int32_t kInterTypeToMode[5] = {INTER, INTERQ, INTER4V, INTRA, INTRAQ};

// dquant (2 bits) to quantiser change.
constexpr int kDquant[4] = {-1, -2, 1, 2};

// dquant, then the range check: a quantiser outside 1..31 is replaced by the macroblock's
// previous one.
void applyQuantiser(MacroblockMode* mb, bool withDquant, const char* rangeMessage) {
    VopMode* vop = g_vopmd;
    if (withDquant) vop->iQuantizer += kDquant[g_bits.getBits(2)];
    if (vop->iQuantizer > 31 || vop->iQuantizer < 1) {
        std::printf("%s", rangeMessage);
        vop->iQuantizer = std::clamp(mb->iQP, 1, 31);
    }
    mb->iQP = vop->iQuantizer;
}

void readIntraMacroblockHeader(MacroblockMode* mb, int mbNumber) {
    mb->bNotCoded = 0;
    int cbpc = 0;
    do {
        mb->dctMd = INTRA;
        int type = readMcbpcIntra(&cbpc);
        if (type == 4) mb->dctMd = INTRAQ;
        if (type == STUFFING) mb->dctMd = STUFFING;
        if (g_dec.bError) {
            std::printf("Error decoding MCBPC of macroblock\n");
            if (mb->dctMd == STUFFING) mb->dctMd = INTRA;
            return;
        }
    } while (mb->dctMd == STUFFING);
    mb->bACPred = g_dec.bShortHeader ? 0 : int32_t(g_bits.getBit());
    int cbpy = readCbpy();
    if (g_dec.bError) {
        std::printf("Error decoding CBPY of macroblock 2 %d\n", mbNumber);
        return;
    }
    mb->iCBP = cbpy * 4 + cbpc;
    applyQuantiser(mb, mb->dctMd == INTRAQ, "QUANTIZER out of range 2!\n");
}

void readInterMacroblockHeader(MacroblockMode* mb, int mbNumber) {
    mb->bNotCoded = 0;
    mb->dctMd = INTER;
    int cbpc = 0;
    for (;;) {
        if (g_bits.getBit()) {
            mb->bNotCoded = 1;
            mb->dctMd = INTER;
            return;
        }
        int type = readMcbpcInter(&cbpc);
        mb->dctMd = type;
        if (g_dec.bError) {
            std::printf("Error decoding MCBPC of macroblock\n");
            if (mb->dctMd == STUFFING) mb->dctMd = INTER;
            return;
        }
        if (mb->dctMd != STUFFING) break;
    }
    const bool intra = isIntraMode(mb->dctMd);
    mb->bACPred = (!g_dec.bShortHeader && intra) ? int32_t(g_bits.getBit()) : 0;
    int cbpy = readCbpy();
    if (g_dec.bError) {
        std::printf("Error decoding CBPY of macroblock 3 %d\n", mbNumber);
        return;
    }
    if (!intra) cbpy = 15 - cbpy;
    mb->iCBP = cbpy * 4 + cbpc;
    applyQuantiser(mb, mb->dctMd == INTRAQ || mb->dctMd == INTERQ, "QUANTIZER out of range! 3\n");
}

void decodeIntraMacroblock(MacroblockMode* mb, int col, int row) {
    const int qp = mb->iQP;
    const int lumaScaler = lumaDcScaler(qp);
    const int chromaScaler = chromaDcScaler(qp);
    const int thr = g_vopmd->iIntraDcThr;
    mb->bIntraDcAsAc = thr == 7 || (thr >= 1 && thr <= 6 && qp >= 2 * thr + 11);

    const FrameStore& cur = g_dec.current;
    const int ls = g_dec.lumaStride, cs = g_dec.chromaStride;
    uint8_t* dst[6];
    uint8_t* y = cur.y + 16 * row * ls + 16 * col;
    dst[0] = y;
    dst[1] = y + 8;
    dst[2] = y + 8 * ls;
    dst[3] = y + 8 * ls + 8;
    dst[4] = cur.u + 8 * row * cs + 8 * col;
    dst[5] = cur.v + 8 * row * cs + 8 * col;

    if (g_dec.bShortHeader) {
        for (int b = 0; b < 6; ++b) decodeShortHeaderIntraBlock(mb, dst[b], b < 4 ? ls : cs, b);
        return;
    }
    const int segment = mb->iSegment;
    auto usable = [segment](const MacroblockMode& n) {
        return isIntraMode(n.dctMd) && n.iSegment == segment;
    };
    mb->pLeftStore =
        col > 0 && usable(g_dec.mbCurr[col - 1]) ? g_dec.g_rgpmbmCurr[col - 1] : nullptr;
    mb->pAboveStore = row > 0 && usable(g_dec.mbAbove[col]) ? g_dec.g_rgpmbmAbove[col] : nullptr;
    mb->pAboveLeftStore = col > 0 && row > 0 && usable(g_dec.mbAbove[col - 1])
                              ? g_dec.g_rgpmbmAbove[col - 1]
                              : nullptr;
    PredictionStore* stores = g_dec.g_rgpmbmCurr[col];
    for (int b = 0; b < 6; ++b) {
        choosePredictionDirection(mb, col, b);
        decodeIntraBlock(mb, &stores[b], b < 4 ? lumaScaler : chromaScaler, dst[b], b < 4 ? ls : cs,
                         b);
    }
}

void decodeInterMacroblock(const MacroblockMode* mb, int col, int row) {
    predictInterMacroblock(mb, col, row);
    const FrameStore& cur = g_dec.current;
    const int ls = g_dec.lumaStride, cs = g_dec.chromaStride;
    uint8_t* y = cur.y + 16 * row * ls + 16 * col;
    uint8_t* dst[6] = {y,
                       y + 8,
                       y + 8 * ls,
                       y + 8 * ls + 8,
                       cur.u + 8 * row * cs + 8 * col,
                       cur.v + 8 * row * cs + 8 * col};
    const vdec::DecoderKernels& k = vdec::decoderKernels();
    alignas(16) int32_t residual[64];
    for (int b = 0; b < 6; ++b) {
        if (!(mb->iCBP & (1 << (5 - b)))) continue;
        decodeInterBlock(residual, mb->iQP);
        k.addBlock(residual, dst[b], b < 4 ? ls : cs);
    }
}

}  // namespace

int readMcbpcIntra(int* cbpc) {
    const vlc::McbpcEntry& e = vlc::kMcbpcIntraTable.e[g_bits.showBits(vlc::kMcbpcBits)];
    if (e.length == 0) {
        std::printf("Invalid MCBPCintra code\n");
        g_dec.bError = 1;
        *cbpc = 0;
        return INTRA;
    }
    g_bits.flushBits(e.length);
    *cbpc = e.cbpc;
    return e.type;
}

int readMcbpcInter(int* cbpc) {
    const vlc::McbpcEntry& e = vlc::kMcbpcInterTable.e[g_bits.showBits(vlc::kMcbpcBits)];
    if (e.length == 0) {
        std::printf("Invalid MCBPC code\n");
        g_dec.bError = 1;
        *cbpc = 0;
        return INTER;
    }
    g_bits.flushBits(e.length);
    *cbpc = e.cbpc;
    return e.type == STUFFING ? STUFFING : kInterTypeToMode[e.type];
}

int readCbpy() {
    const vlc::CbpyEntry& e = vlc::kCbpyTable.e[g_bits.showBits(vlc::kCbpyBits)];
    if (e.length == 0) {
        std::printf("Invalid CBPY4 code\n");
        g_dec.bError = 1;
        return 0;
    }
    g_bits.flushBits(e.length);
    return e.cbpyIntra;
}

void decodePicture() {
    const bool predicted = g_vopmd->iCodingType != 0;
    int skipped = 0;
    if (predicted) fillReferenceBorder();

    const int columns = g_dec.mbColumns;
    int gobs = 1;
    int mbsInGob = columns * g_dec.mbRows;
    if (g_dec.bShortHeader) {
        gobs = g_vopmd->iGobsInPicture;
        mbsInGob = g_vopmd->iMBsInGob;
    }
    g_dec.mbCurr = g_mbRows[0];
    g_dec.mbAbove = g_mbRows[1];
    int segment = 0;

    for (int g = 0; g < gobs; ++g) {
        if (g_dec.bShortHeader) decodeGobHeader(&segment);
        const int firstRow = g * mbsInGob / columns;
        const int endRow = std::min((g + 1) * mbsInGob / columns, g_dec.mbRows);
        for (int row = firstRow; row < endRow; ++row) {
            for (int col = 0; col < columns; ++col) {
                MacroblockMode* mb = &g_dec.mbCurr[col];
                mb->iSegment = segment;
                const int mbNumber = row * columns + col;
                if (!predicted) {
                    readIntraMacroblockHeader(mb, mbNumber);
                    decodeIntraMacroblock(mb, col, row);
                    if (g_dec.bError) std::printf("error!\n");
                    continue;
                }
                readInterMacroblockHeader(mb, mbNumber);
                decodeMotionVectors(mb, col, row);
                if (isIntraMode(mb->dctMd)) {
                    decodeIntraMacroblock(mb, col, row);
                } else if (mb->bNotCoded) {
                    ++skipped;
                    copyReferenceMacroblock(col, row);
                } else {
                    decodeInterMacroblock(mb, col, row);
                }
            }
            std::swap(g_dec.mbCurr, g_dec.mbAbove);
            std::swap(g_dec.g_rgpmbmCurr, g_dec.g_rgpmbmAbove);
        }
        ++g_vopmd->iGobNumber;
        if (g_bits.showBits(17) != kGobResyncMarker &&
            g_bits.showBitsAligned(17) == kGobResyncMarker)
            g_bits.byteAlign();
    }
    if (predicted) std::printf("%d MB skipped\n", skipped);
}
