#pragma once
// The decoder's records: the layer record g_volmd, the picture record g_vopmd, the
// per-macroblock record and the AC/DC prediction store. Both records are created at the
// start of each job and released at its end (dec_main).

#include <cstdint>

namespace vdec {

// Macroblock coding modes (dctMd). The first four are shared with the encoder.
enum MacroblockType : int32_t {
    INTRA = 0,
    INTRAQ = 1,
    INTER = 2,
    INTERQ = 3,
    INTER4V = 4,
    STUFFING = 7,  // only while a macroblock header meets a stuffing code
};

}  // namespace vdec

// video_object_layer_shape values.
enum : int32_t {
    kShapeRectangular = 0,
    kShapeBinary = 1,
    kShapeBinaryOnly = 2,
    kShapeGrayscale = 3
};

// Sequence-wide parameters of the stream.
struct VolMode {
    int32_t bScalability = 0;
    int32_t iVerId = 1;
    int32_t iTimeIncrBits = 1;  // bits of vop_time_increment, 1 to 16
    int32_t iWidth = 0;
    int32_t iHeight = 0;
    int32_t bNot8Bit = 0;
    int32_t iQuantPrecision = 5;
    int32_t nBits = 8;
    int32_t iClockRate = 0;  // vop_time_increment_resolution
    int32_t iShape = kShapeRectangular;
    int32_t bShortHeader = 0;
    int32_t bQuarterSample = 0;
    int32_t bResyncMarkerDisable = 1;
    int32_t bDataPartitioned = 0;
    int32_t bReversibleVlc = 0;
    int32_t iQuantType = 0;  // 0 H.263 inverse quantisation, 1 MPEG with matrices
    int32_t bLoadIntraMatrix = 0;
    int32_t bLoadInterMatrix = 0;
    uint8_t rgbIntraMatrix[64] = {};  // raster order
    uint8_t rgbInterMatrix[64] = {};
};

// Per-picture parameters. Fields a header does not code keep their previous values.
struct VopMode {
    int32_t iMBsInGob = 0;       // short header: macroblocks per GOB
    int32_t iGobsInPicture = 0;  // short header: GOBs per picture
    int32_t iGobNumber = 0;      // short header: GOB being decoded
    int32_t iQuantizer = 1;      // the running quantiser, 1 to 31
    int32_t iCodingType = 0;     // 0 intra, 1 predicted
    int32_t iIntraDcThr = 0;
    int32_t iRoundingType = 0;
    int32_t iFCode = 1;
    int32_t bVopCoded = 1;
    // Fields of the VOP header kept to check the repeats in video packet headers.
    int32_t iModuloTimeBase = 0;
    int32_t iTimeIncrement = 0;
};

extern VolMode* g_volmd;
extern VopMode* g_vopmd;

// Intra prediction data of one block: [0] the reconstructed DC, [1..7] the quantised
// first row, [8..14] the quantised first column (after AC prediction).
struct PredictionStore {
    int32_t v[15];
};

struct MacroblockMode {
    int32_t bNotCoded = 0;
    int32_t dctMd = vdec::INTRA;
    int32_t iQP = 1;
    int32_t iPredDir = 1;  // 1 from the left, 2 from above
    int32_t bACPred = 0;
    int32_t bIntraDcAsAc = 0;
    int32_t iCBP = 0;  // CBPY << 2 | CBPC; block b coded when bit 5 - b is set
    int32_t iPredQP = 1;
    const PredictionStore* pPredBlock = nullptr;
    const PredictionStore* pLeftStore = nullptr;  // six blocks of the neighbour, or none
    const PredictionStore* pAboveStore = nullptr;
    const PredictionStore* pAboveLeftStore = nullptr;
    int32_t iSegment = 0;  // GOB / video packet segment number
};

inline bool isIntraMode(int32_t dctMd) {
    return dctMd == vdec::INTRA || dctMd == vdec::INTRAQ;
}
