// kinolite-cli extract FILE [-o DIR]: writes the video section as <name>.m4v and the WAV
// section as <name>.wav.

#include <cstdio>
#include <cstring>
#include <string>

#include "commands.h"
#include "core/job_files.h"
#include "file_util.h"
#include "pipeline/handset_file.h"
#include "platform/platform.h"

void printExtractHelp(FILE* out) {
    std::fprintf(out,
                 "Usage: kinolite-cli extract FILE [-o DIR]\n"
                 "\n"
                 "Writes the video section of a handset movie file to DIR/<name>.m4v (an MPEG-4\n"
                 "elementary stream) and its WAV section to DIR/<name>.wav, where <name> is the\n"
                 "file name without its extension.\n"
                 "\n"
                 "  -o, --output-dir DIR   where to write, created when missing (default: the\n"
                 "                         file's directory)\n");
}

int runExtract(int argc, char** argv) {
    std::string input;
    std::string outDir;
    bool haveOutDir = false;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "-o") || !std::strcmp(argv[i], "--output-dir")) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kinolite-cli extract: %s needs a directory\n", argv[i]);
                return kExitUsage;
            }
            outDir = argv[++i];
            haveOutDir = true;
        } else if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "kinolite-cli extract: unknown option '%s'\n", argv[i]);
            printExtractHelp(stderr);
            return kExitUsage;
        } else if (input.empty()) {
            input = argv[i];
        } else {
            printExtractHelp(stderr);
            return kExitUsage;
        }
    }
    if (input.empty()) {
        printExtractHelp(stderr);
        return kExitUsage;
    }
    if (!haveOutDir) outDir = platform::directoryPart(input);
    if (!outDir.empty() && outDir.back() != '/') outDir += '/';

    std::vector<uint8_t> bytes;
    if (!readWholeFile(input, &bytes)) {
        std::fprintf(stderr, "kinolite-cli extract: cannot read %s\n", input.c_str());
        return kExitFailed;
    }
    HandsetFileReport report = checkHandsetFile(bytes);
    if (!report.ok) {
        std::fprintf(stderr, "kinolite-cli extract: %s is not a valid handset movie file: %s\n",
                     input.c_str(), report.problem.c_str());
        return kExitFailed;
    }
    std::string problem;
    if (haveOutDir && !makeDirectories(outDir, &problem)) {
        std::fprintf(stderr, "kinolite-cli extract: cannot create %s: %s\n", outDir.c_str(),
                     problem.c_str());
        return kExitFailed;
    }
    const std::string name = outDir + baseNameOf(input);
    const std::string videoPath = name + ".m4v";
    const std::string wavPath = name + ".wav";
    if (!writeWholeFile(videoPath, bytes.data() + report.videoOffset, report.videoBytes)) {
        std::fprintf(stderr, "kinolite-cli extract: cannot write %s\n", videoPath.c_str());
        return kExitFailed;
    }
    if (!writeWholeFile(wavPath, bytes.data() + report.wavOffset, report.wavBytes)) {
        std::fprintf(stderr, "kinolite-cli extract: cannot write %s\n", wavPath.c_str());
        return kExitFailed;
    }
    std::printf("%s\n%s\n", videoPath.c_str(), wavPath.c_str());
    return kExitOk;
}
