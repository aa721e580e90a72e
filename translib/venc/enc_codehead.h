#pragma once
// Stream-level headers (VO and VOL, written once) and the VOP header written at the start
// of every picture. Each adds its bits to the statistics records.

#include "venc/enc_bitstrm.h"

// Bits of vop_time_increment for a clock rate: 1 up to 2 ticks per second, otherwise the
// smallest k >= 1 with 2^k > iClockRate - 1, at most 16.
int encTimeIncrementBits(int iClockRate);

// The vop_time_increment of a VOP time in ticks: its ticks within its second.
int encTimeIncrement(int vopTime, int iClockRate, double dFrameRate);

// VO header (00 00 01 00) into enc_g_statsVOL.
void encWriteVOHeader(COutBitStream* bs);

// VOL header from enc_g_volmd and enc_g_vopmd, byte-aligned, into enc_g_statsVOL.
void encWriteVOLHeader(COutBitStream* bs);

// VOP header of the picture of type enc_g_vopmd->iCodingType at `vopTime` ticks with the
// quantiser `qp`, into enc_g_statsVOP.
void encWriteVOPHeader(COutBitStream* bs, int qp, int vopTime, int timeIncrementBits);
