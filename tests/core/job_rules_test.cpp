#include "core/job_rules.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace jobrules;

TEST(FrameRateTable, EverySizeHasItsRateAndOthersFail) {
    struct Case {
        uint16_t w, h;
        bool known;
        uint32_t rate;
    };
    const Case cases[] = {{160, 96, true, 10},  {160, 128, true, 8},  {176, 144, true, 8},
                          {128, 96, true, 15},  {128, 128, true, 10}, {100, 100, false, 10},
                          {144, 176, false, 10}};
    for (const Case& c : cases) {
        uint32_t rate = 0;
        EXPECT_EQ(frameRateForSize(c.w, c.h, &rate), c.known) << c.w << "x" << c.h;
        EXPECT_EQ(rate, c.rate) << c.w << "x" << c.h;
    }
}

TEST(Selectors, TextsMatchTheirEntries) {
    EXPECT_EQ(sizeIndexOfText("128*96"), 0);
    EXPECT_EQ(sizeIndexOfText("160*128"), 3);
    EXPECT_EQ(sizeIndexOfText("160x128"), 3);
    EXPECT_EQ(sizeIndexOfText("176X144"), 4);
    EXPECT_EQ(sizeIndexOfText("176*145"), -1);
    EXPECT_EQ(sizeIndexOfText(""), -1);
    EXPECT_EQ(bitRateIndexOfText("100000"), 0);
    EXPECT_EQ(bitRateIndexOfText("50000"), 2);
    EXPECT_EQ(bitRateIndexOfText("64000"), -1);
    // Every selector size has a frame rate of its own.
    for (const TargetSize& s : kTargetSizes) {
        uint32_t rate = 0;
        EXPECT_TRUE(frameRateForSize(s.width, s.height, &rate)) << s.selectorText;
    }
}

TEST(Names, DestinationsFollowTheSource) {
    EXPECT_EQ(destinationBesideSource("/d/clips/a.3gp"), "/d/clips/a_new.mp4");
    EXPECT_EQ(wavPathFor("/d/clips/a_new.mp4"), "/d/clips/a_new.mp4.wav");
    EXPECT_EQ(destinationInFolder("/e/out/", "/d/clips/a.3gp"), "/e/out/a_new.mp4");
    EXPECT_EQ(destinationInFolder("/e/out//", "/d/clips/a.b.3gp"), "/e/out/a.b_new.mp4");
    EXPECT_EQ(destinationInFolder("/e/out/", ""), "/e/out");
    EXPECT_EQ(destinationDirectory("/e/out/a_new.mp4"), "/e/out/");
    EXPECT_EQ(destinationDirectory("a_new.mp4"), "");
    EXPECT_EQ(outputPathFor("/e/out/", "/d/clips/noext"), "/e/out/noext_new.mp4");
}

TEST(JobChecks, MessagesComeInTheDialogsOrder) {
    const std::vector<std::string> rows = {"/d/A_new.mp4", "/d/b_new.mp4"};
    struct Case {
        const char* name;
        JobFields fields;
        int ownIndex;
        int message;
    };
    const Case cases[] = {
        {"empty source first", {"", "", 99, 0, 0, 0}, -1, kMsgNoSource},
        {"empty destination", {"/d/c.3gp", "", 99, 0, 0, 0}, -1, kMsgNoDestination},
        {"left 61", {"/d/c.3gp", "/d/c_new.mp4", 61, 0, 0, 0}, -1, kMsgCropHorizontal},
        {"right 61", {"/d/c.3gp", "/d/c_new.mp4", 0, 61, 0, 0}, -1, kMsgCropHorizontal},
        {"60 and 40 pass", {"/d/c.3gp", "/d/c_new.mp4", 60, 60, 40, 40}, -1, 0},
        {"bottom 41", {"/d/c.3gp", "/d/c_new.mp4", 0, 0, 0, 41}, -1, kMsgCropVertical},
        {"crop before duplicate", {"/d/a.3gp", "/d/a_new.mp4", 0, 0, 41, 0}, -1, kMsgCropVertical},
        {"duplicate in any case", {"/d/a.3gp", "/D/a_NEW.mp4", 0, 0, 0, 0}, -1, kMsgAlreadyQueued},
        {"own row keeps its name", {"/d/a.3gp", "/d/a_new.mp4", 0, 0, 0, 0}, 0, 0},
        {"other row still counts", {"/d/b.3gp", "/d/b_new.mp4", 0, 0, 0, 0}, 0, kMsgAlreadyQueued},
    };
    for (const Case& c : cases)
        EXPECT_EQ(checkJobFields(c.fields, rows, c.ownIndex), c.message) << c.name;
}

