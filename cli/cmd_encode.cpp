// kinolite-cli encode: runs the video encoder on a decoded-pictures file (raw planar YUV
// 4:2:0 frames) and writes the bare MPEG-4 elementary stream.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "commands.h"
#include "core/job_rules.h"
#include "platform/platform.h"
#include "venc/venc.h"

namespace {

constexpr long kMaxDimension = 4096;
constexpr long kMaxCrop = 65535;

void printUsageError(const char* message, const char* value) {
    std::fprintf(stderr, "kinolite-cli encode: %s '%s'\n\n", message, value);
    printEncodeHelp(stderr);
}

// A whole non-negative decimal number within [min, max].
bool parseNumber(const char* text, long min, long max, long* out) {
    if (!*text || *text == '-' || *text == '+') return false;
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (errno || *end || v < min || v > max) return false;
    *out = v;
    return true;
}

bool parseSize(const char* text, long* width, long* height) {
    const char* x = std::strchr(text, 'x');
    if (!x) return false;
    const std::string w(text, x);
    return parseNumber(w.c_str(), 1, kMaxDimension, width) &&
           parseNumber(x + 1, 1, kMaxDimension, height);
}

bool parseCrop(const char* text, long margins[4]) {
    std::string rest = text;
    for (int i = 0; i < 4; ++i) {
        const size_t comma = rest.find(',');
        if ((i < 3) != (comma != std::string::npos)) return false;
        const std::string part = rest.substr(0, comma);
        if (!parseNumber(part.c_str(), 0, kMaxCrop, &margins[i])) return false;
        rest = i < 3 ? rest.substr(comma + 1) : std::string();
    }
    return margins[0] + margins[1] <= kMaxCrop && margins[2] + margins[3] <= kMaxCrop;
}

struct EncodeOptions {
    long sourceWidth = 0, sourceHeight = 0;
    long sourceFps = -1;
    long width = 0, height = 0;
    long bitRate = 0;
    long fps = -1;
    long crop[4] = {0, 0, 0, 0};  // left, right, top, bottom
    std::string recon;
    std::string input, output;
};

// Parses the arguments; returns kExitOk or kExitUsage (after printing the problem).
int parseOptions(int argc, char** argv, EncodeOptions* o) {
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        const bool isOption = arg[0] == '-' && arg[1] != '\0';
        if (!isOption) {
            if (o->input.empty())
                o->input = arg;
            else if (o->output.empty())
                o->output = arg;
            else
                return printUsageError("unexpected argument", arg), kExitUsage;
            continue;
        }
        if (i + 1 >= argc) return printUsageError("missing value for", arg), kExitUsage;
        const char* value = argv[++i];
        bool ok = true;
        if (!std::strcmp(arg, "--source-size"))
            ok = parseSize(value, &o->sourceWidth, &o->sourceHeight);
        else if (!std::strcmp(arg, "--source-fps"))
            ok = parseNumber(value, 0, 1000, &o->sourceFps);
        else if (!std::strcmp(arg, "--size"))
            ok = parseSize(value, &o->width, &o->height);
        else if (!std::strcmp(arg, "--bitrate"))
            ok = parseNumber(value, 1000, 100000000, &o->bitRate);
        else if (!std::strcmp(arg, "--fps"))
            ok = parseNumber(value, 1, 1000, &o->fps);
        else if (!std::strcmp(arg, "--crop"))
            ok = parseCrop(value, o->crop);
        else if (!std::strcmp(arg, "--recon"))
            o->recon = value;
        else
            return printUsageError("unknown option", arg), kExitUsage;
        if (!ok) return printUsageError("invalid value", value), kExitUsage;
    }
    if (o->input.empty() || o->output.empty() || o->sourceWidth == 0 || o->sourceFps < 0 ||
        o->width == 0 || o->bitRate == 0) {
        std::fprintf(stderr, "kinolite-cli encode: missing arguments\n\n");
        printEncodeHelp(stderr);
        return kExitUsage;
    }
    if (o->width % 16 || o->height % 16) {
        return printUsageError(
                   "the picture size must be a multiple of 16:",
                   (std::to_string(o->width) + "x" + std::to_string(o->height)).c_str()),
               kExitUsage;
    }
    if (o->fps < 0) {
        uint32_t tableRate = 0;
        if (!jobrules::frameRateForSize(static_cast<uint16_t>(o->width),
                                        static_cast<uint16_t>(o->height), &tableRate)) {
            std::fprintf(stderr,
                         "kinolite-cli encode: the size %ldx%ld has no frame rate of its own; "
                         "give --fps\n",
                         o->width, o->height);
            return kExitUsage;
        }
        // Lowered to the source rate as the job driver does.
        o->fps = tableRate > static_cast<uint32_t>(o->sourceFps) ? o->sourceFps : tableRate;
    }
    return kExitOk;
}

}  // namespace

