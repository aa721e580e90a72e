#pragma once
// The box readers that box_table dispatches to, one family per file. Each is called with
// the stream at the box's first byte and returns 1 (accepted) or 0 (dropped).

#include "demux/box.h"

struct ByteStream;

// box_reader.cpp
int MP4_ReadBoxSkip(ByteStream* s, Mp4Box* box);

// boxes_headers.cpp
int MP4_ReadBox_ftyp(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_mvhd(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_tkhd(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_mdhd(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_hdlr(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_vmhd(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_smhd(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_hmhd(ByteStream* s, Mp4Box* box);

// boxes_dref.cpp
int MP4_ReadBox_dref(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_url(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_urn(ByteStream* s, Mp4Box* box);

// boxes_sample_tables.cpp
int MP4_ReadBox_stsd(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_stts(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_ctts(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_stsh(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_stsz(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_stsc(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_stco_co64(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_stss(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_stdp(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_padb(ByteStream* s, Mp4Box* box);

// boxes_edit.cpp
int MP4_ReadBox_elst(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_cprt(ByteStream* s, Mp4Box* box);

// boxes_codec.cpp
int MP4_ReadBox_esds(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_avcC(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_d263(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_damr(ByteStream* s, Mp4Box* box);

// boxes_cmov.cpp
int MP4_ReadBox_cmov(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_dcom(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_cmvd(ByteStream* s, Mp4Box* box);

// boxes_sample_entries.cpp
int MP4_ReadBox_sample_soun(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_sample_vide(ByteStream* s, Mp4Box* box);

// boxes_reference.cpp
int MP4_ReadBox_rdrf(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_rmdr(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_rmqu(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_rmvc(ByteStream* s, Mp4Box* box);

// boxes_text.cpp
int MP4_ReadBox_drms(ByteStream* s, Mp4Box* box);
int MP4_ReadBox_0xa9xxx(ByteStream* s, Mp4Box* box);
