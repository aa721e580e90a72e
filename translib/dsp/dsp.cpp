#include "dsp/dsp.h"

namespace dsp {

void dspInit(unsigned cpuFlags, Kernels* k) {
    initTransformKernels(cpuFlags, &k->tx);
    initMcKernels(cpuFlags, &k->mc);
    initSadKernels(cpuFlags, &k->sad);
    initQuantKernels(cpuFlags, kQuantH263, &k->quant[kQuantH263]);
    initQuantKernels(cpuFlags, kQuantMpeg, &k->quant[kQuantMpeg]);
}

const Kernels& kernels() {
    static const Kernels table = [] {
        Kernels k{};
        dspInit(cpuFlags(), &k);
        return k;
    }();
    return table;
}

}  // namespace dsp
