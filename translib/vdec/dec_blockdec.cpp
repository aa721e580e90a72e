#include "vdec/dec_blockdec.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/context.h"
#include "dsp/dsp.h"
#include "tables/std_tables.h"
#include "vdec/dec_session.h"
#include "vdec/dec_vlc.h"

namespace {

// DC value of a neighbour that cannot serve for prediction: 2^(bits + 2).
constexpr int32_t kMissingDc = 1024;

// Reads a table code: fills last, run and |level|; returns the entry kind.
inline uint8_t readTableCode(const vlc::TcoefEntry* table, CoefficientEvent* ev) {
    const vlc::TcoefEntry& e = table[g_bits.showBits(vlc::kTcoefBits)];
    if (e.kind == vlc::kTcoefInvalid) return e.kind;
    g_bits.flushBits(e.length);
    ev->last = e.last;
    ev->run = e.run;
    ev->level = e.level;
    return e.kind;
}

CoefficientEvent invalidCode() {
    std::printf("Invalid Huffman code\n");
    g_dec.bError = 1;
    return CoefficientEvent{};
}

// Escape of short-header pictures: last (1), run (6), level (8, two's complement).
CoefficientEvent readH263Escape() {
    CoefficientEvent ev;
    ev.last = int(g_bits.getBits(1));
    ev.run = int(g_bits.getBits(6));
    int level = int(g_bits.getBits(8));
    if (level == 0 || level == 128) {
        std::printf("Illegal LEVEL for ESCAPE mode 4: %d\n", level);
        abortDecoding();
    }
    ev.level = level > 128 ? level - 256 : level;
    return ev;
}

// Escape of MPEG-4 pictures, types 1 to 3.
CoefficientEvent readMpeg4Escape(bool intraTable) {
    const vlc::TcoefEntry* table = intraTable ? vlc::kTcoefIntraTable.e : vlc::kTcoefInterTable.e;
    CoefficientEvent ev;
    if (g_bits.getBit() == 0) {  // type 1: level offset
        if (readTableCode(table, &ev) != vlc::kTcoefCode) return invalidCode();
        ev.level += vlc::lmax(intraTable, ev.last, ev.run);
    } else if (g_bits.getBit() == 0) {  // type 2: run offset
        if (readTableCode(table, &ev) != vlc::kTcoefCode) return invalidCode();
        ev.run += vlc::rmax(intraTable, ev.last, ev.level) + 1;
    } else {  // type 3: fixed length
        ev.last = int(g_bits.getBits(1));
        ev.run = int(g_bits.getBits(6));
        g_bits.flushBits(1);  // marker
        int level = int(g_bits.getBits(12));
        g_bits.flushBits(1);  // marker
        ev.level = level >= 2048 ? level - 4096 : level;
        return ev;
    }
    if (g_bits.getBit()) ev.level = -ev.level;
    return ev;
}

// Reads the events of a block from scan position `position` up to the one marked last,
// handing each (raster position, signed level) to `store`. An error, or a position past
// 63 ("TOO MUCH COEFF !!"), sets g_dec.bError and ends the block with what was read.
// Returns the number of events stored.
template <typename Store>
int readBlockEvents(bool intraTable, int position, const uint8_t* scan, Store store) {
    int stored = 0;
    CoefficientEvent ev;
    do {
        ev = readCoefficientEvent(intraTable);
        position += ev.run;
        if (g_dec.bError) break;
        if (position >= 64) {
            std::printf("TOO MUCH COEFF !!");
            g_dec.bError = 1;
            break;
        }
        store(scan[position], ev.level);
        ++stored;
        ++position;
    } while (!ev.last);
    return stored;
}

// The prediction stores of a neighbour macroblock's block, or none.
inline const PredictionStore* blockOf(const PredictionStore* six, int b) {
    return six ? six + b : nullptr;
}

}  // namespace

