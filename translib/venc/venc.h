#pragma once
// The video encoder: turns a decoded-pictures file (planar YUV 4:2:0 frames of
// sourceWidth x sourceHeight) into an MPEG-4 simple-profile elementary stream appended to
// g_context.output, under rate control. The encoding driver of the pipeline creates and
// fills the two mode records below, then calls encodeVideo once per job.

#include <cstdint>
#include <cstdio>
#include <string>

// Stream-wide coding parameters (the VOL-mode record).
struct EncVolMode {
    int nBits;               // bits per sample (8)
    double dFrameRate;       // nominal frame rate from which iClockRate is derived (30.0)
    int iClockRate;          // vop_time_increment_resolution, derived at setup
    int iTicksPerFrame;      // clock ticks between two coded VOPs (3)
    int iIntraPeriod;        // P-VOPs between two I-VOPs (100)
    int iQuantType;          // 1 MPEG quantisation with matrices, 0 H.263 quantisation
    int bLoadIntraMatrix;    // load_intra_quant_mat (0: the default matrix)
    int rgiIntraMatrix[64];  // intra quantiser matrix, raster order
    int bLoadInterMatrix;    // load_nonintra_quant_mat (0: the default matrix)
    int rgiInterMatrix[64];  // non-intra quantiser matrix, raster order

    // Values written into the VOL header.
    int iVolId;                        // 0
    int bRandomAccess;                 // random_accessible_vol (0)
    int iObjectType;                   // video_object_type_indication (1 = simple)
    int bIsObjectLayerIdentifier;      // 0
    int iAspectRatioInfo;              // 1 = square pixels
    int bVolControlParameters;         // 0
    int iShape;                        // 0 = rectangular
    int bFixedVopRate;                 // 0
    int bInterlaced;                   // 0
    int bObmcDisable;                  // 1
    int bSpriteUsage;                  // 0
    int bNot8Bit;                      // 0
    int bComplexityEstimationDisable;  // 1
    int bResyncMarkerDisable;          // 1
    int bDataPartitioned;              // 0
    int bReversibleVlc;                // 0
    int bScalability;                  // 0

    // Settings of the encoding run.
    uint32_t uiBitRate;  // target bits per second
    int iFirstFrame;     // VOP time at which the frame loop starts (0)
    int iLastFrame;      // the loop codes VOPs while the VOP time is at most this (50000)
    int bRateControl;    // rate control on (always 1 here)
};

// Per-picture parameters and geometry (the VOP-mode record).
struct EncVopMode {
    int iWidth, iHeight;                // coded picture size
    int iAlignedWidth, iAlignedHeight;  // macroblock-aligned size
    int iPaddedWidth, iPaddedHeight;    // luma plane size with the 16-sample border
    int iIntraQP;                       // quantiser of the first I-VOP (3)
    int iCodingType;                    // 0 I-VOP, 1 P-VOP
    int iIntraDcThr;                    // intra_dc_vlc_thr (0)
    int iRoundingType;                  // vop_rounding_type (0)
    int iSearchRangeForward;            // motion search range in pixels (8)
    int iFCode, iMVRange, iMVScale;     // derived from the search range at setup
};

// The two records of the current job; created by the encoding driver.
extern EncVolMode* enc_g_volmd;
extern EncVopMode* enc_g_vopmd;

// Fills both records with the encoder defaults (sizes and bit rate still to be set).
void encSetDefaults(EncVolMode* volmd, EncVopMode* vopmd);

// Resets the source frame number; the video stage does it before every job.
void encResetSourceFrameNumber();

// The encoding run: reads the decoded-pictures file at `picturesPath` (frames of
// g_context.sourceWidth x sourceHeight) and writes the stream to g_context.output, after
// whatever it already holds. Uses the job fields of g_context (frameRate, sourceFrameRate,
// crops) and the two records above; adds to videoBytes and videoProgress; clears `success`
// on failure.
void encodeVideo(const std::string& picturesPath);

// VOPs coded by the last run.
int encCodedVopCount();

// When set, every coded VOP's reconstruction is appended to this file in the
// decoded-pictures layout (iWidth x iHeight luma, then the two chroma planes). A
// development aid for checking decoders against the encoder; null by default.
void encSetReconstructionFile(FILE* file);
