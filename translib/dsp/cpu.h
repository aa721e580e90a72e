#pragma once
// The CPU features the kernel tables choose from, and the features of this machine.

namespace dsp {

enum CpuFlag : unsigned {
    kCpuSse2 = 1u << 0,
    kCpuAvx2 = 1u << 1,
};

// The features of the machine the process runs on (none outside x86).
unsigned cpuFlags();

}  // namespace dsp
