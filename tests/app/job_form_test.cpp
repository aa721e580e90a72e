#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "JobForm.h"
#include "core/job_rules.h"

namespace {

ConversionJob jobOf(uint16_t width, uint16_t height, uint32_t bitRate) {
    ConversionJob j;
    j.status = static_cast<int32_t>(JobStatus::Done);
    j.sourcePath = "/clips/a.3gp";
    j.destPath = "/out/a_new.mp4";
    j.wavPath = "/out/a_new.mp4.wav";
    j.cropLeft = 12;
    j.cropRight = 0;
    j.cropTop = 40;
    j.cropBottom = 7;
    j.width = width;
    j.height = height;
    j.bitRate = bitRate;
    return j;
}

TEST(JobFormEdit, SelectorsShowTheRowsEntriesAndOkKeepsThem) {
    struct Case {
        uint16_t width, height;
        uint32_t bitRate;
        int sizeIndex, bitRateIndex;
        uint16_t keptWidth, keptHeight;
        uint32_t keptBitRate;
    };
    const Case cases[] = {
        {160, 128, 80000, 3, 1, 160, 128, 80000},
        {176, 144, 50000, 4, 2, 176, 144, 50000},
        {128, 96, 100000, 0, 0, 128, 96, 100000},
        // Values no entry shows: entry 0 stays selected.
        {320, 240, 64000, 0, 0, 128, 96, 100000},
    };
    for (const Case& c : cases) {
        JobForm f = JobForm::ofJob(jobOf(c.width, c.height, c.bitRate));
        EXPECT_EQ(f.sizeIndex, c.sizeIndex) << c.width << "x" << c.height;
        EXPECT_EQ(f.bitRateIndex, c.bitRateIndex) << c.bitRate;
        ConversionJob kept;
        f.fillJob(&kept);
        EXPECT_EQ(kept.width, c.keptWidth);
        EXPECT_EQ(kept.height, c.keptHeight);
        EXPECT_EQ(kept.bitRate, c.keptBitRate);
    }
}

TEST(JobFormEdit, OkRewritesTheRecordAsWaiting) {
    JobForm f = JobForm::ofJob(jobOf(160, 128, 80000));
    EXPECT_EQ(f.cropLeft, "12");
    EXPECT_EQ(f.cropRight, "0");
    EXPECT_EQ(f.cropTop, "40");
    EXPECT_EQ(f.cropBottom, "7");
    // The row keeps its own destination.
    EXPECT_EQ(f.check({"/out/b_new.mp4", "/out/a_new.mp4"}, 1), 0);
    EXPECT_EQ(f.check({"/out/b_new.mp4", "/OUT/A_new.mp4"}, 0), jobrules::kMsgAlreadyQueued);
    ConversionJob job = jobOf(160, 128, 80000);
    f.fillJob(&job);
    EXPECT_EQ(job.status, static_cast<int32_t>(JobStatus::Waiting));
    EXPECT_EQ(job.cropLeft, 12);
    EXPECT_EQ(job.cropBottom, 7);
    EXPECT_EQ(job.sourcePath, "/clips/a.3gp");
    EXPECT_EQ(job.destPath, "/out/a_new.mp4");
    EXPECT_EQ(job.wavPath, "/out/a_new.mp4.wav");
}

TEST(JobFormNames, SourceThenFolderThenAnotherJob) {
    JobForm f;
    f.cropLeft = "5";
    f.sizeIndex = 2;
    f.sourceChosen("/d/clips/a.3gp");
    EXPECT_EQ(f.destination, "/d/clips/a_new.mp4");
    EXPECT_EQ(f.wavName, "/d/clips/a_new.mp4.wav");
    f.folderChosen("/e/out/");
    EXPECT_EQ(f.destination, "/e/out/a_new.mp4");
    EXPECT_EQ(f.wavName, "/e/out/a_new.mp4.wav");
    // "Ещё?" answered Yes: the names go, crops and selections stay.
    f.clearNames();
    EXPECT_EQ(f.source, "");
    EXPECT_EQ(f.destination, "");
    EXPECT_EQ(f.wavName, "");
    EXPECT_EQ(f.cropLeft, "5");
    EXPECT_EQ(f.sizeIndex, 2);
    // A folder without a source: the folder alone, the WAV name untouched.
    f.wavName = "kept";
    f.folderChosen("/e/out//");
    EXPECT_EQ(f.destination, "/e/out");
    EXPECT_EQ(f.wavName, "kept");
}

TEST(JobFormCheck, CropTextsAreCheckedAsNumbers) {
    struct Case {
        const char *left, *right, *top, *bottom;
        int message;
    };
    const Case cases[] = {
        {"", "", "", "", 0},       {"60", "60", "40", "40", 0}, {"61", "", "", "", 117},
        {"", "99", "", "", 117},   {"", "", "41", "", 118},     {"", "", "", "41", 118},
        {"61", "", "41", "", 117}, {"07", "", "", "", 0},
    };
    for (const Case& c : cases) {
        JobForm f;
        f.sourceChosen("/d/a.3gp");
        f.cropLeft = c.left;
        f.cropRight = c.right;
        f.cropTop = c.top;
        f.cropBottom = c.bottom;
        EXPECT_EQ(f.check({}, -1), c.message)
            << c.left << "," << c.right << "," << c.top << "," << c.bottom;
    }
    JobForm empty;
    EXPECT_EQ(empty.check({}, -1), jobrules::kMsgNoSource);
    empty.source = "/d/a.3gp";
    EXPECT_EQ(empty.check({}, -1), jobrules::kMsgNoDestination);
}

std::set<std::string> g_directories;
bool isKnownDirectory(const std::string& p) {
    return g_directories.count(p) != 0;
}

TEST(JobFormFolder, TheBrowserOpensAtTheLastFolderWhenItExists) {
    g_directories = {"/e/out", "/"};
    struct Case {
        const char* last;
        const char* preselect;
    };
    const Case cases[] = {{"/e/out/", "/e/out"},   {"/e/out", "/e/out"},
                          {"/e/out///", "/e/out"}, {"/", "/"},
                          {"/gone/", ""},          {"", ""}};
    for (const Case& c : cases)
        EXPECT_EQ(folderToPreselect(c.last, isKnownDirectory), c.preselect) << c.last;
}

TEST(JobFormFilter, SourceFiltersInQtForm) {
    EXPECT_EQ(fileDialogFilter(kSourceFilter),
              "3GP Files (*.3gp);;MPEG4 Files (*.mp4);;All Files (*)");
    EXPECT_EQ(fileDialogFilter("Movies (*.3gp;*.mp4)|*.3gp;*.mp4||"), "Movies (*.3gp *.mp4)");
}

}  // namespace
