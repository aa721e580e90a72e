#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ConversionJob.h"
#include "res/Strings.h"
#include "res/resource.h"

namespace {

TEST(JobListTexts, StatusesAndColumns) {
    struct Case {
        JobStatus status;
        const char* text;
        bool finished;
    };
    const Case cases[] = {{JobStatus::Waiting, "Ждём", false},
                          {JobStatus::Converting, "....", false},
                          {JobStatus::Done, "ОК!", true},
                          {JobStatus::Failed, "Ошибка!", true}};
    for (const Case& c : cases) {
        int32_t s = static_cast<int32_t>(c.status);
        EXPECT_STREQ(loadString(statusStringId(s)), c.text) << s;
        EXPECT_EQ(isFinished(s), c.finished) << s;
    }
    EXPECT_EQ(columnTitles(), (std::vector<std::string>{"#", "Исх", "Новый"}));
}

TEST(JobListTexts, EveryStringOfTheTableAndNoOther) {
    struct Case {
        int id;
        const char* text;
    };
    const Case cases[] = {
        {IDS_ABOUTBOX, "关于 Kinolite(&A)..."},
        {IDS_CONFIRM_DELETE, "您确认要删除吗!"},
        {IDS_CONFIRM_STOP, "您确认要停止转换操作吗!"},
        {IDS_TIP_ADD, "8121"},
        {IDS_TIP_CONVERT, "8124"},
        {IDS_NO_SOURCE, "7109!"},
        {IDS_ANOTHER_JOB, "Ещё?"},
        {IDS_ALREADY_QUEUED, "Файл уже \nв очереди!"},
        {IDS_OVERWRITE, "文件已经存在，请确认是否覆盖?"},
        {107, ""},
    };
    for (const Case& c : cases) EXPECT_STREQ(loadString(c.id), c.text) << c.id;
}

TEST(JobListRows, RowTextsAndTheWorkersRequest) {
    ConversionJob job;
    job.status = static_cast<int32_t>(JobStatus::Failed);
    job.sourcePath = "/clips/a.3gp";
    job.destPath = "/out/a_new.mp4";
    job.wavPath = "/out/a_new.mp4.wav";
    job.cropLeft = 4;
    job.cropRight = 6;
    job.cropTop = 2;
    job.cropBottom = 8;
    job.width = 160;
    job.height = 128;
    job.bitRate = 80000;
    EXPECT_EQ(rowTexts(job), (std::vector<std::string>{"Ошибка!", "/clips/a.3gp", "/out/a_new.mp4",
                                                       "/out/a_new.mp4.wav"}));
    JobRequest r = requestFor(job);
    EXPECT_EQ(r.sourcePath, "/clips/a.3gp");
    EXPECT_EQ(r.destDir, "/out/");
    EXPECT_EQ(r.settings.cropLeft, 4);
    EXPECT_EQ(r.settings.cropTop, 2);
    EXPECT_EQ(r.settings.cropHorizontal, 10);
    EXPECT_EQ(r.settings.cropVertical, 10);
    EXPECT_EQ(r.settings.cropEnabled, 1);
    EXPECT_EQ(r.settings.width, 160);
    EXPECT_EQ(r.settings.height, 128);
    EXPECT_EQ(r.settings.bitRate, 80000u);
    EXPECT_EQ(r.settings.rotate, 0);
}

TEST(JobListButtons, EditNeedsOneRowDeleteAnyConvertARow) {
    struct Case {
        int selected, rows;
        ButtonStates states;
    };
    const Case cases[] = {
        {0, 0, {false, false, false}}, {0, 1, {false, false, true}}, {1, 1, {true, true, true}},
        {2, 3, {false, true, true}},   {3, 3, {false, true, true}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(buttonStates(c.selected, c.rows), c.states) << c.selected << " of " << c.rows;
}

TEST(JobListDelete, SelectedRowsGoFromTheHighestIndexDown) {
    EXPECT_EQ(deletionOrder({0, 2, 4}), (std::vector<int>{4, 2, 0}));
    EXPECT_EQ(deletionOrder({3, 1}), (std::vector<int>{3, 1}));
    EXPECT_EQ(deletionOrder({}), std::vector<int>());

    // Deleting in that order removes exactly the selected rows.
    JobList list;
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        auto job = std::make_unique<ConversionJob>();
        job->destPath = name;
        list.append(std::move(job));
    }
    for (int row : deletionOrder({0, 2, 4})) list.remove(row);
    EXPECT_EQ(list.destinations(), (std::vector<std::string>{"b", "d"}));
}

}  // namespace
