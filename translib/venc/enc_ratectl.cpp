#include "venc/enc_ratectl.h"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform/trace.h"
#include "venc/enc_global.h"

namespace {

constexpr int kHistorySize = 20;            // VOPs in the model's sliding window
constexpr uint32_t kIntraHeaderBits = 500;  // header bits assumed after an I-VOP
constexpr double kBufferHigh = 0.8;         // above this fullness the target drops to B/3 + H
constexpr double kBufferLow = 0.1;          // below it the target rises to 1.3 B
constexpr double kBufferGuardHigh = 0.9;
constexpr int kMinQP = 1, kMaxQP = 31;

struct RateControlState {
    double dX1, dX2;
    uint32_t uiBitRate;
    uint32_t uiFrameBits;
    uint32_t uiBufferSize;
    int32_t iBufferFullness;
    int32_t iRemainingBits;
    uint32_t uiPLeft;
    uint32_t uiPCount;
    uint32_t uiTargetBits;
    uint32_t uiLastBits;
    uint32_t uiHeaderBits;
    uint32_t uiMinTarget;
    double dGroupSeconds;
    double dMAD, dPrevMAD;
    int iCurQP, iPrevQP;
    uint32_t uiQPSum;
    int bFirstI;
    int rgiQPHistory[kHistorySize];
    double rgdRateHistory[kHistorySize];
    int rgbRejected[kHistorySize];

    EncRateControlSettings settings;
    double dTotalBits;
};

RateControlState g_rc;

// Conversion of a double to int that truncates toward zero; a value an int cannot hold
// (or no number at all) gives INT_MIN, as the x86 conversion instruction does, so that
// the callers' "negative counts as very large" and "at least 1" rules apply to it.
int toInt(double v) {
    if (!(v > -2147483649.0 && v < 2147483648.0)) return INT_MIN;
    return static_cast<int>(v);
}

// Least-squares fit of X1 and X2 over the first n entries that are not rejected.
void fitModel(int n) {
    RateControlState& s = g_rc;
    int k = 0;
    for (int i = 0; i < n; ++i)
        if (!s.rgbRejected[i]) ++k;
    s.dX1 = 0;
    s.dX2 = 0;
    if (k == 0) return;
    for (int i = 0; i < n; ++i)
        if (!s.rgbRejected[i]) s.dX1 += s.rgiQPHistory[i] * s.rgdRateHistory[i] / k;

    bool sameQP = true;
    int firstQP = -1;
    for (int i = 0; i < n; ++i) {
        if (s.rgbRejected[i]) continue;
        if (firstQP < 0)
            firstQP = s.rgiQPHistory[i];
        else if (s.rgiQPHistory[i] != firstQP)
            sameQP = false;
    }
    if (sameQP) return;

    double r = 0, o = 0, l = 0, m = 0;
    for (int i = 0; i < n; ++i) {
        if (s.rgbRejected[i]) continue;
        const double q = s.rgiQPHistory[i];
        r += s.rgdRateHistory[i];
        o += s.rgdRateHistory[i] * q;
        l += 1.0 / q;
        m += 1.0 / (q * q);
    }
    const double h = k;
    const double x1 = (m * o - r * l) / (m * h - l * l);
    const double x2 = (r * h - o * l) / (m * h - l * l);
    if (x1 != 0) {
        s.dX1 = x1;
        s.dX2 = x2;
    }
}

// Marks the entries whose model error exceeds the root mean square error.
void rejectOutliers(int n) {
    RateControlState& s = g_rc;
    double errors[kHistorySize];
    double sumSquares = 0;
    for (int i = 0; i < n; ++i) {
        const double q = s.rgiQPHistory[i];
        errors[i] = s.dX1 * s.dMAD / q + s.dX2 * s.dMAD / (q * q) - s.rgdRateHistory[i] * s.dMAD;
        sumSquares += errors[i] * errors[i];
    }
    const double threshold = n == 2 ? 0.0 : std::sqrt(sumSquares / n);
    for (int i = 0; i < n; ++i)
        if (std::fabs(errors[i]) > threshold) s.rgbRejected[i] = 1;
}

// The target of a P-VOP: from the buffer level, the bits left for the group and the last
// VOP, aimed at the buffer and held inside its guard band.
uint32_t interTarget() {
    RateControlState& s = g_rc;
    const double bs = s.uiBufferSize;
    const int32_t f = s.iBufferFullness;
    const uint32_t b = s.uiFrameBits;
    const uint32_t floorTarget = b / 3 + s.uiHeaderBits;
    if (f > kBufferHigh * bs) return floorTarget;
    if (f < kBufferLow * bs) return static_cast<uint32_t>(toInt(b * 1.3));

    const int32_t np = static_cast<int32_t>(s.uiPLeft);
    int32_t t = toInt(s.iRemainingBits * 0.95 / np + s.uiLastBits * 0.05);
    if (static_cast<int32_t>(s.uiMinTarget) > t) t = static_cast<int32_t>(s.uiMinTarget);

    const int32_t aim = toInt((f - kBufferLow * bs) / np * (np - 1) + kBufferLow * bs);
    // In 32-bit unsigned arithmetic, as the buffer arithmetic below.
    const uint32_t uf = static_cast<uint32_t>(f);
    uint32_t target = (s.uiBufferSize + 2u * (static_cast<uint32_t>(aim) - uf)) *
                      static_cast<uint32_t>(t) / s.uiBufferSize;

    if (uf + target > kBufferGuardHigh * bs) {
        const double room = kBufferGuardHigh * bs - f;
        const double minimum = s.uiBitRate / 30.0;
        target = static_cast<uint32_t>(toInt(room > minimum ? room : minimum));
    } else if (uf - b + target < kBufferLow * bs) {
        target = b - uf + static_cast<uint32_t>(toInt(kBufferLow * bs));
    }
    if (target < floorTarget) target = floorTarget;
    return target;
}

}  // namespace

