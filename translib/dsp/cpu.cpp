#include "dsp/cpu.h"

namespace dsp {

unsigned cpuFlags() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned flags = 0;
    if (__builtin_cpu_supports("sse2")) flags |= kCpuSse2;
    if (__builtin_cpu_supports("avx2")) flags |= kCpuAvx2;
    return flags;
#else
    return 0u;
#endif
}

}  // namespace dsp
