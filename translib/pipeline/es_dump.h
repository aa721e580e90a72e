#pragma once
// The stream dump: the pipeline's stream sink (EsOut). Video samples go, behind the
// stream's decoder-specific bytes, into the video elementary-stream file; AMR frames are
// collected in memory; AAC frames are decoded (at once, or on a thread of their own), brought
// to 16 kHz mono and written to the PCM file; other streams get files of their own.

#include <cstdint>

#include "demux/demux.h"
#include "demux/es_out.h"

// Opens a sink whose stream files are named with `prefix` (the source's directory).
// Returns 0, or -1 ("esdump_Open, malloc failed").
int esdump_Open(const char* prefix, EsOut** out);
// Frees every stream record (closing its file) and the sink.
void esdump_Close(EsOut* out);

// What the pipeline does when the demultiplexer reports what it reads, the hooks that
// preparation hands to DEMUX_Open beside the sink: an mp4a sample entry opens the PCM file
// (unless it is open already); an AAC track opens the AAC decoder on its configuration and
// sets the resampler up for the 16 kHz of the audio section.
DemuxHooks esdump_DemuxHooks();

EsOutStream* esdump_Add(EsOut* out, const EsDescriptor* descriptor);
int esdump_Send(EsOut* out, EsOutStream* handle, Block* block);
int esdump_Control(EsOut* out, int query, ...);

// Stream records: numbers come from one counter for the whole process.
int es_id_Alloc(EsOutStream** out);
int es_id_Del(EsOutStream** list, EsOutStream* record);
void es_id_FreeList(EsOutStream** list);

// AAC decoding beside the rest of the job: while on, the AAC frames the sink receives are
// decoded into the PCM file by a thread of their own (started with the first frame), and
// the PCM file is complete only after esdump_FinishAacDecoding(). Off by default: the
// frames are decoded as they come, and the file is complete when the demultiplexer ends.
void esdump_DecodeAacInBackground(bool on);
// Waits for the AAC thread to decode everything it was given, or stops it at once
// dropping what waits (`abandon`). False when a frame could not be decoded or written
// (a write failure also shows in esdump_WriteFailed()). True when no thread ran.
bool esdump_FinishAacDecoding(bool abandon);
// True while the AAC thread of the job runs (it still writes the PCM file).
bool esdump_AacThreadRunning();
// The demultiplexer has delivered everything: from now on the AAC thread takes only what
// the video decoder and the encoder leave of the processors (the audio is needed only
// after the video). While the demultiplexer runs it may have to wait for the thread, so
// the thread keeps its priority until then.
void esdump_AacThreadBehindVideo();

// True when a write of the current job's video stream or PCM audio came up short since
// the sink was opened (the job must fail: data is lost).
bool esdump_WriteFailed();

// The number the next stream record will get (for tests).
int32_t esdump_NextStreamId();
