#include "venc/enc_blockenc.h"

#include <cstdlib>

#include "dsp/quant.h"
#include "tables/std_tables.h"
#include "venc/enc_vlc.h"

namespace {

constexpr int kGainRejected = -100000;  // AC gain of a block whose difference reaches 127
constexpr int kMaxAcDifference = 127;

// Predictor store of block b in a neighbour, with its quantiser.
struct Predictor {
    const EncPredStore* store;
    int qp;
};

Predictor leftOf(const EncIntraNeighbours& nb, int b) {
    switch (b) {
        case 0:
            return {nb.left ? nb.left + 1 : nullptr, nb.leftQP};
        case 1:
            return {nb.own + 0, nb.ownQP};
        case 2:
            return {nb.left ? nb.left + 3 : nullptr, nb.leftQP};
        case 3:
            return {nb.own + 2, nb.ownQP};
        default:
            return {nb.left ? nb.left + b : nullptr, nb.leftQP};
    }
}

Predictor aboveOf(const EncIntraNeighbours& nb, int b) {
    switch (b) {
        case 0:
            return {nb.above ? nb.above + 2 : nullptr, nb.aboveQP};
        case 1:
            return {nb.above ? nb.above + 3 : nullptr, nb.aboveQP};
        case 2:
            return {nb.own + 0, nb.ownQP};
        case 3:
            return {nb.own + 1, nb.ownQP};
        default:
            return {nb.above ? nb.above + b : nullptr, nb.aboveQP};
    }
}

const EncPredStore* aboveLeftOf(const EncIntraNeighbours& nb, int b) {
    switch (b) {
        case 0:
            return nb.aboveLeft ? nb.aboveLeft + 3 : nullptr;
        case 1:
            return nb.above ? nb.above + 2 : nullptr;
        case 2:
            return nb.left ? nb.left + 1 : nullptr;
        case 3:
            return nb.own + 0;
        default:
            return nb.aboveLeft ? nb.aboveLeft + b : nullptr;
    }
}

int dcOf(const EncPredStore* s) {
    return s ? s->v[0] : enc_DEFAULT_DC;
}

// P / q for the predictor level P of a block quantised with qp: (|P x qp| / q) rounded,
// with the sign of P x qp.
int scaledPrediction(int level, int predQP, int qp) {
    const int p = level * predQP;
    const int magnitude = (std::abs(p) * dsp::kReciprocal[qp] + 32768) >> 16;
    return p < 0 ? -magnitude : magnitude;
}

// Raster position of the k-th (1..7) first-row or first-column level.
int acPosition(int direction, int k) {
    return direction == 2 ? k : 8 * k;
}
// Index of that level in a prediction store.
int storeIndex(int direction, int k) {
    return direction == 2 ? k : 7 + k;
}

}  // namespace

int encChoosePrediction(EncMbMode* mode, const EncIntraNeighbours& nb, int b,
                        const int16_t* level) {
    const Predictor left = leftOf(nb, b);
    const Predictor above = aboveOf(nb, b);
    const int fLeft = dcOf(left.store);
    const int fAbove = dcOf(above.store);
    const int fAboveLeft = dcOf(aboveLeftOf(nb, b));
    const bool fromAbove = std::abs(fLeft - fAboveLeft) < std::abs(fAbove - fAboveLeft);
    const int direction = fromAbove ? 2 : 1;
    const Predictor chosen = fromAbove ? above : left;
    mode->rgiPredDir[b] = direction;
    mode->rgpPredBlock[b] = chosen.store;
    if (chosen.store) mode->rgiPredQP[b] = chosen.qp;
    if (!chosen.store) return 0;

    int gain = 0;
    for (int k = 1; k <= 7; ++k) {
        const int pred =
            scaledPrediction(chosen.store->v[storeIndex(direction, k)], chosen.qp, mode->iQP);
        const int l = level[acPosition(direction, k)];
        const int d = l - pred;
        if (d <= -kMaxAcDifference || d >= kMaxAcDifference) return kGainRejected;
        gain += std::abs(l) - std::abs(d);
    }
    return gain;
}

void encApplyPrediction(const EncMbMode* mode, int b, int16_t* level, int dcScaler) {
    const EncPredStore* pred = mode->rgpPredBlock[b];
    const int rdc = dsp::kReciprocal[dcScaler];
    if (!pred) {
        level[0] = static_cast<int16_t>(level[0] - ((rdc * enc_DEFAULT_DC + 32768) >> 16));
        return;
    }
    const int fp = pred->v[0];
    const int dcPred = (std::abs(fp) * rdc + 32768) >> 16;
    level[0] = static_cast<int16_t>(level[0] - (fp < 0 ? -dcPred : dcPred));
    if (!mode->bACPred) return;
    const int direction = mode->rgiPredDir[b];
    for (int k = 1; k <= 7; ++k) {
        const int p =
            scaledPrediction(pred->v[storeIndex(direction, k)], mode->rgiPredQP[b], mode->iQP);
        level[acPosition(direction, k)] = static_cast<int16_t>(level[acPosition(direction, k)] - p);
    }
}

void encFillPredStore(EncPredStore* store, const int16_t* level, int dcScaler) {
    store->v[0] = level[0] * dcScaler;
    for (int k = 1; k <= 7; ++k) {
        store->v[k] = level[k];
        store->v[7 + k] = level[8 * k];
    }
}

const uint8_t* encIntraScan(const EncMbMode* mode, int b) {
    if (mode->bACPred) {
        return mode->rgiPredDir[b] == 1 ? tables::kScanAlternateVertical
                                        : tables::kScanAlternateHorizontal;
    }
    return tables::kScanZigzag;
}

int encPutBlockLevels(COutBitStream* bs, const int16_t* level, const uint8_t* scan, int first,
                      bool intra) {
    int bits = 0;
    int run = 0;
    int pendingRun = 0, pendingLevel = 0;
    bool pending = false;
    for (int i = first; i < 64; ++i) {
        const int l = level[scan[i]];
        if (l == 0) {
            ++run;
            continue;
        }
        if (pending) bits += encPutTcoef(bs, intra, 0, pendingRun, pendingLevel);
        pending = true;
        pendingRun = run;
        pendingLevel = l;
        run = 0;
    }
    if (pending) bits += encPutTcoef(bs, intra, 1, pendingRun, pendingLevel);
    return bits;
}
