#pragma once
// Motion vectors and motion-compensated prediction of P-pictures: vector decoding with
// median prediction, the filled border of the reference frame, half-sample interpolation
// and skipped macroblocks.

#include <cstdint>

#include "vdec/dec_records.h"
#include "vdec/dec_session.h"

// Predictor of one vector from three candidates, each usable or not; an unusable one
// counts as (0, 0). One usable candidate is the predictor; otherwise the median.
MotionVector predictVector(const MotionVector* candidates[3], const bool usable[3]);

// Adds a decoded difference to a predictor component and wraps the result into the
// range -32 f .. 32 f - 1 of vop_fcode_forward (f = 2^(fcode - 1)).
int32_t wrapVectorComponent(int32_t predictor, int32_t difference, int fcode);

// Reads a motion_code (-32 to 32); an invalid code sets g_dec.bError and counts as -1.
int readMotionCode();

// Decodes the vectors of the P-macroblock in column `col`, row `row` into g_mvRow[col].
void decodeMotionVectors(const MacroblockMode* mb, int col, int row);

// Fills the 16 (luma) and 8 (chroma) sample border of the reference frame from the edge
// samples of its coded area.
void fillReferenceBorder();

// Writes the motion-compensated prediction of the inter macroblock at (col, row) into the
// current frame.
void predictInterMacroblock(const MacroblockMode* mb, int col, int row);

// A skipped macroblock: the co-located area of the reference, unchanged.
void copyReferenceMacroblock(int col, int row);