void printEncodeHelp(FILE* out) {
    std::fprintf(out,
                 "Usage: kinolite-cli encode --source-size WxH --source-fps S --size WxH\n"
                 "                           --bitrate N [--fps T] [--crop L,R,T,B]\n"
                 "                           [--recon FILE] IN.yuv OUT.m4v\n"
                 "\n"
                 "Encodes a decoded-pictures file (raw planar YUV 4:2:0 frames of the source\n"
                 "size) as the handset movie file's video does, and writes the bare MPEG-4\n"
                 "elementary stream (VO and VOL headers, then the VOPs) to OUT.m4v. Prints the\n"
                 "encoder's log, then 'vops: N' and 'bytes: B'.\n"
                 "\n"
                 "  --source-size WxH  size of the frames in IN.yuv\n"
                 "  --source-fps S     average frame rate of the source (whole frames/s)\n"
                 "  --size WxH         coded picture size (multiples of 16)\n"
                 "  --bitrate N        target bits per second\n"
                 "  --fps T            target frame rate (default: the rate of the size, at\n"
                 "                     most S)\n"
                 "  --crop L,R,T,B     margins cut from the source before scaling\n"
                 "  --recon FILE       also write the encoder's reconstruction of every VOP\n");
}

int runEncode(int argc, char** argv) {
    EncodeOptions o;
    const int parsed = parseOptions(argc, argv, &o);
    if (parsed != kExitOk) return parsed;

    FILE* probe = std::fopen(o.input.c_str(), "rb");
    if (!probe) {
        std::fprintf(stderr, "kinolite-cli encode: cannot read %s\n", o.input.c_str());
        return kExitFailed;
    }
    std::fclose(probe);

    EncoderJob job;
    job.sourceWidth = static_cast<int32_t>(o.sourceWidth);
    job.sourceHeight = static_cast<int32_t>(o.sourceHeight);
    job.sourceFrameRate = static_cast<uint32_t>(o.sourceFps);
    job.width = static_cast<uint16_t>(o.width);
    job.height = static_cast<uint16_t>(o.height);
    job.bitRate = static_cast<uint32_t>(o.bitRate);
    job.frameRate = static_cast<uint32_t>(o.fps);
    job.cropEnabled = 1;
    job.cropLeft = static_cast<uint16_t>(o.crop[0]);
    job.cropHorizontal = static_cast<uint16_t>(o.crop[0] + o.crop[1]);
    job.cropTop = static_cast<uint16_t>(o.crop[2]);
    job.cropVertical = static_cast<uint16_t>(o.crop[2] + o.crop[3]);

    FILE* output = std::fopen(o.output.c_str(), "wb");
    if (!output) {
        std::fprintf(stderr, "kinolite-cli encode: cannot write %s\n", o.output.c_str());
        return kExitFailed;
    }
    if (!o.recon.empty()) {
        job.reconstruction = std::fopen(o.recon.c_str(), "wb");
        if (!job.reconstruction) {
            std::fclose(output);
            platform::removeFile(o.output);
            std::fprintf(stderr, "kinolite-cli encode: cannot write %s\n", o.recon.c_str());
            return kExitFailed;
        }
    }

    const EncoderResult r = runEncoderOnFile(o.input, output, job);

    bool ok = r.ok;
    if (job.reconstruction && std::fclose(job.reconstruction) != 0) ok = false;
    if (std::fclose(output) != 0) ok = false;
    if (!ok) {
        platform::removeFile(o.output);
        if (job.reconstruction) platform::removeFile(o.recon);
        std::fprintf(stderr, "kinolite-cli encode: encoding %s failed\n", o.input.c_str());
        return kExitFailed;
    }
    std::printf("vops: %d\nbytes: %d\n", r.vops, r.bytes);
    if (r.framesPastLimit > 0)
        std::printf("frames past the handset limit: %d\n", r.framesPastLimit);
    return kExitOk;
}