CoefficientEvent readCoefficientEvent(bool intraTable) {
    const vlc::TcoefEntry* table = intraTable ? vlc::kTcoefIntraTable.e : vlc::kTcoefInterTable.e;
    CoefficientEvent ev;
    uint8_t kind = readTableCode(table, &ev);
    if (kind == vlc::kTcoefCode) {
        if (g_bits.getBit()) ev.level = -ev.level;
        return ev;
    }
    if (kind == vlc::kTcoefInvalid) return invalidCode();
    return g_dec.bShortHeader ? readH263Escape() : readMpeg4Escape(intraTable);
}

int readDcDifferential(bool luma) {
    int size;
    if (luma) {
        const vlc::DcSizeEntry& e = vlc::kDcSizeLumaTable.e[g_bits.showBits(vlc::kDcSizeLumaBits)];
        g_bits.flushBits(e.length);
        size = e.size;
    } else {
        const vlc::DcSizeEntry& e =
            vlc::kDcSizeChromaTable.e[g_bits.showBits(vlc::kDcSizeChromaBits)];
        g_bits.flushBits(e.length);
        size = e.size;
    }
    if (g_dec.bError) {
        std::printf("Error decoding INTRADC pred. size\n");
        return -1;
    }
    if (size == 0) return 0;
    int value = int(g_bits.getBits(size));
    int differential = (value >> (size - 1)) ? value : value - ((1 << size) - 1);
    if (size > 8) g_bits.flushBits(1);  // marker
    return differential;
}

void choosePredictionDirection(MacroblockMode* mb, int col, int b) {
    const PredictionStore* own = g_dec.g_rgpmbmCurr[col];
    const PredictionStore* left = nullptr;
    const PredictionStore* above = nullptr;
    const PredictionStore* aboveLeft = nullptr;
    int leftQp = mb->iQP, aboveQp = mb->iQP;
    switch (b) {
        case 0:
            left = blockOf(mb->pLeftStore, 1);
            above = blockOf(mb->pAboveStore, 2);
            aboveLeft = blockOf(mb->pAboveLeftStore, 3);
            break;
        case 1:
            left = own + 0;
            above = blockOf(mb->pAboveStore, 3);
            aboveLeft = blockOf(mb->pAboveStore, 2);
            break;
        case 2:
            left = blockOf(mb->pLeftStore, 3);
            above = own + 0;
            aboveLeft = blockOf(mb->pLeftStore, 1);
            break;
        case 3:
            left = own + 2;
            above = own + 1;
            aboveLeft = own + 0;
            break;
        default:
            left = blockOf(mb->pLeftStore, b);
            above = blockOf(mb->pAboveStore, b);
            aboveLeft = blockOf(mb->pAboveLeftStore, b);
            break;
    }
    if (b == 0 || b == 2 || b >= 4) leftQp = mb->pLeftStore ? g_dec.mbCurr[col - 1].iQP : 0;
    if (b < 2 || b >= 4) aboveQp = mb->pAboveStore ? g_dec.mbAbove[col].iQP : 0;

    const int32_t dcLeft = left ? left->v[0] : kMissingDc;
    const int32_t dcAbove = above ? above->v[0] : kMissingDc;
    const int32_t dcAboveLeft = aboveLeft ? aboveLeft->v[0] : kMissingDc;
    if (std::abs(dcAbove - dcAboveLeft) > std::abs(dcLeft - dcAboveLeft)) {
        mb->iPredDir = 2;
        mb->pPredBlock = above;
        mb->iPredQP = aboveQp;
    } else {
        mb->iPredDir = 1;
        mb->pPredBlock = left;
        mb->iPredQP = leftQp;
    }
}

