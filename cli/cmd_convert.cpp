// kinolite-cli convert [options] SOURCE...: converts each source into a handset movie
// file, one job after the other, the way the job list's worker does.

#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "commands.h"
#include "core/job_files.h"
#include "core/job_rules.h"
#include "pipeline/job_driver.h"
#include "pipeline/job_runner.h"
#include "platform/platform.h"

namespace {

// The progress display polls the counters this often, like the desktop program's timer.
constexpr auto kPollPeriod = std::chrono::milliseconds(20);
constexpr int kBarWidth = 30;

enum class DriftAnswer { Ask, Yes, No };

struct ConvertOptions {
    std::string outDir;
    bool haveOutDir = false;
    uint16_t width = jobrules::kDefaultWidth, height = jobrules::kDefaultHeight;
    uint32_t bitRate = jobrules::kDefaultBitRate;
    int crop[4] = {0, 0, 0, 0};  // left, right, top, bottom
    DriftAnswer drift = DriftAnswer::Ask;
    bool quiet = false;
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
        } else if (arg == "-y" || arg == "--yes") {
            o->drift = DriftAnswer::Yes;
        } else if (arg == "-n" || arg == "--no") {
            o->drift = DriftAnswer::No;
        } else if (arg == "-q" || arg == "--quiet") {
            o->quiet = true;
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
        fields.cropLeft = o.crop[0];
        fields.cropRight = o.crop[1];
        fields.cropTop = o.crop[2];
        fields.cropBottom = o.crop[3];
        int message = jobrules::checkJobFields(fields, destinations, -1);
        if (message == jobrules::kMsgAlreadyQueued)
            return dialogMessage(message, fields.destination);
        if (message != 0) return dialogMessage(message);
        if (access(source.c_str(), F_OK) != 0)
            return dialogMessage(jobrules::kMsgSourceMissing, source);
        job.settings = jobrules::settingsFor(o.crop[0], o.crop[1], o.crop[2], o.crop[3], o.width,
                                             o.height, o.bitRate);
        destinations.push_back(fields.destination);
        jobs->push_back(job);
    }
    return kExitOk;
}

// The terminal side of a run: the progress bar on standard error and the result lines.
class ConvertDisplay {
  public:
    ConvertDisplay(bool bar, FILE* results) : bar_(bar), results_(results) {}

    void draw(const JobProgress& p, const std::string& name) {
        std::lock_guard<std::mutex> lock(mutex_);
        int stage = p.stage;
        if (!bar_ || (stage != JobProgress::Video && stage != JobProgress::Audio)) return;
        const std::atomic<int32_t>* counter = p.counter;
        int32_t max = p.rangeMax;
        int32_t pos = counter ? counter->load() : 0;
        if (pos > max) pos = max;
        int filled = max > 0 ? static_cast<int>(int64_t(pos) * kBarWidth / max) : 0;
        std::string bar(static_cast<size_t>(filled), '#');
        bar.append(static_cast<size_t>(kBarWidth - filled), '.');
        std::fprintf(stderr, "\r[%s] %s %d/%d  %s\x1b[K", bar.c_str(),
                     stage == JobProgress::Video ? "video" : "audio", pos, max, name.c_str());
        std::fflush(stderr);
        shown_ = true;
    }

    void result(bool done, const std::string& output) {
        std::lock_guard<std::mutex> lock(mutex_);
        clearBar();
        std::fprintf(results_, "%s: %s\n", done ? "done" : "failed", output.c_str());
        std::fflush(results_);
    }

    // Asks the frame-rate question on the terminal; true to go on.
    bool ask(const std::string& source) {
        std::lock_guard<std::mutex> lock(mutex_);
        clearBar();
        for (;;) {
            std::fprintf(stderr, "%s\n%s [y/n] ", source.c_str(), jobrules::kDriftQuestion);
            std::fflush(stderr);
            char line[64];
            if (!std::fgets(line, sizeof line, stdin)) {
                std::fprintf(stderr, "\n");
                return false;
            }
            std::string answer(line);
            while (!answer.empty() &&
                   (answer.back() == '\n' || answer.back() == '\r' || answer.back() == ' '))
                answer.pop_back();
            if (answer == "y" || answer == "Y" || answer == "yes") return true;
            if (answer == "n" || answer == "N" || answer == "no") return false;
        }
    }

    void warn(const std::string& source) {
        std::lock_guard<std::mutex> lock(mutex_);
        clearBar();
        std::fprintf(stderr, "kinolite-cli convert: warning: %s: %s (going on; -n declines)\n",
                     source.c_str(), jobrules::kDriftQuestion);
    }

