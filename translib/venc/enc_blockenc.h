#pragma once
// Block-level texture coding: intra DC/AC prediction (direction, AC gain,
// applying the prediction) and the run-level coding of a block's levels.

#include <cstdint>

#include "venc/enc_bitstrm.h"
#include "venc/enc_global.h"

// The neighbourhood of an intra macroblock for DC/AC prediction: the prediction stores of
// its left, above and above-left macroblocks (null when unavailable) with their
// quantisers, and its own stores (filled block by block as the macroblock is coded).
struct EncIntraNeighbours {
    const EncPredStore* left;
    const EncPredStore* above;
    const EncPredStore* aboveLeft;
    int leftQP, aboveQP, aboveLeftQP;
    const EncPredStore* own;
    int ownQP;
};

// Value of an unavailable predictor's DC (2^(nBits + 2)).
constexpr int enc_DEFAULT_DC = 1024;

// Chooses the prediction direction of block b from the DC values of its three predictor
// blocks, records the direction, predictor and its quantiser in `mode`, and returns the
// block's AC gain (the saving of predicting its first row or column; -100000 when a
// difference would reach 127 in magnitude).
int encChoosePrediction(EncMbMode* mode, const EncIntraNeighbours& nb, int b, const int16_t* level);

// Subtracts the DC prediction and, when bACPred is set and a predictor exists, the AC
// prediction from the levels of block b.
void encApplyPrediction(const EncMbMode* mode, int b, int16_t* level, int dcScaler);

// Fills a block's prediction store from its unpredicted levels.
void encFillPredStore(EncPredStore* store, const int16_t* level, int dcScaler);

// The scan of an intra block (alternate-vertical, alternate-horizontal or zigzag).
const uint8_t* encIntraScan(const EncMbMode* mode, int b);

// Codes the levels of a block from scan position `first` as run-level events; returns
// the bits written.
int encPutBlockLevels(COutBitStream* bs, const int16_t* level, const uint8_t* scan, int first,
                      bool intra);