void encRateControlInitialise(const EncRateControlSettings& settings) {
    RateControlState& s = g_rc;
    std::memset(&s, 0, sizeof s);
    s.settings = settings;
    s.iBufferFullness = 0;
    s.uiBufferSize = settings.bitRate >> 1;
    s.uiBitRate = settings.bitRate;
    s.iRemainingBits = 0;
    s.uiFrameBits = static_cast<uint32_t>(
        toInt(settings.bitRate / settings.frameRate * settings.ticksPerFrame));
    s.bFirstI = 1;
    s.dTotalBits = 0;
}

void encRateControlPrintFullness() {
    platform::trace("\t buffer fullness: %f\n", g_rc.iBufferFullness * 1.0 / g_rc.uiBufferSize);
}

int encRateControlIntraQP() {
    RateControlState& s = g_rc;
    if (s.bFirstI) {
        s.iCurQP = s.settings.intraQP;
        s.iPrevQP = s.iCurQP;
        s.bFirstI = 0;
    } else if (s.uiPCount > 0) {
        int qp = static_cast<int>(s.uiQPSum / s.uiPCount);
        if (qp < kMinQP) qp = kMinQP;
        if (qp > kMaxQP) qp = kMaxQP;
        s.iCurQP = qp;
    }
    // An I-VOP right after another (no P-VOP to average) keeps the current quantiser.
    s.uiQPSum = 0;
    return s.iCurQP;
}

int encRateControlInterQP() {
    RateControlState& s = g_rc;
    if (s.uiPCount == 0) {
        s.iCurQP = s.iPrevQP;
        return s.iCurQP;
    }
    const uint32_t target = interTarget();
    s.uiTargetBits = target;

    const double mad = s.dPrevMAD;
    const double textureBudget = static_cast<uint32_t>(target - s.uiHeaderBits);
    const double d = s.dX1 * s.dX1 * mad * mad + 4 * s.dX2 * mad * textureBudget;
    double q;
    double divisor;
    if (s.dX2 == 0 || d < 0) {
        divisor = textureBudget;
        q = s.dX1 * mad / divisor + 0.5;
    } else {
        divisor = std::sqrt(d) - s.dX1 * mad;
        q = 2 * s.dX2 * mad / divisor + 0.5;
    }
    // A division by zero (or a model without a number) keeps the previous quantiser.
    uint32_t qp = (divisor == 0 || !std::isfinite(q)) ? static_cast<uint32_t>(s.iPrevQP)
                                                      : static_cast<uint32_t>(toInt(q));
    if (qp >= 4) {
        const uint32_t upper = static_cast<uint32_t>(std::ceil(1.25 * s.iPrevQP));
        if (qp > upper) qp = upper;
    }
    if (qp > static_cast<uint32_t>(kMaxQP)) qp = kMaxQP;
    const uint32_t lower = static_cast<uint32_t>(std::ceil(0.75 * s.iPrevQP));
    if (qp < lower) qp = lower;
    if (qp < static_cast<uint32_t>(kMinQP)) qp = kMinQP;
    s.iCurQP = static_cast<int>(qp);
    return s.iCurQP;
}