TEST(JobChecks, CropTextsAndMessages) {
    EXPECT_EQ(cropValueOfText(""), 0);
    EXPECT_EQ(cropValueOfText("07"), 7);
    EXPECT_EQ(cropValueOfText("42x"), 42);
    EXPECT_EQ(cropValueOfText("x42"), 0);
    EXPECT_STREQ(messageText(kMsgCropHorizontal), "Не больше 60!");
    EXPECT_STREQ(messageText(kMsgAlreadyQueued), "Файл уже \nв очереди!");
    EXPECT_STREQ(messageText(4242), "");
}

// The dialogs' limits hold for every source; the command line's wider margins only for
// sources wider than 352 pixels, up to a quarter of their width and height.
TEST(JobChecks, WideMarginsFollowTheSourceSize) {
    const struct {
        int left, right, top, bottom, width, height;
        bool wide, fits;
    } cases[] = {
        {60, 60, 40, 40, 176, 144, false, true},      {61, 0, 0, 0, 176, 144, false, false},
        {0, 0, 0, 41, 1920, 1080, false, false},      {61, 0, 0, 0, 352, 288, true, false},
        {88, 0, 0, 0, 353, 288, true, true},          {89, 0, 0, 0, 353, 288, true, false},
        {480, 480, 270, 270, 1920, 1080, true, true}, {0, 481, 0, 0, 1920, 1080, true, false},
        {0, 0, 0, 271, 1920, 1080, true, false},      {60, 0, 40, 0, 400, 100, true, true},
        {0, 0, -1, 0, 800, 480, true, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cropFitsSource(c.left, c.right, c.top, c.bottom, c.width, c.height, c.wide),
                  c.fits)
            << c.left << "," << c.right << "," << c.top << "," << c.bottom << " of " << c.width
            << "x" << c.height << (c.wide ? " wide" : "");
}

TEST(JobChecks, SettingsAddTheMarginsOfEachDirection) {
    JobSettings s = settingsFor(4, 6, 8, 2, 160, 128, 80000);
    EXPECT_EQ(s.cropLeft, 4);
    EXPECT_EQ(s.cropTop, 8);
    EXPECT_EQ(s.cropHorizontal, 10);
    EXPECT_EQ(s.cropVertical, 10);
    EXPECT_EQ(s.cropEnabled, 1);
    EXPECT_EQ(s.width, 160);
    EXPECT_EQ(s.height, 128);
    EXPECT_EQ(s.bitRate, 80000u);
    EXPECT_EQ(s.rotate, 0);
}

TEST(HandsetLimit, CutsOnlyPastTheLastPictureAndNamesBothEnds) {
    struct Case {
        int64_t frames;
        uint32_t rate;
        const char* note;  // "" when nothing is cut
    };
    const Case cases[] = {
        {16667, 8, ""},
        {16668, 8, "video ends at 34:43 of 34:44: handset limit"},
        {16668, 10, "video ends at 27:46 of 27:47: handset limit"},
        {19760, 8, "video ends at 34:43 of 41:10: handset limit"},
        {100000, 15, "video ends at 18:31 of 1:51:07: handset limit"},
        {100000, 0, ""},
    };
    for (const Case& c : cases) {
        const jobrules::HandsetCut cut = jobrules::handsetCutOf(c.frames, c.rate);
        EXPECT_EQ(cut.cut ? jobrules::handsetCutNote(cut) : "", c.note)
            << c.frames << " " << c.rate;
    }
    EXPECT_EQ(jobrules::clockTimeOf(3599), "59:59");
    EXPECT_EQ(jobrules::clockTimeOf(3600), "1:00:00");
}

}  // namespace
