#include "vdec/dec_decheader.h"

#include <cstdio>
#include <cstring>

#include "tables/std_tables.h"
#include "vdec/dec_session.h"

namespace {

// Short-header source formats 1 to 5: picture size and GOB layout.
struct SourceFormat {
    int width, height, mbsInGob, gobsInPicture;
};
constexpr SourceFormat kSourceFormats[6] = {
    {0, 0, 0, 0},       {128, 96, 8, 6},    {176, 144, 11, 9},
    {352, 288, 22, 18}, {704, 576, 88, 18}, {1408, 1152, 352, 18},
};

// Fails the job with a message (none when `message` is null).
bool refuse(const char* message) {
    if (message) std::printf("%s", message);
    g_dec.bFailed = 1;
    return false;
}

// Short header: true when a picture starts here. After a damaged picture the reader may
// stand anywhere, so the next picture start code is searched at the byte boundaries that
// follow. An end-of-sequence marker is passed over (some handsets end every picture with
// one): the sequence ends only where no picture follows, at another start code or at the
// end of the data.
bool findPictureStartCode() {
    for (;;) {
        const uint32_t next = g_bits.showBits(22);
        if (next == kShortVideoStartMarker) return true;
        if (next == kShortVideoEndMarker) {
            g_bits.flushBits(22);
            continue;
        }
        if (g_bits.showBits(24) == kStartCodePrefix || g_bits.pastEnd()) return false;
        if (g_bits.bitsToByteBoundary() != 0)
            g_bits.byteAlign();
        else
            g_bits.flushBits(8);
    }
}

}  // namespace

void skipUserData() {
    while (g_bits.showBits(32) == kUserDataStartCode) {
        g_bits.flushBits(32);
        while (g_bits.showBits(24) != kStartCodePrefix && !g_bits.pastEnd()) g_bits.flushBits(8);
    }
}

void skipVisualObjectSequenceHeader() {
    if (g_bits.showBits(32) != kVisualObjectSequenceStartCode) return;
    g_bits.flushBits(32);
    g_bits.flushBits(8);  // profile_and_level_indication
    skipUserData();
}

void skipVisualObjectHeader() {
    if (g_bits.showBits(32) == kVisualObjectStartCode) {
        g_bits.flushBits(32);
        if (g_bits.getBit()) {    // is_visual_object_identifier
            g_bits.flushBits(4);  // visual_object_verid
            g_bits.flushBits(3);  // visual_object_priority
        }
        uint32_t type = g_bits.getBits(4);
        if (type == 1 || type == 2) {   // video, still texture
            if (g_bits.getBit()) {      // video_signal_type
                g_bits.flushBits(3);    // video_format
                g_bits.flushBits(1);    // video_range
                if (g_bits.getBit()) {  // colour_description
                    g_bits.flushBits(8);
                    g_bits.flushBits(8);
                    g_bits.flushBits(8);
                }
            }
        }
    }
    g_bits.byteAlign();
    skipUserData();
}

int timeIncrementBits(int clockRate) {
    if (clockRate == 1) return 1;
    int v = clockRate - 1;
    int bits = 1;
    while (bits < 16 && v != 1) {
        v >>= 1;
        ++bits;
    }
    return bits;
}

void readQuantMatrix(uint8_t* matrix, const uint8_t* defaultMatrix) {
    int k = 0;
    uint8_t last = 0;
    for (; k < 64; ++k) {
        uint8_t v = uint8_t(g_bits.getBits(8));
        if (v == 0) break;
        matrix[tables::kScanZigzag[k]] = v;
        last = v;
    }
    if (k == 0) {
        // The list ends before its first weight: there is no value to repeat, and a
        // weight of 0 would divide nothing sensibly, so the default matrix stays.
        std::memcpy(matrix, defaultMatrix, 64);
        return;
    }
    for (; k < 64; ++k) matrix[tables::kScanZigzag[k]] = last;
}

