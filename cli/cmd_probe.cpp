// kinolite-cli probe [--json] SOURCE...: tells, without converting, what a source holds
// and whether convert will take it. Each source is read in a worker process of its own
// (the pipeline keeps process-wide state): preparation runs as convert runs it, on
// temporary files only, and the video decoder reads the stream to its end; nothing is
// encoded and nothing is left behind.

#include <unistd.h>
#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "audio/amr_frames.h"
#include "commands.h"
#include "core/context.h"
#include "core/job_files.h"
#include "core/job_rules.h"
#include "file_util.h"
#include "json_writer.h"
#include "pipeline/job_driver.h"
#include "pipeline/job_runner.h"
#include "platform/platform.h"
#include "vdec/vdec.h"
#include "venc/enc_prepare.h"

namespace {

// How much of the video stream is read to tell its codec and choose its decoder.
constexpr size_t kStreamHeadBytes = 4096;

using Facts = std::map<std::string, std::string>;

// The first bytes of an H.263 picture (short video header): a picture start code of 22
// bits, 0000 0000 0000 0000 1000 00.
bool isShortHeader(const std::vector<uint8_t>& es) {
    return es.size() >= 3 && es[0] == 0 && es[1] == 0 && (es[2] & 0xFC) == 0x80;
}

// Where the handset limit cuts the video of `sourceFrames` frames at `sourceFrameRate`, at
// each target size (the size's frame rate, at most the source's): for the text report, "none"
// or "video ends at 18:31 (128x96), 27:46 (128x128, 160x96) of 41:10"; for the JSON report,
// an array of {"size", "frame_rate", "video_ends", "source_ends"}, empty when nothing is cut.
void describeHandsetLimit(uint32_t sourceFrames, uint32_t sourceFrameRate, std::string* text,
                          std::string* json) {
    std::string ends, sizes, lastEnds, sourceEnds;
    *json = "[";
    auto closeGroup = [&] {
        if (lastEnds.empty()) return;
        ends += (ends.empty() ? "" : ", ") + lastEnds + " (" + sizes + ")";
    };
    for (const jobrules::TargetSize& size : jobrules::kTargetSizes) {
        uint32_t rate = 0;
        jobrules::frameRateForSize(size.width, size.height, &rate);
        rate = std::min(rate, sourceFrameRate);
        if (rate == 0) continue;
        // The handset file's frame count, as the job computes it.
        const int64_t frames = int64_t{sourceFrames} * rate / sourceFrameRate;
        const jobrules::HandsetCut cut = jobrules::handsetCutOf(frames, rate);
        if (!cut.cut) continue;
        const std::string videoEnds = cut.videoEndsText();
        if (sourceEnds.empty()) sourceEnds = cut.sourceEndsText();
        if (videoEnds != lastEnds) {
            closeGroup();
            lastEnds = videoEnds;
            sizes.clear();
        }
        sizes += (sizes.empty() ? "" : ", ") + std::string(size.optionText);
        JsonObject o;
        o.text("size", size.optionText);
        o.number("frame_rate", rate);
        o.text("video_ends", videoEnds);
        o.text("source_ends", cut.sourceEndsText());
        *json += (json->size() > 1 ? "," : "") + o.str();
    }
    closeGroup();
    *json += "]";
    *text = ends.empty() ? "none" : "video ends at " + ends + " of " + sourceEnds;
}

// The container's kind, from its first box: the major brand of an ftyp box, or
// "QuickTime" for a movie that starts with another box.
std::string containerOf(const std::string& path) {
    std::vector<uint8_t> head(12, 0);
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return "unreadable";
    const size_t n = std::fread(head.data(), 1, head.size(), f);
    std::fclose(f);
    if (n < 8) return "unknown";
    if (n == 12 && std::memcmp(&head[4], "ftyp", 4) == 0) {
        std::string brand(head.begin() + 8, head.end());
        while (!brand.empty() && brand.back() == ' ') brand.pop_back();
        return brand == "3gp4" || brand == "3gp5" || brand == "3gp6" || brand == "3gp7" ||
                       brand == "3ge6" || brand == "3g2a"
                   ? "3GP (" + brand + ")"
                   : "MP4 (" + brand + ")";
    }
    return "QuickTime";
}

// The speech modes of the stored AMR frames: one rate, or the lowest and highest when the
// stream changes mode (comfort-noise and NO_DATA frames have none).
std::string amrMode(const std::vector<uint8_t>& frames, size_t bytes) {
    static const char* const kModeRates[8] = {"4.75", "5.15", "5.9",  "6.7",
                                              "7.4",  "7.95", "10.2", "12.2"};
    int lowest = 8, highest = -1;
    for (size_t at = 0; at < bytes && at < frames.size();
         at += amr::storageFrameBytes(frames[at])) {
        const int type = amr::frameType(frames[at]);
        if (type >= 8) continue;
        lowest = std::min(lowest, type);
        highest = std::max(highest, type);
    }
    if (highest < 0) return "unknown";
    if (lowest == highest) return std::string(kModeRates[lowest]) + " kbit/s";
    return std::string(kModeRates[lowest]) + " to " + kModeRates[highest] + " kbit/s";
}

// Counts the decoded pictures and lets them go: probing writes no picture anywhere.
class DiscardingSink : public PictureSink {
  public:
    bool put(const DecodedPicture&) override { return true; }
};

// "16:9 (1.78)": the picture's width to height in lowest terms, and as a number.
std::string aspectRatioText(int width, int height) {
    if (width <= 0 || height <= 0) return "unknown";
    int a = width, b = height;
    while (b != 0) {
        const int t = a % b;
        a = b;
        b = t;
    }
    char text[64];
    std::snprintf(text, sizeof text, "%d:%d (%.2f)", width / a, height / a,
                  static_cast<double>(width) / height);
    return text;
}

// What a fit makes of a width x height picture at the target size, in a few words.
std::string fitText(PictureFit fit, int width, int height, int targetWidth, int targetHeight) {
    if (width <= 0 || height <= 0) return "unknown";
    EncCropWindow whole;
    whole.width = width;
    whole.height = height;
    const EncFitGeometry g = encFitGeometryOf(whole, targetWidth, targetHeight, fit);
    char text[200];
    if (fit == PictureFit::Stretch) {
        // How much wider (or taller) than in the source the picture looks.
        const double widened = (static_cast<double>(targetWidth) * height) /
                               (static_cast<double>(targetHeight) * width);
        if (widened > 1.005)
            std::snprintf(text, sizeof text, "whole picture to %dx%d, %.2f times as wide",
                          targetWidth, targetHeight, widened);
        else if (widened < 0.995)
            std::snprintf(text, sizeof text, "whole picture to %dx%d, %.2f times as tall",
                          targetWidth, targetHeight, 1.0 / widened);
        else
            std::snprintf(text, sizeof text, "whole picture to %dx%d, aspect ratio kept",
                          targetWidth, targetHeight);
    } else if (fit == PictureFit::Pad) {
        const char* bars = g.innerWidth < targetWidth     ? ", black bars left and right"
                           : g.innerHeight < targetHeight ? ", black bars above and below"
                                                          : ", no bars";
        std::snprintf(text, sizeof text, "whole picture to %dx%d at %d,%d of %dx%d%s", g.innerWidth,
                      g.innerHeight, g.innerLeft, g.innerTop, targetWidth, targetHeight, bars);
    } else {
        const int cutColumns = width - g.window.width, cutRows = height - g.window.height;
        if (cutColumns > 0)
            std::snprintf(text, sizeof text,
                          "%dx%d of the picture to %dx%d, %d columns cut at the left and right",
                          g.window.width, g.window.height, targetWidth, targetHeight, cutColumns);
        else if (cutRows > 0)
            std::snprintf(text, sizeof text,
                          "%dx%d of the picture to %dx%d, %d rows cut at the top and bottom",
                          g.window.width, g.window.height, targetWidth, targetHeight, cutRows);
        else
            std::snprintf(text, sizeof text, "whole picture to %dx%d, nothing cut", targetWidth,
                          targetHeight);
    }
    return text;
}

// Runs in the worker: everything convert's preparation and video decoding learn.
Facts probeInWorker(const std::string& source, int targetWidth, int targetHeight) {
    Facts f;
    ConversionContext& c = g_context;
    resetJob();
    applyJobSettings(JobSettings());
    std::string dir = platform::privateTempDir() + "probe-XXXXXX";
    if (!mkdtemp(&dir[0])) {
        f["verdict"] = "cannot make a temporary directory";
        return f;
    }
    dir += "/";
    int32_t audioFrames = 0;
    uint32_t videoFrames = 0;
    const int prepared = prepareJob(source, dir, &audioFrames, &videoFrames, nullptr);
    std::vector<uint8_t> es;
    if (prepared && !c.videoEsPath.empty()) {
        FILE* file = std::fopen(c.videoEsPath.c_str(), "rb");
        if (file) {
            es.resize(kStreamHeadBytes);
            es.resize(std::fread(es.data(), 1, es.size(), file));
            std::fclose(file);
        }
    }
    int width = 0, height = 0;
    bool decoded = false;
    VideoDecoderChoice choice;
    if (prepared) {
        if (c.output) {
            std::fclose(c.output);
            c.output = nullptr;
        }
        DecoderOptions options;
        options.removeRefusedStream = true;
        choice = chooseVideoDecoder(c.videoCodec, es.data(), es.size());
        DiscardingSink sink;
        const DecoderResult r = choice.kind == VideoDecoderKind::Own
                                    ? runDecoder(c.videoEsPath, sink, options)
                                    : runLibraryDecoder(c.videoEsPath, sink, choice.kind);
        width = r.width;
        height = r.height;
        decoded = r.ok;
        if (!r.ok) noteJobFailure(decoderFailureReason(r));
    }
    const bool convertible = prepared && decoded;
    // A picture refused before it was decoded (too large, say): the size its track declares.
    if (width == 0 || height == 0) declaredPictureSize(source, &width, &height);
    removeJobFilesAndOutput();
    rmdir(dir.c_str());

    f["container"] = containerOf(source);
    f["video_codec"] = es.empty()                                     ? "unknown"
                       : choice.kind == VideoDecoderKind::LibraryH264 ? "H.264"
                       : isShortHeader(es)                            ? "H.263"
                                                                      : "MPEG-4 Visual";
    f["video_decoder"] = es.empty() ? "none" : videoDecoderName(choice.kind);
    f["width"] = std::to_string(width);
    f["height"] = std::to_string(height);
    f["aspect_ratio"] = aspectRatioText(width, height);
    for (PictureFit fit : {PictureFit::Stretch, PictureFit::Pad, PictureFit::Crop})
        f[std::string("fit_") + pictureFitName(fit)] =
            fitText(fit, width, height, targetWidth, targetHeight);
    f["frame_rate"] = std::to_string(c.videoFrameRate);
    f["average_frame_rate"] = std::to_string(c.videoAverageFrameRate);
    f["drift_question"] = prepared == 2 ? "yes" : "no";
    describeHandsetLimit(prepared ? c.sourceFrames : 0, c.sourceFrameRate, &f["handset_limit"],
                         &f["handset_limit_json"]);
    if (c.isAac) {
        f["audio_codec"] = "AAC";
        f["audio_rate"] = std::to_string(g_aacParams.rate);
        f["audio_mode"] = g_aacParams.channels == 1 ? "mono" : "stereo";
    } else if (c.amrFrames) {
        f["audio_codec"] = "AMR-NB";
        f["audio_rate"] = "8000";
        f["audio_mode"] = amrMode(c.amrBuffer, c.amrBytes);
    } else {
        f["audio_codec"] = "none";
        f["audio_rate"] = "0";
        f["audio_mode"] = "none";
    }
    f["verdict"] = convertible
                       ? "convertible"
                       : "not convertible: " +
                             (c.failure.empty() ? std::string("the conversion fails") : c.failure);
    return f;
}

// Probes one source in a worker process; the facts come back as "key\tvalue" lines.
Facts probe(const std::string& source, int targetWidth, int targetHeight) {
    std::string text;
    auto work = [&] {
        std::string lines;
        for (const auto& kv : probeInWorker(source, targetWidth, targetHeight)) {
            std::string value = kv.second;
            for (char& ch : value)
                if (ch == '\n' || ch == '\t') ch = ' ';
            lines += kv.first + "\t" + value + "\n";
        }
        return lines;
    };
    if (!runInWorkerProcess(work, &text))
        return {{"verdict", "not convertible: cannot start a worker process"}};
    Facts f;
    size_t end;
    while ((end = text.find('\n')) != std::string::npos) {
        const std::string line = text.substr(0, end);
        text.erase(0, end + 1);
        const size_t tab = line.find('\t');
        if (tab != std::string::npos) f[line.substr(0, tab)] = line.substr(tab + 1);
    }
    if (!f.count("verdict")) f["verdict"] = "not convertible: the reading of the source crashed";
    return f;
}

// The order and labels of the text report.
struct Field {
    const char* key;
    const char* label;
    bool number;
};
const Field kFields[] = {
    {"container", "container", false},
    {"video_codec", "video codec", false},
    {"video_decoder", "video decoder", false},
    {"width", "width", true},
    {"height", "height", true},
    {"aspect_ratio", "aspect ratio", false},
    {"fit_stretch", "fit stretch", false},
    {"fit_pad", "fit pad", false},
    {"fit_crop", "fit crop", false},
    {"frame_rate", "frame rate", true},
    {"average_frame_rate", "average frame rate", true},
    {"audio_codec", "audio codec", false},
    {"audio_rate", "audio rate", true},
    {"audio_mode", "audio mode", false},
    {"drift_question", "drift question", false},
    {"handset_limit", "handset limit", false},
    {"destination", "destination", false},
    {"verdict", "verdict", false},
};

}  // namespace