void reconstructIntraCoefficients(MacroblockMode* mb, PredictionStore* store, int dcScaler,
                                  int32_t* levels, int32_t* coef) {
    const PredictionStore* pred = mb->pPredBlock;
    const int qp = mb->iQP;

    // DC prediction.
    int32_t predictorDc = pred ? pred->v[0] : kMissingDc;
    levels[0] = dsp::saturateCoef(levels[0] + roundedDivide(predictorDc, dcScaler));

    // AC prediction: the first column from the left, the first row from above.
    if (mb->bACPred && pred) {
        const bool scale = qp != mb->iPredQP;
        for (int i = 1; i < 8; ++i) {
            int raster = mb->iPredDir == 1 ? 8 * i : i;
            int32_t v = pred->v[mb->iPredDir == 1 ? 7 + i : i];
            if (scale) v = roundedDivide(v * mb->iPredQP, qp);
            levels[raster] = dsp::saturateCoef(levels[raster] + v);
        }
    }

    // Inverse quantisation.
    coef[0] = levels[0] * dcScaler;
    const VolMode* vol = g_volmd;
    if (vol->iQuantType == 0) {
        for (int i = 1; i < 64; ++i) coef[i] = dsp::dequantH263(levels[i], qp);
    } else {
        bool any = coef[0] != 0;
        for (int i = 1; i < 64; ++i) {
            coef[i] = dsp::dequantMpegIntra(levels[i], qp, vol->rgbIntraMatrix[i]);
            any |= coef[i] != 0;
        }
        if (any) dsp::mismatchControl(coef);
    }

    store->v[0] = coef[0];
    for (int i = 1; i < 8; ++i) {
        store->v[i] = levels[i];
        store->v[7 + i] = levels[8 * i];
    }
}

void decodeIntraBlock(MacroblockMode* mb, PredictionStore* store, int dcScaler, uint8_t* dst,
                      int stride, int b) {
    alignas(16) int32_t levels[64];
    alignas(16) int32_t coef[64];
    std::memset(levels, 0, sizeof levels);
    std::memset(coef, 0, sizeof coef);

    int position = 0;
    if (!mb->bIntraDcAsAc) {
        levels[0] = readDcDifferential(b < 4);
        position = 1;
    }
    if (mb->iCBP & (1 << (5 - b))) {
        const uint8_t* scan = tables::kScanZigzag;
        if (mb->bACPred)
            scan = mb->iPredDir == 1 ? tables::kScanAlternateVertical
                                     : tables::kScanAlternateHorizontal;
        readBlockEvents(true, position, scan,
                        [&](int raster, int32_t level) { levels[raster] = level; });
    }
    reconstructIntraCoefficients(mb, store, dcScaler, levels, coef);
    const dsp::TransformKernels& tx = dsp::kernels().tx;
    tx.idctRows16(coef);
    tx.putBlock(coef, dst, stride);
}

void decodeShortHeaderIntraBlock(const MacroblockMode* mb, uint8_t* dst, int stride, int b) {
    alignas(16) int32_t coef[64];
    std::memset(coef, 0, sizeof coef);
    int dc = int(g_bits.getBits(8));
    if (dc == 128) {
        std::printf("Illegal DC coeff: 1000000\n");
        abortDecoding();
    }
    if (dc == 255) dc = 128;
    coef[0] = dc * 8;
    if (mb->iCBP & (1 << (5 - b))) {
        const int qp = mb->iQP;
        readBlockEvents(false, 1, tables::kScanZigzag, [&](int raster, int32_t level) {
            coef[raster] = dsp::dequantH263(level, qp);
        });
    }
    const dsp::TransformKernels& tx = dsp::kernels().tx;
    tx.idctRows16(coef);
    tx.putBlock(coef, dst, stride);
}

void decodeInterBlock(int32_t* residual, int qp) {
    std::memset(residual, 0, 64 * sizeof(int32_t));
    const VolMode* vol = g_volmd;
    const bool mpeg = vol->iQuantType == 1;
    const int coded =
        readBlockEvents(false, 0, tables::kScanZigzag, [&](int raster, int32_t level) {
            residual[raster] = mpeg ? dsp::dequantMpegInter(level, qp, vol->rgbInterMatrix[raster])
                                    : dsp::dequantH263(level, qp);
        });
    if (mpeg && coded > 0) dsp::mismatchControl(residual);
    dsp::kernels().tx.idctRows16(residual);
}
