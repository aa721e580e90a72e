#include "venc/enc_codehead.h"

#include <cstdio>

#include "platform/trace.h"
#include "venc/enc_global.h"

namespace {

// Puts a syntax field that counts as header bits.
void putHead(COutBitStream* bs, EncStats* stats, uint32_t value, int n, const char* label) {
    bs->put(value, n, label);
    stats->nBitsHead += n;
}

// Puts a marker bit, which counts with the stuffing.
void putMarker(COutBitStream* bs, EncStats* stats, const char* label) {
    bs->put(1, 1, label);
    stats->nBitsStuffing += 1;
}

constexpr uint32_t kStartCodePrefix = 0x000001;
constexpr uint32_t kVolStartCodeHigh = 2;  // start code byte 0x20 + VOL id, top four bits
constexpr uint32_t kVopStartCode = 0xB6;
constexpr int kQuantPrecision = 5;

}  // namespace

int encTimeIncrementBits(int iClockRate) {
    if (iClockRate <= 2) return 1;
    int k = 1;
    while (k < 16 && (1 << k) <= iClockRate - 1) ++k;
    return k;
}

int encTimeIncrement(int vopTime, int iClockRate, double dFrameRate) {
    const int seconds = static_cast<int>(vopTime / dFrameRate);
    return static_cast<int>(vopTime * iClockRate / dFrameRate - seconds * iClockRate);
}

void encWriteVOHeader(COutBitStream* bs) {
    EncStats* s = &enc_g_statsVOL;
    bs->put(kStartCodePrefix << 3, 27, "VO_Start_Code");
    bs->put(0, 5, "VO_Id");
    s->nBitsHead += 32;
    platform::trace("VO Overhead\t\t%d bits\n\n", 32);
}

void encWriteVOLHeader(COutBitStream* bs) {
    const EncVolMode* vol = enc_g_volmd;
    const EncVopMode* vop = enc_g_vopmd;
    EncStats* s = &enc_g_statsVOL;
    putHead(bs, s, (kStartCodePrefix << 4) | kVolStartCodeHigh, 28, "VOL_Start_Code");
    putHead(bs, s, static_cast<uint32_t>(vol->iVolId), 4, "VOL_Id");
    putHead(bs, s, static_cast<uint32_t>(vol->bRandomAccess), 1, "VOL_Random_Access");
    putHead(bs, s, static_cast<uint32_t>(vol->iObjectType), 8, "VOL_Type_Indicator");
    putHead(bs, s, static_cast<uint32_t>(vol->bIsObjectLayerIdentifier), 1,
            "VOL_Is_Object_Layer_Identifier");
    putHead(bs, s, static_cast<uint32_t>(vol->iAspectRatioInfo), 4, "aspect_ratio_info");
    putHead(bs, s, static_cast<uint32_t>(vol->bVolControlParameters), 1, "VOL_Control_Parameters");
    putHead(bs, s, static_cast<uint32_t>(vol->iShape), 2, "VOL_Shape_Type");
    putMarker(bs, s, "Marker");
    putHead(bs, s, static_cast<uint32_t>(vol->iClockRate), 16, "VOL_Time_Increment_Resolution");
    putMarker(bs, s, "Marker");
    putHead(bs, s, static_cast<uint32_t>(vol->bFixedVopRate), 1, "VOL_Fixed_Vop_Rate");
    if (vol->iShape == 0) {
        putMarker(bs, s, "Marker_Bit");
        putHead(bs, s, static_cast<uint32_t>(vop->iWidth), 13, "VOL_Width");
        putMarker(bs, s, "Marker_Bit");
        putHead(bs, s, static_cast<uint32_t>(vop->iHeight), 13, "VOL_Height");
        putMarker(bs, s, "Marker_Bit");
    }
    putHead(bs, s, static_cast<uint32_t>(vol->bInterlaced), 1, "VOL_interlace");
    putHead(bs, s, static_cast<uint32_t>(vol->bObmcDisable), 1, "VOL_OBMC_Disable");
    putHead(bs, s, static_cast<uint32_t>(vol->bSpriteUsage), 1, "VOL_Sprite_Usage");
    putHead(bs, s, static_cast<uint32_t>(vol->bNot8Bit), 1, "VOL_NOT_8_BIT_VIDEO");
    putHead(bs, s, static_cast<uint32_t>(vol->iQuantType), 1, "VOL_Quant_Type");
    if (vol->iQuantType == 1) {
        putHead(bs, s, static_cast<uint32_t>(vol->bLoadIntraMatrix), 1,
                "VOL_Load_Q_Matrix (intra)");
        putHead(bs, s, static_cast<uint32_t>(vol->bLoadInterMatrix), 1,
                "VOL_Load_Q_Matrix (inter)");
    }
    putHead(bs, s, static_cast<uint32_t>(vol->bComplexityEstimationDisable), 1,
            "complexity_estimation_disable");
    putHead(bs, s, static_cast<uint32_t>(vol->bResyncMarkerDisable), 1,
            "VOL_resync_marker_disable");
    putHead(bs, s, static_cast<uint32_t>(vol->bDataPartitioned), 1, "VOL_data_partitioning");
    if (vol->bDataPartitioned)
        putHead(bs, s, static_cast<uint32_t>(vol->bReversibleVlc), 1, "VOL_reversible_vlc");
    putHead(bs, s, static_cast<uint32_t>(vol->bScalability), 1, "VOL_Scalability");
    s->nBitsStuffing += bs->align();
    platform::trace("VOL Overhead\t\t %d bits\n\n", s->nBitsHead);
}

void encWriteVOPHeader(COutBitStream* bs, int qp, int vopTime, int timeIncrementBits) {
    const EncVolMode* vol = enc_g_volmd;
    const EncVopMode* vop = enc_g_vopmd;
    EncStats* s = &enc_g_statsVOP;
    putHead(bs, s, (kStartCodePrefix << 8) | kVopStartCode, 32, "VOP_Start_Code");
    putHead(bs, s, static_cast<uint32_t>(vop->iCodingType), 2, "VOP_Pred_Type");
    // modulo_time_base: enc_g_nBitsModuloBase one-bits and a terminating zero.
    const int nModulo = enc_g_nBitsModuloBase;
    putHead(bs, s, ((1u << nModulo) - 1) << 1, nModulo + 1, "VOP_Modulo_Time_Base");
    putMarker(bs, s, "Marker");
    putHead(bs, s,
            static_cast<uint32_t>(encTimeIncrement(vopTime, vol->iClockRate, vol->dFrameRate)),
            timeIncrementBits, "VOP_Time_Incr");
    putMarker(bs, s, "Marker");
    putHead(bs, s, 1, 1, "VOP_Coded");
    if (vop->iCodingType == 1)
        putHead(bs, s, static_cast<uint32_t>(vop->iRoundingType), 1, "VOP_Rounding_Type");
    putHead(bs, s, static_cast<uint32_t>(vop->iIntraDcThr), 3, "IntraDCSwitchThr");
    putHead(bs, s, static_cast<uint32_t>(qp), kQuantPrecision, "VOP_QUANT");
    if (vop->iCodingType == 1)
        putHead(bs, s, static_cast<uint32_t>(vop->iFCode), 3, "VOP_Fcode_Forward");
}
