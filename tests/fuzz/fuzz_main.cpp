// libFuzzer's entry points for one target, chosen by KINOLITE_FUZZ_TARGET at compile time.
//
// The target works in a private directory (the job's relative file names need it), which
// it enters before libFuzzer reads its arguments: relative paths among them are made
// absolute here, and crash files go to the directory the fuzzer was started in unless
// -artifact_prefix says otherwise.

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "targets.h"

namespace {

// Flags whose value is a path.
constexpr const char* kPathFlags[] = {
    "-artifact_prefix=",    "-exact_artifact_path=", "-dict=",
    "-merge_control_file=", "-features_dir=",
};

std::string absolute(const std::string& cwd, const std::string& path) {
    return path.empty() || path[0] == '/' ? path : cwd + path;
}

// Rewrites the arguments with absolute paths; the strings live as long as the process.
void makePathsAbsolute(int* argc, char*** argv) {
    static std::vector<std::string> args;
    static std::vector<char*> pointers;
    char buffer[4096];
    if (!getcwd(buffer, sizeof buffer)) return;
    const std::string cwd = std::string(buffer) + "/";
    bool artifactPrefix = false;
    for (int i = 0; i < *argc; ++i) {
        std::string arg = (*argv)[i];
        if (i > 0 && arg[0] != '-') arg = absolute(cwd, arg);
        for (const char* flag : kPathFlags) {
            const size_t n = std::strlen(flag);
            if (arg.compare(0, n, flag) == 0) arg = flag + absolute(cwd, arg.substr(n));
        }
        artifactPrefix = artifactPrefix || arg.compare(0, 17, "-artifact_prefix=") == 0;
        args.push_back(arg);
    }
    if (!artifactPrefix) args.insert(args.begin() + 1, "-artifact_prefix=" + cwd);
    for (std::string& a : args) pointers.push_back(&a[0]);
    pointers.push_back(nullptr);
    *argc = static_cast<int>(args.size());
    *argv = pointers.data();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    makePathsAbsolute(argc, argv);
    fuzz::setUpProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return fuzz::KINOLITE_FUZZ_TARGET(data, size);
}