bool decodeVolHeader(VolMode* vol) {
    if (g_bits.getBits(28) != 0x12) return refuse("Bitstream does not start with VOL_START_CODE\n");
    vol->bShortHeader = 0;

    g_bits.flushBits(4);    // video_object_layer_id
    g_bits.flushBits(1);    // random_accessible_vol
    g_bits.flushBits(8);    // video_object_type_indication
    if (g_bits.getBit()) {  // is_object_layer_identifier
        vol->iVerId = int32_t(g_bits.getBits(4));
        g_bits.flushBits(3);  // video_object_layer_priority
    } else {
        vol->iVerId = 1;
    }
    if (g_bits.getBits(4) == 15) {  // aspect_ratio_info: extended PAR
        g_bits.flushBits(8);
        g_bits.flushBits(8);
    }
    if (g_bits.getBit()) {                      // vol_control_parameters
        g_bits.flushBits(2);                    // chroma_format
        g_bits.flushBits(1);                    // low_delay
        if (g_bits.getBit()) {                  // vbv_parameters
            g_bits.flushBits(15 + 1 + 15 + 1);  // bit rate halves and markers
            g_bits.flushBits(15 + 1 + 3);       // vbv buffer size
            g_bits.flushBits(11 + 1 + 15 + 1);  // vbv occupancy
        }
    }
    vol->iShape = int32_t(g_bits.getBits(2));

    uint32_t uiMark = g_bits.getBit();
    vol->iClockRate = int32_t(g_bits.getBits(16));
    uiMark &= g_bits.getBit();
    if (uiMark != 1) return refuse("VOL marker bit is not set!\n");
    if (vol->iClockRate < 1) return refuse("vop_time_increment_resolution is 0!\n");
    vol->iTimeIncrBits = timeIncrementBits(vol->iClockRate);

    if (g_bits.getBit()) g_bits.flushBits(vol->iTimeIncrBits);  // fixed_vop_rate, increment

    if (vol->iShape == kShapeBinary || vol->iShape == kShapeBinaryOnly)
        return refuse("binary shape is not supported!\n");
    if (vol->iShape == kShapeRectangular) {
        g_bits.flushBits(1);
        vol->iWidth = int32_t(g_bits.getBits(13));
        g_bits.flushBits(1);
        vol->iHeight = int32_t(g_bits.getBits(13));
        g_bits.flushBits(1);
        if (vol->iWidth == 0 || vol->iHeight == 0) {
            std::printf("picture size %dx%d is not supported!\n", vol->iWidth, vol->iHeight);
            return refuse(nullptr);
        }
        if (!checkPictureSize(vol->iWidth, vol->iHeight)) return refuse(nullptr);
    }

    if (g_bits.getBit()) return refuse("interlaced video is not supported!\n");
    g_bits.flushBits(1);  // obmc_disable

    uint32_t spriteEnable = g_bits.getBits(vol->iVerId == 1 ? 1 : 2);
    if (spriteEnable != 0) return refuse("sprite is not supported!\n");

    vol->bNot8Bit = int32_t(g_bits.getBit());
    if (vol->bNot8Bit) return refuse("be not 8 bit not supported!\n");
    vol->iQuantPrecision = 5;
    vol->nBits = 8;

    if (vol->iShape == kShapeGrayscale) return refuse("grayscale is not supported!\n");

    vol->iQuantType = int32_t(g_bits.getBit());
    if (vol->iQuantType) {
        vol->bLoadIntraMatrix = int32_t(g_bits.getBit());
        if (vol->bLoadIntraMatrix)
            readQuantMatrix(vol->rgbIntraMatrix, tables::kDefaultIntraMatrix);
        else
            std::memcpy(vol->rgbIntraMatrix, tables::kDefaultIntraMatrix, 64);
        vol->bLoadInterMatrix = int32_t(g_bits.getBit());
        if (vol->bLoadInterMatrix)
            readQuantMatrix(vol->rgbInterMatrix, tables::kDefaultInterMatrix);
        else
            std::memcpy(vol->rgbInterMatrix, tables::kDefaultInterMatrix, 64);
    }

    vol->bQuarterSample = vol->iVerId != 1 ? int32_t(g_bits.getBit()) : 0;
    if (vol->bQuarterSample) {
        std::printf("Using quarter pel.\n");
        return refuse("quarter pel is not supported!\n");
    }

    if (g_bits.getBit() == 0) return refuse("complexity estimation is not supported!\n");
    std::printf("complexity estimation disable.\n");

    vol->bResyncMarkerDisable = int32_t(g_bits.getBit());
    if (vol->bResyncMarkerDisable)
        std::printf("not using resync marker.\n");
    else
        std::printf("using resync marker.\n");

    vol->bDataPartitioned = int32_t(g_bits.getBit());
    if (vol->bDataPartitioned) {
        closeInputFile();
        std::printf("Using data partition.\n");
        vol->bReversibleVlc = int32_t(g_bits.getBit());
        if (vol->bReversibleVlc) std::printf("Using reversible vlc.\n");
        refuseInputFile();
        return refuse(nullptr);
    }
    std::printf("not using data partion.\n");
    vol->bReversibleVlc = 0;

    if (vol->iVerId != 1) {
        if (g_bits.getBit()) return refuse("newpred is not supported!\n");
        std::printf("NEWPRED: OFF.\n\n");
        if (g_bits.getBit()) return refuse("reduced resolution VOP is not supported!\n");
    }

    vol->bScalability = int32_t(g_bits.getBit());
    if (vol->bScalability) return refuse("scalability is not supported!\n");

    g_bits.nextStartCode();
    skipUserData();
    return true;
}

