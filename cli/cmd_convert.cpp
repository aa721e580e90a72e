// kinolite-cli convert [options] SOURCE...: converts each source into a handset movie
// file, one job after the other, the way the job list's worker does.

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "commands.h"
#include "convert_batch.h"
#include "core/job_rules.h"
#include "core/picture_fit.h"
#include "file_util.h"
#include "pipeline/job_driver.h"
#include "pipeline/job_runner.h"
#include "platform/platform.h"

namespace {

struct ConvertOptions {
    std::string outDir;
    bool haveOutDir = false;
    uint16_t width = jobrules::kDefaultWidth, height = jobrules::kDefaultHeight;
    uint32_t bitRate = jobrules::kDefaultBitRate;
    int crop[4] = {0, 0, 0, 0};  // left, right, top, bottom
    PictureFit fit = PictureFit::Stretch;
    BatchOptions batch;
    bool haveWorkers = false;
    std::vector<std::string> sources;
};

int usageError(const char* format, const char* arg = "") {
    std::fprintf(stderr, "kinolite-cli convert: ");
    std::fprintf(stderr, format, arg);
    std::fprintf(stderr, "\nRun 'kinolite-cli convert --help' for the options.\n");
    return kExitUsage;
}

bool parseSize(const std::string& text, ConvertOptions* o) {
    int index = jobrules::sizeIndexOfText(text);
    if (index < 0) return false;
    o->width = jobrules::kTargetSizes[index].width;
    o->height = jobrules::kTargetSizes[index].height;
    return true;
}

bool parseBitRate(const std::string& text, ConvertOptions* o) {
    int index = jobrules::bitRateIndexOfText(text);
    if (index < 0) return false;
    o->bitRate = jobrules::kBitRates[index];
    return true;
}

// "L,R,T,B": four decimal numbers, an empty one counting as 0.
bool parseCrop(const std::string& text, ConvertOptions* o) {
    int values[4];
    size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        size_t end = text.find(',', start);
        if ((end == std::string::npos) != (i == 3)) return false;
        std::string part =
            text.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.size() > 6 || part.find_first_not_of("0123456789") != std::string::npos)
            return false;
        values[i] = part.empty() ? 0 : std::atoi(part.c_str());
        start = end + 1;
    }
    std::copy(values, values + 4, o->crop);
    return true;
}

// Parses the arguments; returns kExitOk or the status of a usage error already reported.
int parseOptions(int argc, char** argv, ConvertOptions* o) {
    for (int i = 0; i < argc; ++i) {
        std::string arg = argv[i];
        std::string value;
        bool inlineValue = false;
        if (arg.rfind("--", 0) == 0 && arg.find('=') != std::string::npos) {
            value = arg.substr(arg.find('=') + 1);
            arg = arg.substr(0, arg.find('='));
            inlineValue = true;
        }
        auto takeValue = [&](const char* what) -> bool {
            if (inlineValue) return true;
            if (i + 1 >= argc) {
                usageError("%s needs a value", what);
                return false;
            }
            value = argv[++i];
            return true;
        };
        if (arg == "-o" || arg == "--output-dir") {
            if (!takeValue(arg.c_str())) return kExitUsage;
            o->outDir = value;
            o->haveOutDir = true;
        } else if (arg == "-s" || arg == "--size") {
            if (!takeValue(arg.c_str())) return kExitUsage;
            if (!parseSize(value, o))
                return usageError(
                    "size '%s' is not one of 128x96, 128x128, 160x96, 160x128, 176x144",
                    value.c_str());
        } else if (arg == "-b" || arg == "--bitrate") {
            if (!takeValue(arg.c_str())) return kExitUsage;
            if (!parseBitRate(value, o))
                return usageError("bit rate '%s' is not one of 100000, 80000, 50000",
                                  value.c_str());
        } else if (arg == "-c" || arg == "--crop") {
            if (!takeValue(arg.c_str())) return kExitUsage;
            if (!parseCrop(value, o))
                return usageError("crop '%s' is not four numbers L,R,T,B", value.c_str());
        } else if (arg == "--fit") {
            if (!takeValue(arg.c_str())) return kExitUsage;
            if (!pictureFitOfName(value, &o->fit))
                return usageError("fit '%s' is not one of stretch, pad, crop", value.c_str());
        } else if (arg == "-j" || arg == "--jobs") {
            if (!takeValue(arg.c_str())) return kExitUsage;
            if (value.empty() || value.size() > 4 ||
                value.find_first_not_of("0123456789") != std::string::npos ||
                std::atoi(value.c_str()) < 1)
                return usageError("jobs '%s' is not a number from 1 up", value.c_str());
            o->batch.workers = std::atoi(value.c_str());
            o->haveWorkers = true;
        } else if (arg == "--log") {
            if (!takeValue(arg.c_str())) return kExitUsage;
            if (value.empty()) return usageError("--log needs a file name%s");
            o->batch.logPath = value;
        } else if (arg == "-v" || arg == "--verbose") {
            o->batch.verbose = true;
        } else if (arg == "-y" || arg == "--yes") {
            o->batch.drift = DriftAnswer::Yes;
        } else if (arg == "-n" || arg == "--no") {
            o->batch.drift = DriftAnswer::No;
        } else if (arg == "-q" || arg == "--quiet") {
            // The output is quiet by default.
        } else if (arg.size() > 1 && arg[0] == '-') {
            return usageError("unknown option '%s'", arg.c_str());
        } else {
            o->sources.push_back(arg);
        }
    }
    if (o->sources.empty()) return usageError("no source movie given%s");
    return kExitOk;
}

