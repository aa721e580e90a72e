// kinolite-cli decode ES_FILE OUT.yuv: runs the video decoder on an elementary-stream file
// and writes the decoded pictures (planar YUV 4:2:0, no header) to OUT.yuv.

#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "platform/platform.h"
#include "vdec/vdec.h"

void printDecodeHelp(FILE* out) {
    std::fprintf(out,
                 "Usage: kinolite-cli decode ES_FILE OUT.yuv\n"
                 "\n"
                 "Decodes an MPEG-4 part 2 (simple profile) or H.263 elementary stream with the\n"
                 "converter's video decoder and writes the pictures to OUT.yuv (planar YUV 4:2:0,\n"
                 "8 bits, no header). Prints the decoder's messages, then 'width: W',\n"
                 "'height: H' and 'frames: N'. Exits 1 when the decoder refuses the stream or\n"
                 "fails.\n");
}

namespace {

// The temporary pictures file of a run, removed by the signal handler when the run is
// interrupted.
char g_temporary[4096];

void removeTemporaryAndDie(int sig) {
    if (g_temporary[0]) unlink(g_temporary);
    signal(sig, SIG_DFL);
    raise(sig);
}

// Arranges that an interrupted run (or a reader that goes away) leaves no temporary file.
void guardTemporary(const std::string& path) {
    std::snprintf(g_temporary, sizeof g_temporary, "%s", path.c_str());
    signal(SIGPIPE, SIG_IGN);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, removeTemporaryAndDie);
}

// Creates a new, empty file for the pictures beside `output`, with the permissions a new
// file gets; its path, or "" when the directory does not take it.
std::string createTemporaryBeside(const std::string& output) {
    std::string path = platform::directoryPart(output) + "kinolite-decode-XXXXXX.yuv";
    const int fd = mkstemps(&path[0], 4);
    if (fd < 0) return std::string();
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    return path;
}

}  // namespace

int runDecode(int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) {
        if (argv[i][0] == '-' && argv[i][1] != '\0') {
            std::fprintf(stderr, "kinolite-cli decode: unknown option '%s'\n", argv[i]);
            printDecodeHelp(stderr);
            return kExitUsage;
        }
        args.push_back(argv[i]);
    }
    if (args.size() != 2) {
        printDecodeHelp(stderr);
        return kExitUsage;
    }
    const std::string& input = args[0];
    const std::string& output = args[1];

    // The pictures go to a file of this run beside the output, which takes the output's
    // name once the stream is decoded: a failed run leaves no output, and an output that
    // was there before stays as it was.
    const std::string pictures = createTemporaryBeside(output);
    if (pictures.empty()) {
        std::fprintf(stderr, "kinolite-cli decode: cannot write %s\n", output.c_str());
        return kExitFailed;
    }
    guardTemporary(pictures);
    const DecoderResult r = runDecoderOnFile(input, pictures);
    std::fflush(stdout);
    if (!r.ok) {
        platform::removeFile(pictures);
        std::fprintf(stderr, "kinolite-cli decode: %s\n", r.message.c_str());
        return kExitFailed;
    }
    if (std::rename(pictures.c_str(), output.c_str()) != 0) {
        platform::removeFile(pictures);
        std::fprintf(stderr, "kinolite-cli decode: cannot write %s\n", output.c_str());
        return kExitFailed;
    }
    std::printf("width: %d\nheight: %d\nframes: %d\n", r.width, r.height, r.frames);
    return kExitOk;
}