void printProbeHelp(FILE* out) {
    std::fprintf(
        out,
        "Usage: kinolite-cli probe [--json] [-o DIR] [-s WxH] SOURCE...\n"
        "\n"
        "Tells for each source, without converting it, what it holds and whether 'convert'\n"
        "takes it: the container, the video codec, picture size and frame rate, the audio\n"
        "codec, rate and mode, the average frame rate and whether the question about an\n"
        "irregular frame rate will be asked, where the handset file's limit of 16667\n"
        "pictures ends the video of a long source at each size (\"none\" when it does not),\n"
        "the picture's aspect ratio and what each 'convert --fit' does with it at the\n"
        "handset size, and a verdict: \"convertible\" or \"not convertible: REASON\". The\n"
        "source is read as 'convert' reads it, into temporary files that are removed;\n"
        "nothing is written beside it.\n"
        "\n"
        "  --json                 one JSON object per source and line\n"
        "  -o, --output-dir DIR   the destination folder 'convert -o DIR' would use (for\n"
        "                         the destination and the collision check)\n"
        "  -s, --size WxH         the handset size the fits are told for: 128x96 (default),\n"
        "                         128x128, 160x96, 160x128 or 176x144\n"
        "\n"
        "Exit status: 0 when every source is convertible, 1 when any is not, 2 for usage\n"
        "errors.\n");
}

