#pragma once
// Block decoding: the intra DC coefficient, the coefficient events with their escape
// codes, intra AC/DC prediction, the inverse quantisation of a block (with the shared
// per-coefficient rules of dsp/quant.h) and the inverse DCT.

#include <cstdint>

#include "vdec/dec_records.h"

// One coefficient event.
struct CoefficientEvent {
    int last = 0;
    int run = 0;
    int level = 0;  // signed
};

// Reads one event with the intra (MPEG-4 intra blocks) or inter table. An invalid code
// prints "Invalid Huffman code", sets g_dec.bError and gives the event (0, 0, 0).
CoefficientEvent readCoefficientEvent(bool intraTable);

// Reads a DC differential of an MPEG-4 intra block (luma for blocks 0..3).
int readDcDifferential(bool luma);

// Rounded division with halves away from zero (d > 0).
inline int32_t roundedDivide(int32_t a, int32_t d) {
    return (a >= 0 ? a + d / 2 : a - d / 2) / d;
}

// Chooses the AC/DC prediction direction of block b (0..5) of the intra macroblock in
// column `col`; sets mb->iPredDir, pPredBlock, iPredQP.
void choosePredictionDirection(MacroblockMode* mb, int col, int b);

// Decodes an MPEG-4 intra block into 8x8 samples at dst and fills its prediction store.
void decodeIntraBlock(MacroblockMode* mb, PredictionStore* store, int dcScaler, uint8_t* dst,
                      int stride, int b);

// Decodes a short-header intra block into 8x8 samples at dst.
void decodeShortHeaderIntraBlock(const MacroblockMode* mb, uint8_t* dst, int stride, int b);

// Decodes an inter block into 64 residual values (raster order).
void decodeInterBlock(int32_t* residual, int qp);

// The steps of an MPEG-4 intra block after its coefficients are read: DC and AC
// prediction, inverse quantisation, the prediction store. `levels` holds the quantised
// values, `coef` receives the dequantised ones.
void reconstructIntraCoefficients(MacroblockMode* mb, PredictionStore* store, int dcScaler,
                                  int32_t* levels, int32_t* coef);
