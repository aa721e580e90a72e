#pragma once
// The signal kernels both video codecs use, in one table of function pointers per family,
// filled once from the CPU flags: the plain kernels first, then the faster bit-exact
// variants the flags allow. A test can build the plain table and a fast one side by side.

#include "dsp/cpu.h"
#include "dsp/mc.h"
#include "dsp/quant.h"
#include "dsp/sad.h"
#include "dsp/transform.h"

namespace dsp {

struct Kernels {
    TransformKernels tx;
    McKernels mc;
    SadKernels sad;
    QuantKernels quant[2];  // [QuantMethod]
};

// Fills every family for the CPU features in cpuFlags (0: the plain kernels only).
void dspInit(unsigned cpuFlags, Kernels* k);

// The table of this machine, filled on first use.
const Kernels& kernels();

}  // namespace dsp
