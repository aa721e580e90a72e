#pragma once
// The fixture of the randomised kernel tests: a generator seeded from KINOLITE_TEST_SEED
// (or a fixed default), the seed printed with every failure, and the plain kernel table.

#include <gtest/gtest.h>

#include <random>

#include "dsp/dsp.h"
#include "testing/test_util.h"

namespace dsp_test {

constexpr unsigned kDefaultSeed = 0x5eed1234;

class SeededTest : public ::testing::Test {
  protected:
    SeededTest() { dsp::dspInit(0, &plain); }

    int uniform(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); }

    const unsigned seed = testing_util::testSeed(kDefaultSeed);
    const ::testing::ScopedTrace seedTrace{__FILE__, __LINE__, testing_util::seedTrace(seed)};
    std::mt19937 rng{seed};
    dsp::Kernels plain{};
};

}  // namespace dsp_test
