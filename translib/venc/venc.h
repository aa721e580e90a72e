#pragma once
// The video encoder: turns decoded pictures (planar YUV 4:2:0 frames of the source size,
// from the decoded-pictures file or from any other source) into an MPEG-4 simple-profile elementary
// stream appended to an open file, under rate control. runEncoderOnFile creates and fills the two
// mode records below for a job and runs the encoder once; one encoder runs at a time in the
// process.

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "core/picture_fit.h"

// What one encoding run makes of the pictures.
struct EncoderJob {
    // The decoded pictures: frame size and whole frames per second of the source.
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
    uint32_t sourceFrameRate = 0;
    // Coded picture size (multiples of 16), bit rate and frames per second kept.
    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t bitRate = 0;
    uint32_t frameRate = 0;
    // Margins cut from the source before scaling, when cropEnabled is set.
    uint16_t cropLeft = 0;
    uint16_t cropTop = 0;
    uint16_t cropHorizontal = 0;  // left plus right
    uint16_t cropVertical = 0;    // top plus bottom
    int8_t cropEnabled = 1;
    // How the cropped picture fills the coded size.
    PictureFit fit = PictureFit::Stretch;
    // Margins as the command line takes them (jobrules::cropFitsSource), checked against
    // the source size; otherwise the margins are taken as they come.
    int8_t wideCrop = 0;
    // Counts the source frames taken (a progress display polls it); may be none.
    std::atomic<int32_t>* progress = nullptr;
    // When set, every coded VOP's reconstruction is appended to this file in the
    // decoded-pictures layout (a development aid for checking decoders against ours).
    FILE* reconstruction = nullptr;
};

struct EncoderResult {
    bool ok = false;
    int vops = 0;  // VOPs coded
    // Source frames after the last VOP the handset stream's time model allows: read to
    // the end of the pictures and not coded.
    int framesPastLimit = 0;
    int32_t bytes = 0;    // bytes of stream written (counted in 32 bits, wrapping)
    std::string message;  // why the run failed (the encoder's own lines are printed)
};

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

// The two records of the current run; created by runEncoderOnFile.
extern EncVolMode* enc_g_volmd;
extern EncVopMode* enc_g_vopmd;

// Fills both records with the encoder defaults (sizes and bit rate still to be set).
void encSetDefaults(EncVolMode* volmd, EncVopMode* vopmd);

// Resets the source frame number; runEncoderOnFile starts every run with it.
void encResetSourceFrameNumber();

// Where the encoder takes the decoded pictures from: frames of the decoded-pictures layout
// (Y rows, then Cb, then Cr, without strides), by their number in the stream.
class PictureSource {
  public:
    virtual ~PictureSource() = default;
    // Called once when the run starts, before the job is checked; false fails the run.
    virtual bool open() { return true; }
    // Reads source frame `number` (1 for the first; each call asks for a later frame than
    // the call before) of `bytes` bytes into `buffer`. False when there is no such frame:
    // the pictures have ended.
    virtual bool read(uint32_t number, uint8_t* buffer, size_t bytes) = 0;
    // What the messages of a failed run call the pictures.
    virtual std::string name() const { return "its pictures"; }
};

// The decoded-pictures file at `path`, read frame by frame.
class PicturesFileSource : public PictureSource {
  public:
    explicit PicturesFileSource(const std::string& path);
    ~PicturesFileSource() override;
    PicturesFileSource(const PicturesFileSource&) = delete;
    PicturesFileSource& operator=(const PicturesFileSource&) = delete;
    bool open() override;
    bool read(uint32_t number, uint8_t* buffer, size_t bytes) override;
    std::string name() const override { return m_path; }

  private:
    std::string m_path;
    FILE* m_file = nullptr;
};

// The encoding run with the records above as they are, taking the pictures from `source`;
// encodeVideo below is this run on a decoded-pictures file.
EncoderResult encodeVideo(PictureSource& source, FILE* output, const EncoderJob& job);

// The encoding run with the records above as they are: reads the decoded-pictures file at
// `picturesPath` (frames of the job's source size), takes the frames the job's two frame
// rates keep, crops and scales them to the records' picture size and writes the stream to
// `output`, after whatever it already holds. The job's width, height and bit rate are not
// read here: the records carry them.
EncoderResult encodeVideo(const std::string& picturesPath, FILE* output, const EncoderJob& job);

// The encoder's entry point on any picture source: as runEncoderOnFile.
EncoderResult runEncoder(PictureSource& source, FILE* output, const EncoderJob& job);

// The encoder's entry point: creates the mode records with the defaults for the job's
// picture size and bit rate, runs encodeVideo and prints "encoding finished!".
EncoderResult runEncoderOnFile(const std::string& picturesPath, FILE* output,
                               const EncoderJob& job);
