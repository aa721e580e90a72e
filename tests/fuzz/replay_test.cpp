// Every committed seed and every input a fuzz target once failed on, run through its target
// in the ordinary build: a regression shows without libFuzzer and without clang.

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "targets.h"

namespace {

struct Target {
    const char* name;
    const char* seeds;  // the folder of tests/fuzz/seeds/ it starts from
    int (*run)(const uint8_t*, size_t);
};
constexpr Target kTargets[] = {
    {"demux", "movie", fuzz::demuxOne},       {"job", "movie", fuzz::jobOne},
    {"audio", "movie", fuzz::audioOne},       {"decode", "es", fuzz::decodeOne},
    {"handset", "handset", fuzz::handsetOne},
};

struct Input {
    const Target* target;
    std::string path;
    std::string label;  // "<target>_<kind>_<file>", for the test name
};

void PrintTo(const Input& input, std::ostream* os) {
    *os << input.path;
}

std::vector<Input> allInputs() {
    std::vector<Input> inputs;
    for (const Target& target : kTargets) {
        for (const char* kind : {"seeds", "regressions"}) {
            const std::string folder = kind[0] == 's' ? target.seeds : target.name;
            const std::string dir =
                std::string(KINOLITE_FUZZ_INPUTS) + "/" + kind + "/" + folder + "/";
            DIR* h = opendir(dir.c_str());
            if (!h) continue;
            std::vector<std::string> names;
            while (const dirent* e = readdir(h))
                if (e->d_name[0] != '.') names.push_back(e->d_name);
            closedir(h);
            std::sort(names.begin(), names.end());
            for (const std::string& name : names) {
                std::string label = std::string(target.name) + "_" + kind + "_" + name;
                for (char& ch : label)
                    if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                inputs.push_back({&target, dir + name, label});
            }
        }
    }
    return inputs;
}

class FuzzReplayTest : public ::testing::TestWithParam<Input> {
  protected:
    static void SetUpTestSuite() { fuzz::setUpProcess(false); }
};

// The target aborts, naming what it found, when the input crashes it or leaves a file, a
// descriptor or an inconsistent result behind.
TEST_P(FuzzReplayTest, EndsCleanly) {
    const std::vector<uint8_t> bytes = fuzz::readFile(GetParam().path);
    GetParam().target->run(bytes.data(), bytes.size());
}

INSTANTIATE_TEST_SUITE_P(Inputs, FuzzReplayTest, ::testing::ValuesIn(allInputs()),
                         [](const ::testing::TestParamInfo<Input>& i) { return i.param.label; });

}  // namespace
