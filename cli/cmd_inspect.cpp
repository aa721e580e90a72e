// kinolite-cli inspect FILE: prints the header and WAV fields of a handset movie file and
// checks that its sections are consistent.

#include <cstdio>
#include <cstring>

#include "commands.h"
#include "file_util.h"
#include "pipeline/handset_file.h"

void printInspectHelp(FILE* out) {
    std::fprintf(out,
                 "Usage: kinolite-cli inspect FILE\n"
                 "\n"
                 "Prints one 'key: value' line per field of a handset movie file (header and WAV\n"
                 "section), then checks the file. The last line is 'ok' (exit 0) when the file\n"
                 "is consistent, otherwise 'invalid: <reason>' (exit 1).\n");
}

int runInspect(int argc, char** argv) {
    if (argc != 1 || argv[0][0] == '-') {
        printInspectHelp(stderr);
        return kExitUsage;
    }
    std::vector<uint8_t> bytes;
    if (!readWholeFile(argv[0], &bytes)) {
        std::printf("invalid: cannot read %s\n", argv[0]);
        return kExitFailed;
    }
    HandsetFileReport report = checkHandsetFile(bytes);
    for (const auto& field : report.fields)
        std::printf("%s: %s\n", field.first.c_str(), field.second.c_str());
    if (!report.ok) {
        std::printf("invalid: %s\n", report.problem.c_str());
        return kExitFailed;
    }
    std::printf("ok\n");
    return kExitOk;
}
