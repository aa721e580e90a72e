// kinolite-cli decode ES_FILE OUT.yuv: runs the video decoder on an elementary-stream file
// and writes the decoded pictures (planar YUV 4:2:0, no header) to OUT.yuv.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "core/context.h"
#include "core/job_files.h"
#include "file_util.h"
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

// The temporaries of a run, removed by the signal handler when the run is interrupted.
char g_temporaries[2][4096];

void removeTemporariesAndDie(int sig) {
    for (const char* path : g_temporaries)
        if (path[0]) unlink(path);
    signal(sig, SIG_DFL);
    raise(sig);
}

// Arranges that an interrupted run (or a reader that goes away) leaves no temporary file.
void guardTemporaries(const std::string& a, const std::string& b) {
    std::snprintf(g_temporaries[0], sizeof g_temporaries[0], "%s", a.c_str());
    std::snprintf(g_temporaries[1], sizeof g_temporaries[1], "%s", b.c_str());
    signal(SIGPIPE, SIG_IGN);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) signal(sig, removeTemporariesAndDie);
}

// The file name of a path after its last '/'.
std::string fileNamePart(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
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

    std::vector<uint8_t> stream;
    if (!readWholeFile(input, &stream)) {
        std::fprintf(stderr, "kinolite-cli decode: cannot read %s\n", input.c_str());
        return kExitFailed;
    }

    // The decoder reads the stream from the program's directory and writes the pictures
    // into the current directory, both under the job's base name. Work in the output's
    // directory so that the pictures only need renaming, under a name of this process.
    const std::string outDir = platform::directoryPart(output);
    if (!outDir.empty() && chdir(outDir.c_str()) != 0) {
        std::fprintf(stderr, "kinolite-cli decode: cannot enter %s\n", outDir.c_str());
        return kExitFailed;
    }
    const std::string outName = fileNamePart(output);
    g_context.moduleDir = platform::programDir();
    g_context.baseName = "kinolite-decode-" + std::to_string(getpid()) + "-";
    const std::string esPath = videoEsFilePath();
    const std::string picturesPath = decodedPicturesPath();
    guardTemporaries(esPath, picturesPath);
    if (!writeWholeFile(esPath, stream.data(), stream.size())) {
        platform::removeFile(esPath);
        std::fprintf(stderr, "kinolite-cli decode: cannot write %s\n", esPath.c_str());
        return kExitFailed;
    }
    std::vector<uint8_t>().swap(stream);

    g_context.success = 1;
    g_context.sourceWidth = 0;
    g_context.sourceHeight = 0;
    runDecoder();
    std::fflush(stdout);
    platform::removeFile(esPath);

    if (!g_context.success) {
        platform::removeFile(picturesPath);
        std::fprintf(stderr, "kinolite-cli decode: the decoder refused or failed on %s\n",
                     input.c_str());
        return kExitFailed;
    }
    if (std::rename(picturesPath.c_str(), outName.c_str()) != 0) {
        platform::removeFile(picturesPath);
        std::fprintf(stderr, "kinolite-cli decode: cannot write %s\n", output.c_str());
        return kExitFailed;
    }
    const int w = g_context.sourceWidth, h = g_context.sourceHeight;
    const long long frameBytes = (long long)w * h + 2LL * (w / 2) * (h / 2);
    FILE* f = std::fopen(outName.c_str(), "rb");
    long long bytes = 0;
    if (f) {
        std::fseek(f, 0, SEEK_END);
        bytes = std::ftell(f);
        std::fclose(f);
    }
    std::printf("width: %d\nheight: %d\nframes: %lld\n", w, h,
                frameBytes > 0 ? bytes / frameBytes : 0);
    return kExitOk;
}