int runProbe(int argc, char** argv) {
    bool json = false;
    std::string outDir;
    bool haveOutDir = false;
    int targetWidth = jobrules::kDefaultWidth, targetHeight = jobrules::kDefaultHeight;
    std::vector<std::string> sources;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--json") {
            json = true;
        } else if (arg == "-o" || arg == "--output-dir") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kinolite-cli probe: %s needs a value\n", arg.c_str());
                return kExitUsage;
            }
            outDir = argv[++i];
            haveOutDir = true;
        } else if (arg == "-s" || arg == "--size") {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "kinolite-cli probe: %s needs a value\n", arg.c_str());
                return kExitUsage;
            }
            const int index = jobrules::sizeIndexOfText(argv[++i]);
            if (index < 0) {
                std::fprintf(stderr,
                             "kinolite-cli probe: size '%s' is not one of 128x96, 128x128, "
                             "160x96, 160x128, 176x144\n",
                             argv[i]);
                return kExitUsage;
            }
            targetWidth = jobrules::kTargetSizes[index].width;
            targetHeight = jobrules::kTargetSizes[index].height;
        } else if (arg.size() > 1 && arg[0] == '-') {
            std::fprintf(stderr, "kinolite-cli probe: unknown option '%s'\n", arg.c_str());
            return kExitUsage;
        } else {
            sources.push_back(arg);
        }
    }
    if (sources.empty()) {
        printProbeHelp(stderr);
        return kExitUsage;
    }
    if (!outDir.empty() && outDir.back() != '/') outDir += '/';

    std::vector<std::string> destinations;
    for (const std::string& s : sources)
        destinations.push_back(
            jobrules::outputPathFor(haveOutDir ? outDir : platform::directoryPart(s), s));

    bool allConvertible = true;
    for (size_t i = 0; i < sources.size(); ++i) {
        Facts f = probe(sources[i], targetWidth, targetHeight);
        f["destination"] = destinations[i];
        // Two sources of the batch that would write one file.
        for (size_t j = 0; j < sources.size(); ++j) {
            if (j == i || !jobrules::isDuplicateDestination({destinations[j]}, destinations[i], -1))
                continue;
            f["verdict"] =
                "not convertible: " + destinations[i] + " is also the destination of " + sources[j];
            break;
        }
        if (f["verdict"] != "convertible") allConvertible = false;
        if (json) {
            JsonObject o;
            o.text("source", sources[i]);
            for (const Field& field : kFields) {
                if (field.number)
                    o.number(field.key, std::atof(f[field.key].c_str()));
                else if (std::strcmp(field.key, "handset_limit") == 0)
                    o.raw(field.key,
                          f["handset_limit_json"].empty() ? "[]" : f["handset_limit_json"]);
                else if (std::strcmp(field.key, "drift_question") == 0)
                    o.boolean(field.key, f[field.key] == "yes");
                else
                    o.text(field.key, f[field.key]);
            }
            o.boolean("convertible", f["verdict"] == "convertible");
            std::printf("%s\n", o.str().c_str());
        } else {
            std::printf("%s\n", sources[i].c_str());
            for (const Field& field : kFields)
                std::printf("  %s: %s\n", field.label, f[field.key].c_str());
        }
        std::fflush(stdout);
    }
    return allConvertible ? kExitOk : kExitFailed;
}
