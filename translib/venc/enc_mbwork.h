#pragma once
// Working state of macroblock coding, shared by texture coding and motion estimation: the
// geometry of the frame buffers, the picture origins of a frame, and the work blocks of the
// macroblock being coded.

#include <cstdint>
#include <vector>

#include "dsp/dsp.h"
#include "venc/enc_global.h"

// Geometry of every frame buffer of a run.
struct EncGeometry {
    int mbCols = 0, mbRows = 0;
    int alignedWidth = 0, alignedHeight = 0;
    int strideY = 0, strideC = 0;  // padded luma width and half of it
    int paddedHeight = 0;
};

// Picture origins (top-left picture sample) of the three planes of one frame buffer.
struct EncPlanes {
    uint8_t* y = nullptr;
    uint8_t* u = nullptr;
    uint8_t* v = nullptr;
};

// Work blocks of the current macroblock.
struct EncMbWork {
    alignas(16) uint8_t srcY[256];  // source luma, stride 16
    alignas(16) uint8_t srcU[64];   // source chroma, stride 8
    alignas(16) uint8_t srcV[64];
    alignas(16) uint8_t predY[256];  // motion-compensated prediction
    alignas(16) uint8_t predU[64];
    alignas(16) uint8_t predV[64];
    alignas(16) int16_t block[6][64];  // samples or residuals of the six blocks
    alignas(16) int16_t level[6][64];  // quantised levels of the six blocks
};

// Everything macroblock coding reads besides the current macroblock's own records.
struct EncMbContext {
    const dsp::Kernels* kernels = nullptr;     // the kernel table of this machine
    const dsp::QuantKernels* quant = nullptr;  // its quantisers of the run's method
    EncGeometry geo;
    EncMbWork work;
    dsp::QuantMatrix intraMatrix;
    dsp::QuantMatrix interMatrix;
    // Largest inter level whose dequantisation stays within -2048..2047, by QP (1 to 31)
    // and raster position: a larger level would make decoders that saturate and decoders
    // that do not rebuild different pictures.
    int16_t interLevelLimit[32][64] = {};
    EncMbMode* modeCurr = nullptr;             // current macroblock row, one record per column
    EncMbMode* modeAbove = nullptr;            // the row above
    EncPredStore* predCurr = nullptr;          // six stores per column, current row
    EncPredStore* predAbove = nullptr;         // the row above
    EncMotionVector* mvs = nullptr;            // five vectors per macroblock of the picture
    std::vector<dsp::SpiralStep> searchOrder;  // positions of the integer search
    const uint8_t* zoom = nullptr;             // zoom frame of the reference luma
    int zoomStride = 0;
    int complexitySum = 0;  // motion-search complexity of the current P-VOP
};
