#include "audio/resampler.h"

namespace {

// Rates are handled in units of 1/25 Hz-per-second so that they fit 16-bit fields.
constexpr uint32_t kRateUnitDivisor = 25;
// Gain is a fraction of 2^14.
constexpr int32_t kGainOne = 16384;
constexpr int kGainShift = 14;

struct ResamplerState {
    uint32_t targetRate = 0;
    int16_t outputUnit = 0;  // U
    int16_t gain = 0;        // G
    int16_t inputUnit = 0;   // V
    int16_t inputCount = 0;
    int16_t position = 0;
    int16_t phase = 0;
    bool carry = false;
    int16_t carriedFirst = 0;
    int16_t carriedSecond = 0;
};

ResamplerState g_resampler;

int16_t interpolate(const int16_t* in, int position, int32_t unit, int32_t phase, int32_t gain) {
    int32_t product = (in[position] * (unit - phase) + in[position + 1] * phase) * gain;
    // Division by 2^14 truncated toward zero.
    int32_t q = product < 0 ? (product + (kGainOne - 1)) >> kGainShift : product >> kGainShift;
    return static_cast<int16_t>(q);
}

}  // namespace

void resampleInit(uint32_t targetRate) {
    // A new stream starts: nothing of the previous one (another job's) carries over.
    g_resampler = ResamplerState();
    g_resampler.targetRate = targetRate;
    g_resampler.outputUnit = static_cast<int16_t>(targetRate / kRateUnitDivisor);
    g_resampler.gain =
        g_resampler.outputUnit ? static_cast<int16_t>(kGainOne / g_resampler.outputUnit) : 0;
}

void resampleResetState() {
    uint32_t target = g_resampler.targetRate;
    g_resampler = ResamplerState();
    resampleInit(target);
}

int resample(int16_t* inFirst, int16_t* inSecond, int n, uint32_t sourceRate, int16_t* outFirst,
             int16_t* outSecond) {
    ResamplerState& s = g_resampler;
    s.inputCount = static_cast<int16_t>(n);
    if (static_cast<uint32_t>(s.inputUnit) * kRateUnitDivisor != sourceRate)
        s.inputUnit = static_cast<int16_t>(sourceRate / kRateUnitDivisor);
    const int32_t unit = s.outputUnit;
    // Without a target unit or a source unit the interpolation cannot advance.
    if (unit <= 0 || s.inputUnit <= 0) return 0;

    int i = 0;
    if (s.carry) {
        outFirst[0] = s.carriedFirst;
        outSecond[0] = s.carriedSecond;
        i = 1;
    }
    int32_t position = s.position;
    int32_t phase = s.phase;
    while (position < n) {
        outFirst[i] = interpolate(inFirst, position, unit, phase, s.gain);
        outSecond[i] = interpolate(inSecond, position, unit, phase, s.gain);
        ++i;
        phase += s.inputUnit;
        while (phase >= unit) {
            phase -= unit;
            ++position;
        }
    }
    s.position = static_cast<int16_t>(position - n);
    s.phase = static_cast<int16_t>(phase);
    inFirst[0] = inFirst[n];
    inSecond[0] = inSecond[n];
    if (i & 1) {
        s.carry = true;
        s.carriedFirst = outFirst[i - 1];
        s.carriedSecond = outSecond[i - 1];
        return i - 1;
    }
    s.carry = false;
    return i;
}
