#pragma once
// Macroblock decoding: the picture loop over GOBs, rows and macroblocks, and the
// macroblock headers of I- and P-pictures.

// Decodes the macroblocks of the picture whose header was just read into the current
// frame: an I-picture when g_vopmd->iCodingType is 0, otherwise a P-picture.
void decodePicture();

// Reads MCBPC with the I- or P-picture table, the CBPC into *cbpc. The I-picture reader
// returns the table's macroblock type (3 intra, 4 intra+q, 7 stuffing), the P-picture
// reader the coding mode (INTER ... INTRAQ, or STUFFING). An invalid code prints its
// message and sets g_dec.bError.
int readMcbpcIntra(int* cbpc);
int readMcbpcInter(int* cbpc);

// Reads CBPY; returns the intra meaning (inter macroblocks use 15 minus it).
int readCbpy();