bool sameLayer(const VolMode& a, const VolMode& b) {
    if (a.iWidth != b.iWidth || a.iHeight != b.iHeight || a.iShape != b.iShape ||
        a.iClockRate != b.iClockRate || a.iQuantType != b.iQuantType ||
        a.bResyncMarkerDisable != b.bResyncMarkerDisable)
        return false;
    if (a.iQuantType == 1 && (std::memcmp(a.rgbIntraMatrix, b.rgbIntraMatrix, 64) != 0 ||
                              std::memcmp(a.rgbInterMatrix, b.rgbInterMatrix, 64) != 0))
        return false;
    return true;
}

bool decodeRepeatedVolHeader() {
    VolMode repeated;
    if (!decodeVolHeader(&repeated)) return false;
    if (!sameLayer(*g_volmd, repeated))
        return refuse("a repeated VOL header changes the video object layer, not supported!\n");
    return true;
}

int macroblockNumberBits(int macroblocks) {
    return timeIncrementBits(macroblocks);
}

bool resyncMarkerAhead(int markerBits) {
    int n = g_bits.bitsToByteBoundary();
    const uint32_t marker = 1;
    if (n == 0) {
        // Aligned: the stuffing byte 0111 1111 in front of the marker, or the marker itself.
        if (g_bits.showBits(markerBits) == marker) return true;
        n = 8;
    }
    const uint32_t ahead = g_bits.showBits(n + markerBits);
    const uint32_t stuffing = ahead >> markerBits;
    return stuffing == (1u << (n - 1)) - 1 && (ahead & ((1u << markerBits) - 1)) == marker;
}

void consumeResyncMarker(int markerBits) {
    if (g_bits.bitsToByteBoundary() != 0 || g_bits.showBits(markerBits) != 1)
        g_bits.nextStartCode();
    g_bits.flushBits(markerBits);
}

int decodeVideoPacketHeader(int macroblocks, bool strict) {
    VopMode* vop = g_vopmd;
    const int mbNumber = int(g_bits.getBits(macroblockNumberBits(macroblocks)));
    vop->iQuantizer = int32_t(g_bits.getBits(g_volmd->iQuantPrecision));
    if (g_bits.getBit()) {  // header_extension_code: the VOP's fields repeated
        int moduloTimeBase = 0;
        while (g_bits.getBit() == 1 && !g_bits.pastEnd()) ++moduloTimeBase;
        uint32_t markers = g_bits.getBit();
        const int timeIncrement = int(g_bits.getBits(g_volmd->iTimeIncrBits));
        markers &= g_bits.getBit();
        const int codingType = int(g_bits.getBits(2));
        const int intraDcThr = int(g_bits.getBits(3));
        const int fcode = codingType != 0 ? int(g_bits.getBits(3)) : vop->iFCode;
        if (moduloTimeBase != vop->iModuloTimeBase || markers != 1 ||
            timeIncrement != vop->iTimeIncrement || codingType != vop->iCodingType ||
            intraDcThr != vop->iIntraDcThr || fcode != vop->iFCode) {
            if (!strict) return -1;
            std::printf("video packet header does not match the VOP header!\n");
            abortDecoding();
        }
    }
    return mbNumber;
}

bool decodeGovHeader() {
    g_bits.flushBits(32);
    g_bits.flushBits(5);  // time_code_hours
    g_bits.flushBits(6);  // time_code_minutes
    g_bits.flushBits(1);  // marker_bit
    g_bits.flushBits(6);  // time_code_seconds
    uint32_t closedGov = g_bits.getBit();
    uint32_t brokenLink = g_bits.getBit();
    if (closedGov == 0 && brokenLink == 1) return refuse("closed_gov = 0\nbroken_link = 1\n");
    g_bits.nextStartCode();
    if (g_bits.showBits(32) == kUserDataStartCode) {
        std::printf("get user data!\n");
        skipUserData();
    }
    return true;
}

