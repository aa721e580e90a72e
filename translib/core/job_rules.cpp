#include "core/job_rules.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "core/job_files.h"

namespace jobrules {

namespace {

struct FrameRateEntry {
    uint16_t width, height;
    uint32_t frameRate;
};

constexpr FrameRateEntry kFrameRateTable[] = {
    {160, 96, 10}, {160, 128, 8}, {176, 144, 8}, {128, 96, 15}, {128, 128, 10},
};

// Frame rate of a size that is not in the table (the job fails anyway).
constexpr uint32_t kFallbackFrameRate = 10;

struct Message {
    int id;
    const char* text;
};

constexpr Message kMessages[] = {
    {kMsgNoSource, "7109!"},
    {kMsgAnotherJob, "Ещё?"},
    {kMsgNoDestination, "目的文件不能为空!"},
    {kMsgCropHorizontal, "Не больше 60!"},
    {kMsgCropVertical, "Не больше 40!"},
    {kMsgSourceMissing, "您选择的电影文件并不存在，请重新选择!"},
    {kMsgAlreadyQueued, "Файл уже \nв очереди!"},
    {kMsgOverwrite, "文件已经存在，请确认是否覆盖?"},
};

std::string withoutTrailingSlashes(std::string folder) {
    while (!folder.empty() && folder.back() == '/') folder.pop_back();
    return folder;
}

}  // namespace

bool frameRateForSize(uint16_t width, uint16_t height, uint32_t* frameRate) {
    for (const FrameRateEntry& e : kFrameRateTable) {
        if (e.width == width && e.height == height) {
            *frameRate = e.frameRate;
            return true;
        }
    }
    *frameRate = kFallbackFrameRate;
    return false;
}

const TargetSize* findTargetSize(uint16_t width, uint16_t height) {
    for (const TargetSize& s : kTargetSizes)
        if (s.width == width && s.height == height) return &s;
    return nullptr;
}

int sizeIndexOfText(const std::string& text) {
    std::string t = text;
    for (char& ch : t)
        if (ch == 'x' || ch == 'X') ch = '*';
    for (int i = 0; i < kTargetSizeCount; ++i)
        if (t == kTargetSizes[i].selectorText) return i;
    return -1;
}

int bitRateIndexOfText(const std::string& text) {
    for (int i = 0; i < kBitRateCount; ++i)
        if (text == std::to_string(kBitRates[i])) return i;
    return -1;
}

const char* messageText(int id) {
    for (const Message& m : kMessages)
        if (m.id == id) return m.text;
    return "";
}

std::string outputPathFor(const std::string& destDir, const std::string& sourcePath) {
    return destDir + baseNameOf(sourcePath) + "_new.mp4";
}

std::string destinationBesideSource(const std::string& sourcePath) {
    return destinationDirectory(sourcePath) + baseNameOf(sourcePath) + "_new.mp4";
}

std::string destinationInFolder(const std::string& folder, const std::string& sourcePath) {
    std::string destination = withoutTrailingSlashes(folder);
    if (sourcePath.empty()) return destination;
    return destination + "/" + baseNameOf(sourcePath) + "_new.mp4";
}

std::string wavPathFor(const std::string& destination) {
    return destination + ".wav";
}

std::string destinationDirectory(const std::string& destination) {
    size_t slash = destination.rfind('/');
    return slash == std::string::npos ? std::string() : destination.substr(0, slash + 1);
}

bool isDuplicateDestination(const std::vector<std::string>& destinations,
                            const std::string& destination, int ownIndex) {
    for (size_t i = 0; i < destinations.size(); ++i) {
        if (static_cast<int>(i) == ownIndex) continue;
        if (strcasecmp(destinations[i].c_str(), destination.c_str()) == 0) return true;
    }
    return false;
}

int checkJobFields(const JobFields& f, const std::vector<std::string>& otherDestinations,
                   int ownIndex) {
    if (f.source.empty()) return kMsgNoSource;
    if (f.destination.empty()) return kMsgNoDestination;
    if (f.cropLeft > kMaxCropHorizontal || f.cropRight > kMaxCropHorizontal)
        return kMsgCropHorizontal;
    if (f.cropTop > kMaxCropVertical || f.cropBottom > kMaxCropVertical) return kMsgCropVertical;
    if (isDuplicateDestination(otherDestinations, f.destination, ownIndex))
        return kMsgAlreadyQueued;
    return 0;
}

int cropValueOfText(const std::string& text) {
    int value = 0;
    for (char ch : text) {
        if (!std::isdigit(static_cast<unsigned char>(ch))) break;
        if (value > 100000) break;  // the edits hold two digits; keep any text finite
        value = value * 10 + (ch - '0');
    }
    return value;
}

bool cropFitsSource(int left, int right, int top, int bottom, int sourceWidth, int sourceHeight,
                    bool wide) {
    int horizontal = kMaxCropHorizontal, vertical = kMaxCropVertical;
    if (wide && sourceWidth > kWideCropSourceWidth) {
        horizontal = std::max(horizontal, sourceWidth / kWideCropShare);
        vertical = std::max(vertical, sourceHeight / kWideCropShare);
    }
    return left >= 0 && right >= 0 && top >= 0 && bottom >= 0 && left <= horizontal &&
           right <= horizontal && top <= vertical && bottom <= vertical;
}

JobSettings settingsFor(int cropLeft, int cropRight, int cropTop, int cropBottom, uint16_t width,
                        uint16_t height, uint32_t bitRate) {
    JobSettings s;
    s.cropLeft = static_cast<uint16_t>(cropLeft);
    s.cropTop = static_cast<uint16_t>(cropTop);
    s.cropHorizontal = static_cast<uint16_t>(cropLeft + cropRight);
    s.cropVertical = static_cast<uint16_t>(cropTop + cropBottom);
    s.cropEnabled = 1;
    s.width = width;
    s.height = height;
    s.bitRate = bitRate;
    s.rotate = 0;
    return s;
}

HandsetCut handsetCutOf(int64_t handsetFrames, uint32_t frameRate) {
    HandsetCut cut;
    if (frameRate == 0 || handsetFrames <= kMaxHandsetPictures) return cut;
    cut.cut = true;
    cut.videoEnds = static_cast<double>(kMaxHandsetPictures) / frameRate;
    cut.sourceEnds = static_cast<double>(handsetFrames) / frameRate;
    return cut;
}

std::string HandsetCut::videoEndsText() const {
    return clockTimeOf(static_cast<long>(std::floor(videoEnds)));
}

std::string HandsetCut::sourceEndsText() const {
    return clockTimeOf(static_cast<long>(std::ceil(sourceEnds)));
}

std::string clockTimeOf(long seconds) {
    if (seconds < 0) seconds = 0;
    char text[32];
    if (seconds >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", seconds / 3600, seconds / 60 % 60,
                      seconds % 60);
    else
        std::snprintf(text, sizeof text, "%ld:%02ld", seconds / 60, seconds % 60);
    return text;
}

std::string handsetCutNote(const HandsetCut& cut) {
    return "video ends at " + cut.videoEndsText() + " of " + cut.sourceEndsText() +
           ": handset limit";
}

}  // namespace jobrules
