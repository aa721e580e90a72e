#pragma once
// The rules a conversion job must follow, shared by the job settings dialog and the
// command line: the target sizes and their frame rates, the bit rates, the crop limits,
// the names derived from the source, and the checks of a job before it is queued.

#include <cstdint>
#include <string>
#include <vector>

#include "core/context.h"

namespace jobrules {

// A target picture size, in the order of the dialog's size selector.
struct TargetSize {
    uint16_t width, height;
    const char* selectorText;  // the dialog's entry, "128*96"
    const char* optionText;    // the command line's spelling, "128x96"
};
inline constexpr TargetSize kTargetSizes[] = {
    {128, 96, "128*96", "128x96"},    {128, 128, "128*128", "128x128"},
    {160, 96, "160*96", "160x96"},    {160, 128, "160*128", "160x128"},
    {176, 144, "176*144", "176x144"},
};
inline constexpr int kTargetSizeCount = sizeof(kTargetSizes) / sizeof(kTargetSizes[0]);

// Target bit rates in bits per second, in the order of the dialog's bit-rate selector.
inline constexpr uint32_t kBitRates[] = {100000, 80000, 50000};
inline constexpr int kBitRateCount = sizeof(kBitRates) / sizeof(kBitRates[0]);

// The size and bit rate a new job starts with (entry 0 of each selector).
inline constexpr uint16_t kDefaultWidth = 128;
inline constexpr uint16_t kDefaultHeight = 96;
inline constexpr uint32_t kDefaultBitRate = 100000;

// Largest crop margin of one edge, in pixels: left and right, top and bottom.
inline constexpr int kMaxCropHorizontal = 60;
inline constexpr int kMaxCropVertical = 40;

// The handset stream's time model: VOP times run from 0 to 50000 in steps of 3, so a
// handset file holds at most this many pictures; the encoder stops after the last one.
inline constexpr int32_t kMaxHandsetPictures = 16667;

// Where the handset limit cuts a movie of `handsetFrames` pictures at `frameRate` frames per
// second: the picture ends at kMaxHandsetPictures / frameRate seconds of the movie's
// handsetFrames / frameRate. `cut` is false when the whole movie fits.
struct HandsetCut {
    bool cut = false;
    double videoEnds = 0;   // seconds
    double sourceEnds = 0;  // seconds
    // As the reports write them: the picture's end in the last whole second it fills, the
    // movie's end in the second it reaches into, so that the two never read alike.
    std::string videoEndsText() const;
    std::string sourceEndsText() const;
};
HandsetCut handsetCutOf(int64_t handsetFrames, uint32_t frameRate);

// Whole seconds of a movie as the reports write them: "M:SS", or "H:MM:SS" from one hour on.
std::string clockTimeOf(long seconds);

// "video ends at 34:43 of 41:10: handset limit", the remark on a job the limit cut.
std::string handsetCutNote(const HandsetCut& cut);

// The command line's margins for larger pictures: on a source wider than
// kWideCropSourceWidth (the widest the dialogs were made for) each margin may reach a
// quarter of the picture's width (left, right) or height (top, bottom), and never less
// than the limits above.
inline constexpr int kWideCropSourceWidth = 352;
inline constexpr int kWideCropShare = 4;
// Whether the margins suit a source of sourceWidth x sourceHeight: within the dialogs'
// limits, or with `wide` set within the command line's limits for that source.
bool cropFitsSource(int left, int right, int top, int bottom, int sourceWidth, int sourceHeight,
                    bool wide);

// Target frames per second of a size (matched exactly); false, with *frameRate 10, for a
// size not in the table.
bool frameRateForSize(uint16_t width, uint16_t height, uint32_t* frameRate);

// The entry of kTargetSizes with this size, or null.
const TargetSize* findTargetSize(uint16_t width, uint16_t height);

// Index of the selector entry whose text equals `text`, or -1. Sizes match either
// spelling ("160*128" or "160x128", the 'x' in either case).
int sizeIndexOfText(const std::string& text);
int bitRateIndexOfText(const std::string& text);

// The message ids of the job checks, as the string table numbers them.
enum MessageId : int {
    kMsgNoSource = 109,        // "7109!"
    kMsgAnotherJob = 111,      // "Ещё?"
    kMsgNoDestination = 112,   // "目的文件不能为空!"
    kMsgCropHorizontal = 117,  // "Не больше 60!"
    kMsgCropVertical = 118,    // "Не больше 40!"
    kMsgSourceMissing = 119,   // "您选择的电影文件并不存在，请重新选择!"
    kMsgAlreadyQueued = 120,   // "Файл уже \nв очереди!"
    kMsgOverwrite = 125,       // "文件已经存在，请确认是否覆盖?"
};

// The text of one of the messages above; "" for another id.
const char* messageText(int id);

// The question an irregular source frame rate raises.
inline constexpr char kDriftQuestion[] = "该影片转换后播放可能会产生不同步现象，是否继续转换？";

// Names. The handset file of a job is always named after the source: destination
// directory + the source's base name + "_new.mp4".
std::string outputPathFor(const std::string& destDir, const std::string& sourcePath);

// The destination the dialog proposes for a chosen source: the source's directory + its
// file name without extension + "_new.mp4".
std::string destinationBesideSource(const std::string& sourcePath);

// The destination after a folder was chosen: the folder without trailing '/' + "/" + the
// source's file name without extension + "_new.mp4"; the folder alone (without trailing
// '/') when there is no source yet.
std::string destinationInFolder(const std::string& folder, const std::string& sourcePath);

// The WAV name the dialog shows: the destination followed by ".wav".
std::string wavPathFor(const std::string& destination);

// The directory of a destination: everything up to and including its last '/'.
std::string destinationDirectory(const std::string& destination);

// True when another entry of `destinations` than `ownIndex` equals `destination`,
// ignoring letter case (ownIndex -1: none is the job's own).
bool isDuplicateDestination(const std::vector<std::string>& destinations,
                            const std::string& destination, int ownIndex);

// The fields of a job as the settings dialog and the command line take them.
struct JobFields {
    std::string source;
    std::string destination;
    int cropLeft = 0, cropRight = 0, cropTop = 0, cropBottom = 0;
};

// The checks of a job in the dialog's order: empty source (109), empty destination (112),
// left or right crop above 60 (117), top or bottom above 40 (118), a destination another
// job has already (120). Returns the first message id that applies, or 0. Whether the
// source exists (119) and whether the destination exists (125) are the caller's to ask.
int checkJobFields(const JobFields& fields, const std::vector<std::string>& otherDestinations,
                   int ownIndex);

// A crop edit's text as a number: its leading decimal digits, 0 when there are none.
int cropValueOfText(const std::string& text);

// The JobSettings the worker builds from a job's margins, size and bit rate.
JobSettings settingsFor(int cropLeft, int cropRight, int cropTop, int cropBottom, uint16_t width,
                        uint16_t height, uint32_t bitRate);

}  // namespace jobrules