bool decodeVopHeader() {
    VopMode* vop = g_vopmd;
    g_bits.flushBits(32);
    int codingType = int32_t(g_bits.getBits(2));
    if (codingType > 1) return refuse("B-VOP and S-VOP are not supported!\n");
    vop->iCodingType = codingType;
    int moduloTimeBase = 0;
    while (g_bits.getBit() == 1) ++moduloTimeBase;
    vop->iModuloTimeBase = moduloTimeBase;
    g_bits.flushBits(1);  // marker_bit
    vop->iTimeIncrement = int32_t(g_bits.getBits(g_volmd->iTimeIncrBits));
    g_bits.flushBits(1);  // marker_bit
    vop->bVopCoded = int32_t(g_bits.getBit());
    if (!vop->bVopCoded) return true;
    if (vop->iCodingType == 1) vop->iRoundingType = int32_t(g_bits.getBit());
    vop->iIntraDcThr = int32_t(g_bits.getBits(3));
    vop->iQuantizer = int32_t(g_bits.getBits(g_volmd->iQuantPrecision));
    if (vop->iCodingType == 1) {
        vop->iFCode = int32_t(g_bits.getBits(3));
        if (vop->iFCode == 0) return refuse("vop_fcode_forward 0 is not legal!\n");
    }
    return true;
}

void decodeShortHeaderPicture() {
    VopMode* vop = g_vopmd;
    VolMode* vol = g_volmd;
    if (!findPictureStartCode()) {
        std::printf("end of sequence!\n");
        g_dec.bStop = 1;
        return;
    }
    g_bits.flushBits(22);
    g_bits.flushBits(8);  // temporal_reference
    uint32_t marker = g_bits.getBit();
    uint32_t zero = g_bits.getBit();
    if (marker != 1 || zero != 0) {
        refuse("This is not a legal H.263 bitstream\n");
        return;
    }
    if (g_bits.getBit()) {
        refuse("Split screen indicator is ON\n");
        return;
    }
    if (g_bits.getBit()) {
        refuse("Document camera indicator is switched on\n");
        return;
    }
    if (g_bits.getBit()) {
        refuse("Freeze picture release is switched ON\n");
        return;
    }
    int sourceFormat = int32_t(g_bits.getBits(3));
    if (sourceFormat != g_dec.iSourceFormat && !g_dec.bFirstPicture) g_dec.bFormatChanged = 1;
    g_dec.iSourceFormat = sourceFormat;
    if (g_dec.bFormatChanged) {
        // The buffers are made once per job for one picture size.
        refuse("H.263 source format changed, not supported!\n");
        return;
    }
    if (g_dec.bFirstPicture) {
        vol->iQuantPrecision = 5;
        vop->bVopCoded = 1;
        vop->iRoundingType = 0;
        vop->iIntraDcThr = 0;
        if (sourceFormat < 1 || sourceFormat > 5) {
            refuse("H.263 source format not legal\n");
            return;
        }
        const SourceFormat& f = kSourceFormats[sourceFormat];
        vol->iWidth = f.width;
        vol->iHeight = f.height;
        vop->iMBsInGob = f.mbsInGob;
        vop->iGobsInPicture = f.gobsInPicture;
    }
    vop->iCodingType = int32_t(g_bits.getBit());
    if (vop->iCodingType == 1) vop->iFCode = 1;
    if (g_bits.getBits(4) != 0) {
        refuse("four_reserved_zero_bits are not zero\n");
        return;
    }
    vop->iQuantizer = int32_t(g_bits.getBits(5));
    if (g_bits.getBit()) {
        refuse("zero_bit is not zero\n");
        return;
    }
    while (g_bits.getBit()) g_bits.flushBits(8);  // pei, psupp
    vop->iGobNumber = 0;
    g_dec.iPublishedWidth = vol->iWidth;
    g_dec.iPublishedHeight = vol->iHeight;
}

void decodeGobHeader(int* segmentCounter) {
    VopMode* vop = g_vopmd;
    if (vop->iGobNumber == 0 || g_bits.showBits(17) != kGobResyncMarker) return;
    g_bits.flushBits(17);
    vop->iGobNumber = int32_t(g_bits.getBits(5));
    g_bits.flushBits(2);  // gob_frame_id
    vop->iQuantizer = int32_t(g_bits.getBits(5));
    ++*segmentCounter;
}
