#pragma once
// Block decoding: the intra DC coefficient, the coefficient events with their escape
// codes, intra AC/DC prediction, both inverse quantisations and the inverse DCT.

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

// DC scalers of a quantiser (1..31).
int lumaDcScaler(int qp);
int chromaDcScaler(int qp);

// Rounded division with halves away from zero (d > 0).
inline int32_t roundedDivide(int32_t a, int32_t d) {
    return (a >= 0 ? a + d / 2 : a - d / 2) / d;
}

// Inverse quantisation of one AC coefficient.
int32_t dequantH263(int32_t level, int qp);
int32_t dequantMpegIntra(int32_t level, int qp, int weight);
int32_t dequantMpegInter(int32_t level, int qp, int weight);

// MPEG mismatch control on a block of 64 dequantised coefficients.
void mismatchControl(int32_t* coef);

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