std::string withSlash(std::string dir) {
    if (!dir.empty() && dir.back() != '/') dir += '/';
    return dir;
}

// A settings dialog message: the same text the user would meet there.
int dialogMessage(int id, const std::string& about = std::string()) {
    if (about.empty())
        std::fprintf(stderr, "kinolite-cli convert: %s\n", jobrules::messageText(id));
    else
        std::fprintf(stderr, "kinolite-cli convert: %s: %s\n", about.c_str(),
                     jobrules::messageText(id));
    return kExitUsage;
}

// The picture size a source declares, read in a worker process (the demultiplexer keeps
// process-wide state and traces what it reads); false when it cannot be told.
bool sourcePictureSize(const std::string& source, int* width, int* height) {
    std::string text;
    auto work = [&] {
        int w = 0, h = 0;
        return declaredPictureSize(source, &w, &h) ? std::to_string(w) + " " + std::to_string(h)
                                                   : std::string();
    };
    int w = 0, h = 0;
    if (!runInWorkerProcess(work, &text) || std::sscanf(text.c_str(), "%d %d", &w, &h) != 2 ||
        w <= 0 || h <= 0)
        return false;
    *width = w;
    *height = h;
    return true;
}

// Margins beyond the dialogs' limits are for larger pictures: a source that declares a
// picture wider than jobrules::kWideCropSourceWidth takes them up to a quarter of its size
// (*wide set: the job checks them again against the pictures it decodes). Returns kExitOk
// with *wide, or the status of the message shown: the dialog's own for a smaller picture.
int checkWideCrop(const ConvertOptions& o, const std::string& source, bool* wide) {
    const int* m = o.crop;
    *wide = false;
    if (m[0] <= jobrules::kMaxCropHorizontal && m[1] <= jobrules::kMaxCropHorizontal &&
        m[2] <= jobrules::kMaxCropVertical && m[3] <= jobrules::kMaxCropVertical)
        return kExitOk;
    int width = 0, height = 0;
    if (!sourcePictureSize(source, &width, &height) || width <= jobrules::kWideCropSourceWidth)
        return kExitOk;  // the dialog's checks tell
    if (jobrules::cropFitsSource(m[0], m[1], m[2], m[3], width, height, true)) {
        *wide = true;
        return kExitOk;
    }
    std::fprintf(stderr,
                 "kinolite-cli convert: %s: crop margins of a %dx%d picture may be up to a "
                 "quarter of its width and height (%d at the left and right, %d at the top and "
                 "bottom)\n",
                 source.c_str(), width, height,
                 std::max(width / jobrules::kWideCropShare, jobrules::kMaxCropHorizontal),
                 std::max(height / jobrules::kWideCropShare, jobrules::kMaxCropVertical));
    return kExitUsage;
}

// Checks the jobs as the settings dialog checks each one; returns kExitOk or the status
// of the message shown.
int buildJobs(const ConvertOptions& o, std::vector<JobRequest>* jobs) {
    std::vector<std::string> destinations;
    for (const std::string& source : o.sources) {
        JobRequest job;
        job.sourcePath = source;
        job.destDir = withSlash(o.haveOutDir ? o.outDir : platform::directoryPart(source));
        jobrules::JobFields fields;
        fields.source = source;
        fields.destination = jobOutputPath(job);
        bool wideCrop = false;
        const int status = checkWideCrop(o, source, &wideCrop);
        if (status != kExitOk) return status;
        if (!wideCrop) {  // wide margins are checked against the source's picture
            fields.cropLeft = o.crop[0];
            fields.cropRight = o.crop[1];
            fields.cropTop = o.crop[2];
            fields.cropBottom = o.crop[3];
        }
        int message = jobrules::checkJobFields(fields, destinations, -1);
        if (message == jobrules::kMsgAlreadyQueued) {
            // Refused before anything is converted: the second job would replace the
            // first one's file (letters compared without case, as the job list does).
            size_t other = 0;
            while (!jobrules::isDuplicateDestination({destinations[other]}, fields.destination, -1))
                ++other;
            return dialogMessage(message, jobs->at(other).sourcePath + " and " + source +
                                              " both write " + fields.destination);
        }
        if (message != 0) return dialogMessage(message);
        if (access(source.c_str(), F_OK) != 0)
            return dialogMessage(jobrules::kMsgSourceMissing, source);
        job.settings = jobrules::settingsFor(o.crop[0], o.crop[1], o.crop[2], o.crop[3], o.width,
                                             o.height, o.bitRate);
        job.settings.fit = o.fit;
        job.settings.wideCrop = wideCrop ? 1 : 0;
        destinations.push_back(fields.destination);
        jobs->push_back(job);
    }
    return kExitOk;
}

}  // namespace

