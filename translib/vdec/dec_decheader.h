#pragma once
// Header decoding: the VOL, GOV and VOP headers of MPEG-4 streams, the picture and GOB
// headers of short-header (H.263) streams, and the start codes between them.

#include <cstdint>

#include "vdec/dec_records.h"

// Start codes (32 bits) and their prefix.
constexpr uint32_t kStartCodePrefix = 0x000001;
constexpr uint32_t kVisualObjectSequenceStartCode = 0x000001B0;
constexpr uint32_t kVisualObjectSequenceEndCode = 0x000001B1;
constexpr uint32_t kUserDataStartCode = 0x000001B2;
constexpr uint32_t kGroupOfVopStartCode = 0x000001B3;
constexpr uint32_t kVisualObjectStartCode = 0x000001B5;
constexpr uint32_t kVopStartCode = 0x000001B6;
constexpr uint32_t kVideoObjectStartCodeFirst = 0x00000100;
constexpr uint32_t kVideoObjectStartCodeLast = 0x0000011F;
constexpr uint32_t kVideoObjectLayerStartCodeFirst = 0x00000120;
constexpr uint32_t kVideoObjectLayerStartCodeLast = 0x0000012F;
constexpr uint32_t kShortVideoStartMarker = 0x20;  // 22 bits
constexpr uint32_t kShortVideoEndMarker = 0x3F;    // 22 bits
constexpr uint32_t kGobResyncMarker = 1;           // 17 bits

// Skips user data while the next 32 bits are user_data_start_code.
void skipUserData();

// Reads a visual object sequence header and the user data after it, when they are there.
void skipVisualObjectSequenceHeader();

// Reads a visual object header when it is there; then aligns to the byte boundary and
// skips user data.
void skipVisualObjectHeader();

// Reads a VOL header (its start code is next) into `vol`. Refusals print their message,
// fail the run and return false.
bool decodeVolHeader(VolMode* vol);

// A VOL header repeated between VOPs: reads it and returns true when it describes the same
// layer; a refused or different layer fails the job (false).
bool decodeRepeatedVolHeader();

// Whether two layers decode alike: size, shape, time-increment resolution, quantiser type
// and matrices, resync markers.
bool sameLayer(const VolMode& a, const VolMode& b);

// Video packets (MPEG-4 with resync markers). The resync marker has 16 + vop_fcode_forward
// bits in P-VOPs and 17 in I-VOPs (zeros, then a 1); it starts at a byte boundary, after
// stuffing like that of next_start_code().
bool resyncMarkerAhead(int markerBits);
void consumeResyncMarker(int markerBits);

// Bits of macroblock_number for a VOP of this many macroblocks.
int macroblockNumberBits(int macroblocks);

// Reads a video packet header after its resync marker: sets the running quantiser and
// returns macroblock_number. Fields repeated by the header extension that contradict the
// VOP header fail the job when `strict`, and otherwise give -1 (a header found while
// searching after an error).
int decodeVideoPacketHeader(int macroblocks, bool strict);

// Reads a GOV header (its start code is next). A GOV that is not closed but has a broken
// link fails the job and returns false.
bool decodeGovHeader();

// Reads a VOP header (its start code is next) into g_vopmd. Returns false when the job
// fails (the VOP is of a kind this decoder does not decode); the VOP is coded when
// g_vopmd->bVopCoded is set.
bool decodeVopHeader();

// Reads a short-header picture header into g_vopmd. Sets g_dec.bStop at the end of the
// sequence; fails the run when the header is not legal.
void decodeShortHeaderPicture();

// Short header: reads a GOB header when one starts here (never for the first GOB), and
// adds one to the segment counter when it does.
void decodeGobHeader(int* segmentCounter);

// The number of bits of vop_time_increment for a vop_time_increment_resolution.
int timeIncrementBits(int clockRate);

// Reads a quantiser matrix list (zigzag order) into a raster-order matrix.
void readQuantMatrix(uint8_t* matrix, const uint8_t* defaultMatrix);
