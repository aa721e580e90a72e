#include "venc/enc_global.h"

#include <cstdio>
#include <cstring>

#include "tables/std_tables.h"

EncVolMode* enc_g_volmd = nullptr;
EncVopMode* enc_g_vopmd = nullptr;

EncStats enc_g_statsVOL;
EncStats enc_g_statsVOP;
EncStats enc_g_statsMB;

int enc_g_nBitsModuloBase = 20;
int enc_g_iVPMBnum = 0;
uint32_t enc_g_uiSourceFrame = 0;
EncKernels enc_g_kernels;

namespace {

constexpr int32_t reciprocal(int q) {
    return q == 0 ? 0 : (2 * 65536 + q) / (2 * q);
}

}  // namespace

const int32_t enc_g_rgiReciprocal[enc_RECIPROCAL_COUNT] = {
    reciprocal(0),  reciprocal(1),  reciprocal(2),  reciprocal(3),  reciprocal(4),  reciprocal(5),
    reciprocal(6),  reciprocal(7),  reciprocal(8),  reciprocal(9),  reciprocal(10), reciprocal(11),
    reciprocal(12), reciprocal(13), reciprocal(14), reciprocal(15), reciprocal(16), reciprocal(17),
    reciprocal(18), reciprocal(19), reciprocal(20), reciprocal(21), reciprocal(22), reciprocal(23),
    reciprocal(24), reciprocal(25), reciprocal(26), reciprocal(27), reciprocal(28), reciprocal(29),
    reciprocal(30), reciprocal(31), reciprocal(32), reciprocal(33), reciprocal(34), reciprocal(35),
    reciprocal(36), reciprocal(37), reciprocal(38), reciprocal(39), reciprocal(40), reciprocal(41),
    reciprocal(42), reciprocal(43), reciprocal(44), reciprocal(45), reciprocal(46),
};

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
    std::printf("%s", message);
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