void printConvertHelp(FILE* out) {
    std::fprintf(
        out,
        "Usage: kinolite-cli convert [options] SOURCE...\n"
        "\n"
        "Converts each 3GP/MP4 source into a handset movie file named <source name>_new.mp4.\n"
        "Prints one line per job on standard output as the jobs finish: \"done: FILE\",\n"
        "\"failed: FILE: REASON\" or \"interrupted: FILE\". The file is written under a name\n"
        "of its own and replaces an existing file of its name only when its job is done: a\n"
        "failed or interrupted job leaves that file as it was. Two sources of one batch\n"
        "that would write one file (letter case aside) stop the batch before it starts.\n"
        "\n"
        "A handset file holds at most 16667 pictures: 34:43 of video at 8 frames/s (160x128,\n"
        "176x144), 27:46 at 10 (128x128, 160x96), 18:31 at 15 (128x96). The video of a\n"
        "longer source ends there (the audio goes on) and its line says so: \"done: FILE\n"
        "(video ends at 34:43 of 41:10: handset limit)\". 'probe' tells it before.\n"
        "\n"
        "  -o, --output-dir DIR   where to write, created when missing (default: each\n"
        "                         source's directory)\n"
        "  -s, --size WxH         128x96 (default), 128x128, 160x96, 160x128 or 176x144\n"
        "  -b, --bitrate N        video bits per second: 100000 (default), 80000 or 50000\n"
        "  -c, --crop L,R,T,B     pixels cut from the left, right, top and bottom edges\n"
        "                         (0 to 60 horizontally, 0 to 40 vertically; default 0,0,0,0;\n"
        "                         for sources wider than 352 pixels up to a quarter of the\n"
        "                         picture's width and height)\n"
        "      --fit MODE         how a picture of another aspect ratio than the handset size\n"
        "                         fills it, after the crop: stretch (default: the whole\n"
        "                         picture, distorted), pad (the whole picture, its aspect\n"
        "                         ratio kept, black bars around it) or crop (the size\n"
        "                         filled, its aspect ratio kept, the overflow cut evenly)\n"
        "  -y, --yes              convert sources whose frame rate is irregular (audio and\n"
        "  -n, --no               video may drift apart) / fail them; without either the\n"
        "                         question is asked on a terminal, one job at a time,\n"
        "                         otherwise they are converted with a warning\n"
        "  -j, --jobs N           convert N sources at once, each in its own process\n"
        "                         (default: the number of cores); the files are the same\n"
        "                         as with -j 1\n"
        "  -v, --verbose          the conversion's trace on standard output\n"
        "      --log FILE         write the whole trace of every job to FILE\n"
        "  -q, --quiet            the default (kept for scripts written for the trace\n"
        "                         that used to be the default)\n"
        "\n"
        "A progress bar of the batch is drawn on standard error when it is a terminal.\n"
        "Ctrl-C (SIGINT), SIGTERM and SIGHUP stop the running jobs: their temporary files and\n"
        "unfinished outputs are removed, files of jobs already done stay.\n"
        "\n"
        "Exit status: 0 when every job is done, 1 when any failed, 2 for usage errors, 130\n"
        "when interrupted.\n");
}

int runConvert(int argc, char** argv) {
    ConvertOptions options;
    int status = parseOptions(argc, argv, &options);
    if (status != kExitOk) return status;
    std::vector<JobRequest> jobs;
    status = buildJobs(options, &jobs);
    if (status != kExitOk) return status;
    if (options.haveOutDir) {
        std::string problem;
        if (!makeDirectories(options.outDir, &problem)) {
            std::fprintf(stderr, "kinolite-cli convert: cannot create %s: %s\n",
                         options.outDir.c_str(), problem.c_str());
            return kExitFailed;
        }
    }
    BatchOptions& batch = options.batch;
    if (!options.haveWorkers) {
        const long cores = sysconf(_SC_NPROCESSORS_ONLN);
        batch.workers = cores > 0 ? static_cast<int>(cores) : 1;
    }
    if (batch.workers > static_cast<int>(jobs.size()))
        batch.workers = static_cast<int>(jobs.size());
    batch.bar = isatty(2) != 0;
    return runBatch(jobs, batch);
}