    void finish() {
        std::lock_guard<std::mutex> lock(mutex_);
        clearBar();
    }

  private:
    void clearBar() {
        if (!shown_) return;
        std::fprintf(stderr, "\r\x1b[K");
        std::fflush(stderr);
        shown_ = false;
    }

    std::mutex mutex_;
    bool bar_;
    bool shown_ = false;
    FILE* results_;
};

// Standard output sent to /dev/null while it lives (the pipeline's diagnostic lines);
// results() still reaches the original standard output.
class QuietOutput {
  public:
    explicit QuietOutput(bool quiet) {
        if (!quiet) return;
        std::fflush(stdout);
        int copy = dup(1);
        int null = open("/dev/null", O_WRONLY);
        if (copy < 0 || null < 0) {
            if (copy >= 0) close(copy);
            if (null >= 0) close(null);
            return;
        }
        results_ = fdopen(copy, "w");
        saved_ = dup(1);
        dup2(null, 1);
        close(null);
    }
    ~QuietOutput() {
        if (saved_ < 0) return;
        std::fflush(stdout);
        dup2(saved_, 1);
        close(saved_);
        std::fclose(results_);
    }
    FILE* results() const { return results_ ? results_ : stdout; }

  private:
    int saved_ = -1;
    FILE* results_ = nullptr;
};

}  // namespace

void printConvertHelp(FILE* out) {
    std::fprintf(
        out,
        "Usage: kinolite-cli convert [options] SOURCE...\n"
        "\n"
        "Converts each 3GP/MP4 source into a handset movie file named <source name>_new.mp4,\n"
        "one job after the other. Prints one line per job, \"done: FILE\" or \"failed: FILE\";\n"
        "an existing file of that name is overwritten.\n"
        "\n"
        "  -o, --output-dir DIR   where to write (default: each source's directory)\n"
        "  -s, --size WxH         128x96 (default), 128x128, 160x96, 160x128 or 176x144\n"
        "  -b, --bitrate N        video bits per second: 100000 (default), 80000 or 50000\n"
        "  -c, --crop L,R,T,B     pixels cut from the left, right, top and bottom edges\n"
        "                         (0 to 60 horizontally, 0 to 40 vertically; default 0,0,0,0)\n"
        "  -y, --yes              convert sources whose frame rate is irregular (audio and\n"
        "  -n, --no               video may drift apart) / fail them; without either the\n"
        "                         question is asked on a terminal, otherwise they are converted\n"
        "                         with a warning\n"
        "  -q, --quiet            no diagnostic lines on standard output\n"
        "\n"
        "A progress bar is drawn on standard error when it is a terminal. Exit status: 0 when\n"
        "every job is done, 1 when any failed, 2 for usage errors.\n");
}

int runConvert(int argc, char** argv) {
    ConvertOptions options;
    int status = parseOptions(argc, argv, &options);
    if (status != kExitOk) return status;
    std::vector<JobRequest> jobs;
    status = buildJobs(options, &jobs);
    if (status != kExitOk) return status;

    QuietOutput quiet(options.quiet);
    ConvertDisplay display(isatty(2) != 0, quiet.results());
    JobProgress progress;
    std::atomic<size_t> current{0};
    std::atomic<bool> finished{false};
    bool anyFailed = false;
    const JobStages stages = pipelineStages();

    std::thread worker([&] {
        for (size_t i = 0; i < jobs.size(); ++i) {
            current = i;
            const JobRequest& job = jobs[i];
            auto goOn = [&]() {
                switch (options.drift) {
                    case DriftAnswer::Yes:
                        return true;
                    case DriftAnswer::No:
                        return false;
                    case DriftAnswer::Ask:
                        break;
                }
                if (isatty(0)) return display.ask(job.sourcePath);
                display.warn(job.sourcePath);
                return true;
            };
            JobStatus s = runConversionJob(job, goOn, &progress, stages);
            if (s != JobStatus::Done) anyFailed = true;
            std::fflush(stdout);
            display.result(s == JobStatus::Done, jobOutputPath(job));
        }
        finished = true;
    });
    while (!finished) {
        std::this_thread::sleep_for(kPollPeriod);
        display.draw(progress, baseNameOf(jobs[current].sourcePath));
    }
    worker.join();
    display.finish();
    return anyFailed ? kExitFailed : kExitOk;
}
