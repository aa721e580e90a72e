#include "vdec/dec_mbdec.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "dsp/dsp.h"
#include "vdec/dec_blockdec.h"
#include "vdec/dec_decheader.h"
#include "vdec/dec_motion.h"
#include "vdec/dec_session.h"
#include "vdec/dec_vlc.h"

using vdec::INTER;
using vdec::INTER4V;
using vdec::INTERQ;
using vdec::INTRA;
using vdec::INTRAQ;
using vdec::STUFFING;

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
    const int lumaScaler = dsp::lumaDcScaler(qp);
    const int chromaScaler = dsp::chromaDcScaler(qp);
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
    const dsp::TransformKernels& tx = dsp::kernels().tx;
    alignas(16) int32_t residual[64];
    for (int b = 0; b < 6; ++b) {
        if (!(mb->iCBP & (1 << (5 - b)))) continue;
        decodeInterBlock(residual, mb->iQP);
        tx.addBlock(residual, dst[b], b < 4 ? ls : cs);
    }
}

void decodeMacroblock(MacroblockMode* mb, int col, int row, bool predicted, int* skipped) {
    const int mbNumber = row * g_dec.mbColumns + col;
    if (!predicted) {
        readIntraMacroblockHeader(mb, mbNumber);
        decodeIntraMacroblock(mb, col, row);
        if (g_dec.bError) std::printf("error!\n");
        return;
    }
    readInterMacroblockHeader(mb, mbNumber);
    decodeMotionVectors(mb, col, row);
    if (isIntraMode(mb->dctMd)) {
        decodeIntraMacroblock(mb, col, row);
    } else if (mb->bNotCoded) {
        ++*skipped;
        copyReferenceMacroblock(col, row);
    } else {
        decodeInterMacroblock(mb, col, row);
    }
}

// Value of the samples of a macroblock an I-VOP has no data for.
constexpr uint8_t kMidGrey = 128;

// A macroblock without usable data: the co-located reference area in P-VOPs, mid-grey in
// I-VOPs. It offers no vector and no intra prediction to its neighbours.
void concealMacroblock(MacroblockMode* mb, int col, int row, bool predicted) {
    mb->dctMd = INTER;
    mb->bNotCoded = 1;
    mb->iSegment = -1;
    for (MotionVector& v : g_mvRow[col]) v = MotionVector{};
    if (predicted) {
        copyReferenceMacroblock(col, row);
        return;
    }
    const int ls = g_dec.lumaStride, cs = g_dec.chromaStride;
    uint8_t* y = g_dec.current.y + 16 * row * ls + 16 * col;
    for (int i = 0; i < 16; ++i) std::memset(y + i * ls, kMidGrey, 16);
    const int offset = 8 * row * cs + 8 * col;
    for (int i = 0; i < 8; ++i) {
        std::memset(g_dec.current.u + offset + i * cs, kMidGrey, 8);
        std::memset(g_dec.current.v + offset + i * cs, kMidGrey, 8);
    }
}

// The video packets of an MPEG-4 VOP with resync markers. Each packet starts a new segment,
// so no prediction crosses a packet boundary; macroblocks a packet header jumps over, and
// the rest of a packet after a bit-stream error, are concealed.
class VideoPackets {
  public:
    VideoPackets(bool predicted, int macroblocks)
        : m_active(!g_dec.bShortHeader && !g_volmd->bResyncMarkerDisable),
          m_markerBits(predicted ? 16 + g_vopmd->iFCode : 17),
          m_macroblocks(macroblocks) {}

    bool active() const { return m_active; }
    bool conceals(int mbNumber) const { return m_concealRest || mbNumber < m_concealUntil; }

    // Before macroblock mbNumber (not the first): starts a packet when a resync marker
    // comes next; after an error, searches for the next packet.
    void beforeMacroblock(int mbNumber, int* segment) {
        if (conceals(mbNumber)) return;
        if (g_dec.bError) {
            recover(mbNumber, segment);
            return;
        }
        if (!resyncMarkerAhead(m_markerBits)) return;
        consumeResyncMarker(m_markerBits);
        const int first = decodeVideoPacketHeader(m_macroblocks, true);
        if (first < mbNumber || first >= m_macroblocks) {
            std::printf("video packet starts at macroblock %d, expected %d to %d!\n", first,
                        mbNumber, m_macroblocks - 1);
            abortDecoding();
        }
        startPacket(first, segment);
    }

  private:
    void startPacket(int first, int* segment) {
        m_concealUntil = first;
        ++*segment;
    }

    // Searches the byte-aligned positions after an error for the resync marker of a packet
    // ahead; a start code or the end of the data ends the VOP's macroblocks.
    void recover(int mbNumber, int* segment) {
        for (;;) {
            g_bits.byteAlign();
            if (g_bits.showBits(24) == kStartCodePrefix || g_bits.pastEnd()) {
                m_concealRest = true;
                return;
            }
            if (g_bits.showBits(m_markerBits) != 1) {
                g_bits.flushBits(8);
                continue;
            }
            g_bits.flushBits(m_markerBits);
            const int first = decodeVideoPacketHeader(m_macroblocks, false);
            // A packet behind the macroblocks already decoded is passed over.
            if (first >= mbNumber && first < m_macroblocks) {
                g_dec.bError = 0;
                startPacket(first, segment);
                return;
            }
        }
    }

    bool m_active;
    int m_markerBits;
    int m_macroblocks;
    int m_concealUntil = 0;
    bool m_concealRest = false;
};

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
    VideoPackets packets(predicted, columns * g_dec.mbRows);

    for (int g = 0; g < gobs; ++g) {
        if (g_dec.bShortHeader) decodeGobHeader(&segment);
        const int firstRow = g * mbsInGob / columns;
        const int endRow = std::min((g + 1) * mbsInGob / columns, g_dec.mbRows);
        for (int row = firstRow; row < endRow; ++row) {
            for (int col = 0; col < columns; ++col) {
                MacroblockMode* mb = &g_dec.mbCurr[col];
                const int mbNumber = row * columns + col;
                if (packets.active() && mbNumber > 0) packets.beforeMacroblock(mbNumber, &segment);
                if (packets.conceals(mbNumber)) {
                    concealMacroblock(mb, col, row, predicted);
                    continue;
                }
                mb->iSegment = segment;
                decodeMacroblock(mb, col, row, predicted, &skipped);
                // Within a video packet an error spoils the rest of the packet only.
                if (packets.active() && g_dec.bError) concealMacroblock(mb, col, row, predicted);
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
