#include "venc/enc_global.h"

#include <cstdio>
#include <cstring>

#include "platform/trace.h"
#include "tables/std_tables.h"

EncVolMode* enc_g_volmd = nullptr;
EncVopMode* enc_g_vopmd = nullptr;

EncStats enc_g_statsVOL;
EncStats enc_g_statsVOP;
EncStats enc_g_statsMB;

int enc_g_nBitsModuloBase = 20;
int enc_g_iVPMBnum = 0;
uint32_t enc_g_uiSourceFrame = 0;

void encStatsClear(EncStats* s) {
    std::memset(s, 0, sizeof *s);
}

void encStatsAdd(EncStats* to, const EncStats* from) {
    to->nBitsHead += from->nBitsHead;
    to->nBitsY += from->nBitsY;
    to->nBitsU += from->nBitsU;
    to->nBitsV += from->nBitsV;
    to->nBitsCOD += from->nBitsCOD;
    to->nBitsCBPY += from->nBitsCBPY;
    to->nBitsMCBPC += from->nBitsMCBPC;
    to->nBitsDQUANT += from->nBitsDQUANT;
    to->nBitsReserved += from->nBitsReserved;
    to->nBitsACPred += from->nBitsACPred;
    to->nBitsStuffing += from->nBitsStuffing;
    to->nSkipMB += from->nSkipMB;
    to->nInterMB += from->nInterMB;
    to->nInter4VMB += from->nInter4VMB;
    to->nIntraMB += from->nIntraMB;
    to->nReserved += from->nReserved;
    to->nBitsMV += from->nBitsMV;
    to->nBitsTotal += from->nBitsTotal;
    to->nBitsTexture += from->nBitsTexture;
    to->nCodedMB += from->nCodedMB;
    to->nQPSum += from->nQPSum;
    for (int i = 0; i < 3; ++i) to->dUnused[i] += from->dUnused[i];
}

int32_t encStatsTotal(EncStats* s) {
    s->nBitsTexture = s->nBitsY + s->nBitsU + s->nBitsV + s->nBitsCOD + s->nBitsCBPY +
                      s->nBitsMCBPC + s->nBitsDQUANT + s->nBitsReserved + s->nBitsACPred;
    s->nBitsTotal = s->nBitsHead + s->nBitsTexture + s->nBitsMV + s->nBitsStuffing;
    return s->nBitsTotal;
}

void encFail(const char* message) {
    platform::trace("%s", message);
    throw EncodeAbort{};
}

void encSetDefaults(EncVolMode* vol, EncVopMode* vop) {
    std::memset(vol, 0, sizeof *vol);
    std::memset(vop, 0, sizeof *vop);
    vol->nBits = 8;
    vol->dFrameRate = 30.0;
    vol->iTicksPerFrame = 3;
    vol->iIntraPeriod = 100;
    vol->iQuantType = 1;
    for (int i = 0; i < 64; ++i) {
        vol->rgiIntraMatrix[i] = tables::kDefaultIntraMatrix[i];
        vol->rgiInterMatrix[i] = tables::kDefaultInterMatrix[i];
    }
    vol->iObjectType = 1;
    vol->iAspectRatioInfo = 1;
    vol->bObmcDisable = 1;
    vol->bComplexityEstimationDisable = 1;
    vol->bResyncMarkerDisable = 1;
    vol->uiBitRate = 100000;
    vol->iFirstFrame = 0;
    vol->iLastFrame = 50000;
    vol->bRateControl = 1;

    vop->iIntraQP = 3;
    vop->iIntraDcThr = 0;
    vop->iRoundingType = 0;
    vop->iSearchRangeForward = 8;
    vop->iFCode = 1;
    vop->iMVRange = 32;
    vop->iMVScale = 1;
}
