#include "testing/library_sources.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "testing/test_util.h"

namespace testing_util {

namespace {

const char kPicture[] = "testsrc2=rate=15:duration=2:size=";
const char kTone[] = "sine=frequency=660:beep_factor=2:duration=2:sample_rate=";

std::unique_ptr<TempDir> g_dir;
std::map<std::string, std::string> g_made;

std::string make(const LibrarySource& s) {
    if (!g_dir) g_dir = std::make_unique<TempDir>();
    const std::string out = g_dir->file(s.name);
    std::string audio = s.audio;
    if (audio == "wb")
        audio = "-i " + shellQuote(fixturePath("amr/tone_wb_1265.awb"));
    else if (audio == "nb")
        audio = "-i " + shellQuote(fixturePath("demux/mp4v_amr.3gp")) + " -map 0:v -map 1:a";
    else
        audio = std::string("-f lavfi -i ") + kTone + audio;
    const std::string size = std::to_string(s.width) + "x" + std::to_string(s.height);
    const int rc =
        ffmpeg("-f lavfi -i " + std::string(kPicture) + size + " " + audio + " " + s.video +
               " -c:a " + s.audioCodec + " -shortest -f " + s.format + " " + shellQuote(out));
    if (rc != 0) {
        ADD_FAILURE() << "ffmpeg could not make " << s.name;
        return "";
    }
    return out;
}

}  // namespace

const LibrarySource kLibrarySources[] = {
    {"h264_base_qcif_amrwb.3gp", 176, 144, true, "-c:v libx264 -profile:v baseline", "wb", "copy",
     "3gp"},
    {"h264_main_qcif_amrnb.3gp", 176, 144, true, "-c:v libx264 -profile:v main -bf 2", "nb", "copy",
     "3gp"},
    {"h264_main_vga_mp3.mp4", 640, 480, true, "-c:v libx264 -profile:v main -bf 3", "44100",
     "libmp3lame -b:a 64k -ac 2", "mp4"},
    {"h264_base_vga_aac.mp4", 640, 480, true, "-c:v libx264 -profile:v baseline", "16000",
     "aac -b:a 32k -ac 1", "mp4"},
    {"mpeg4_asp_qcif_mp3.mov", 176, 144, true, "-c:v mpeg4 -bf 2 -flags +qpel -q:v 4", "48000",
     "libmp3lame -b:a 64k -ac 1", "mov"},
    {"mpeg4_qpel_qcif_amrwb.3gp", 176, 144, true, "-c:v mpeg4 -bf 0 -flags +qpel -q:v 4", "wb",
     "copy", "3gp"},
    {"mpeg4_asp_vga_amrnb.3gp", 640, 480, true, "-c:v mpeg4 -bf 1 -q:v 6", "nb", "copy", "3gp"},
    // Larger than the converter takes.
    {"h264_wide_1936x1088_aac.mp4", 1936, 1088, false,
     "-c:v libx264 -profile:v baseline -preset ultrafast", "16000", "aac -b:a 32k -ac 1", "mp4"},
};
const size_t kLibrarySourceCount = sizeof(kLibrarySources) / sizeof(kLibrarySources[0]);

std::string librarySource(const std::string& name) {
    auto made = g_made.find(name);
    if (made != g_made.end()) return made->second;
    for (size_t i = 0; i < kLibrarySourceCount; ++i) {
        if (name != kLibrarySources[i].name) continue;
        std::string path = make(kLibrarySources[i]);
        if (!path.empty()) g_made[name] = path;
        return path;
    }
    ADD_FAILURE() << "no library source named " << name;
    return "";
}

}  // namespace testing_util