void encRateControlUpdateIntra(int32_t totalBits) {
    RateControlState& s = g_rc;
    const EncRateControlSettings& c = s.settings;
    s.uiPLeft = static_cast<uint32_t>(c.intraPeriod);
    s.dGroupSeconds = (c.intraPeriod + 1) * c.ticksPerFrame / c.frameRate;
    s.uiPCount = 0;
    s.uiHeaderBits = kIntraHeaderBits;
    s.iPrevQP = s.iCurQP;
    s.uiLastBits = static_cast<uint32_t>(totalBits);
    s.iRemainingBits =
        encWrap32(int64_t{toInt(c.bitRate * s.dGroupSeconds)} - totalBits - s.iBufferFullness);
    s.iBufferFullness =
        encWrap32(int64_t{s.iBufferFullness} + totalBits - static_cast<int32_t>(s.uiFrameBits));
    if (s.iBufferFullness < 0) s.iBufferFullness = 0;
    s.dTotalBits += totalBits;
    std::memset(s.rgiQPHistory, 0, sizeof s.rgiQPHistory);
    std::memset(s.rgdRateHistory, 0, sizeof s.rgdRateHistory);
}

void encRateControlUpdateInter(int32_t totalBits, int32_t textureBits, int32_t complexitySum,
                               int sourceWidth, int sourceHeight) {
    RateControlState& s = g_rc;
    s.dTotalBits += totalBits;
    s.iBufferFullness =
        encWrap32(int64_t{s.iBufferFullness} + totalBits - static_cast<int32_t>(s.uiFrameBits));
    s.iRemainingBits = encWrap32(int64_t{s.iRemainingBits} - totalBits);
    s.dMAD = complexitySum * 1.0 / (static_cast<double>(sourceWidth) * sourceHeight);
    if (s.uiPCount == 0)
        s.uiMinTarget = s.uiPLeft == 0 ? 0 : static_cast<uint32_t>(s.iRemainingBits) / s.uiPLeft;
    s.uiLastBits = static_cast<uint32_t>(totalBits);
    s.uiHeaderBits = static_cast<uint32_t>(totalBits - textureBits);
    s.iPrevQP = s.iCurQP;
    s.uiQPSum += static_cast<uint32_t>(s.iCurQP);
    s.uiPLeft -= 1;
    s.uiPCount += 1;

    for (int i = kHistorySize - 1; i > 0; --i) {
        s.rgiQPHistory[i] = s.rgiQPHistory[i - 1];
        s.rgdRateHistory[i] = s.rgdRateHistory[i - 1];
    }
    s.rgiQPHistory[0] = s.iCurQP;
    s.rgdRateHistory[0] = textureBits / s.dMAD;

    int n = s.uiPCount < static_cast<uint32_t>(kHistorySize) ? static_cast<int>(s.uiPCount)
                                                             : kHistorySize;
    n = s.dPrevMAD > s.dMAD ? toInt(s.dMAD / s.dPrevMAD * n) : toInt(s.dPrevMAD / s.dMAD * n);
    if (n < 1) n = 1;
    s.dPrevMAD = s.dMAD;

    std::memset(s.rgbRejected, 0, sizeof s.rgbRejected);
    fitModel(n);
    rejectOutliers(n);
    s.rgbRejected[0] = 0;
    fitModel(n);
}

double encRateControlTotalBits() {
    return g_rc.dTotalBits;
}

EncRateControlView encRateControlView() {
    const RateControlState& s = g_rc;
    EncRateControlView v;
    v.bufferFullness = s.iBufferFullness;
    v.bufferSize = s.uiBufferSize;
    v.frameBits = s.uiFrameBits;
    v.remainingBits = s.iRemainingBits;
    v.pLeft = s.uiPLeft;
    v.pCount = s.uiPCount;
    v.targetBits = s.uiTargetBits;
    v.headerBits = s.uiHeaderBits;
    v.minTarget = s.uiMinTarget;
    v.curQP = s.iCurQP;
    v.prevQP = s.iPrevQP;
    v.x1 = s.dX1;
    v.x2 = s.dX2;
    v.mad = s.dMAD;
    v.prevMad = s.dPrevMAD;
    return v;
}
