// kinolite-cli: converts 3GP/MP4 movies into handset movie files and reads those files.

#include <cstdio>
#include <cstring>

#include "commands.h"

namespace {

const Subcommand kSubcommands[] = {
    {"convert", "convert 3GP/MP4 movies into handset movie files", runConvert, printConvertHelp},
    {"inspect", "print and check the sections of a handset movie file", runInspect,
     printInspectHelp},
    {"extract", "write the video and WAV sections of a handset movie file", runExtract,
     printExtractHelp},
    {"decode", "decode a video elementary stream into raw YUV 4:2:0 pictures", runDecode,
     printDecodeHelp},
    {"encode", "encode a decoded-pictures file (raw YUV 4:2:0) as an MPEG-4 stream", runEncode,
     printEncodeHelp},
};

void printHelp(FILE* out) {
    std::fprintf(out,
                 "Usage: kinolite-cli COMMAND [ARGS...]\n"
                 "\n"
                 "Kinolite converts 3GP/MP4 movies into compact handset movie files.\n"
                 "\n"
                 "Commands:\n");
    for (const Subcommand& s : kSubcommands) std::fprintf(out, "  %-9s %s\n", s.name, s.summary);
    std::fprintf(out, "\nRun 'kinolite-cli COMMAND --help' for the options of a command.\n");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        printHelp(stderr);
        return kExitUsage;
    }
    const char* name = argv[1];
    if (!std::strcmp(name, "--help") || !std::strcmp(name, "-h") || !std::strcmp(name, "help")) {
        printHelp(stdout);
        return kExitOk;
    }
    for (const Subcommand& s : kSubcommands) {
        if (std::strcmp(name, s.name) != 0) continue;
        for (int i = 2; i < argc; ++i) {
            if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
                s.printHelp(stdout);
                return kExitOk;
            }
        }
        return s.run(argc - 2, argv + 2);
    }
    std::fprintf(stderr, "kinolite-cli: unknown command '%s'\n\n", name);
    printHelp(stderr);
    return kExitUsage;
}
