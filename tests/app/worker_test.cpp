#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ConversionWorker.h"
#include "core/context.h"

namespace {

// What the fake stages do for a source.
struct Outcome {
    int prepare = 1, video = 1, audio = 1;
};

// Stages that look up their outcome by the source path and log their calls.
struct Fake {
    static std::map<std::string, Outcome> outcomes;
    static std::vector<std::string>* log;
    static WorkerShared* shared;
    static std::string source;
    static bool stopInVideo;

    static int prepare(const std::string& sourcePath, const std::string&, int32_t* audio,
                       uint32_t* video, std::string*) {
        source = sourcePath;
        log->push_back("prepare " + sourcePath);
        *audio = 99;
        *video = 30;
        return outcomes[sourcePath].prepare;
    }
    static int video(const std::atomic<int32_t>** out) {
        *out = &g_context.videoProgress;
        log->push_back("video" + std::string(shared->countersActive ? " counting" : ""));
        if (stopInVideo) shared->stopRequested = 1;
        return outcomes[source].video;
    }
    static int audio(const std::atomic<int32_t>** out) {
        *out = &g_context.audioProgress;
        log->push_back("audio" + std::string(shared->countersActive ? " counting" : ""));
        return outcomes[source].audio;
    }
};
std::map<std::string, Outcome> Fake::outcomes;
std::vector<std::string>* Fake::log;
WorkerShared* Fake::shared;
std::string Fake::source;
bool Fake::stopInVideo;

const JobStages kFakeStages = {Fake::prepare, Fake::video, Fake::audio};

// A host that logs what the worker shows, in one log with the stage calls.
class FakeHost : public WorkerHost {
  public:
    std::vector<std::string> log;
    std::vector<bool> answers;   // to the drift question, in order
    int passesBeforeWindow = 0;  // passes that end before the progress dialog exists

    void showFileName(const std::string& path) override { log.push_back("file " + path); }
    void showStatus(int row, JobStatus s) override {
        log.push_back("status " + std::to_string(row) + " " + std::to_string(static_cast<int>(s)));
    }
    void setProgressRange(int32_t max) override { log.push_back("range " + std::to_string(max)); }
    bool askToGoOn() override {
        log.push_back("ask");
        bool a = answers.empty() ? false : answers.front();
        if (!answers.empty()) answers.erase(answers.begin());
        return a;
    }
    bool progressWindowExists() override {
        log.push_back("window?");
        return passesBeforeWindow-- <= 0;
    }
    void postConversionEnded() override { log.push_back("end"); }
};

struct Row {
    const char* source;
    JobStatus status;
};

struct PassCase {
    const char* name;
    std::vector<Row> rows;
    std::map<std::string, Outcome> outcomes;
    std::vector<bool> answers;
    int passesBeforeWindow;
    bool stopInVideo;
    std::vector<std::string> log;
    std::vector<JobStatus> statuses;
};

void PrintTo(const PassCase& c, std::ostream* os) {
    *os << c.name;
}

class WorkerPassTest : public ::testing::TestWithParam<PassCase> {};

TEST_P(WorkerPassTest, RowsMoveThroughTheirStatuses) {
    const PassCase& c = GetParam();
    JobList jobs;
    for (const Row& r : c.rows) {
        auto job = std::make_unique<ConversionJob>();
        job->sourcePath = r.source;
        job->destPath = std::string("/out/") + r.source + "_new.mp4";
        job->status = static_cast<int32_t>(r.status);
        job->width = 128;
        job->height = 96;
        job->bitRate = 100000;
        jobs.append(std::move(job));
    }
    FakeHost host;
    host.answers = c.answers;
    host.passesBeforeWindow = c.passesBeforeWindow;
    WorkerShared shared;
    Fake::outcomes = c.outcomes;
    Fake::log = &host.log;
    Fake::shared = &shared;
    Fake::stopInVideo = c.stopInVideo;

    runConversionPasses(jobs, shared, host, kFakeStages);

    EXPECT_EQ(host.log, c.log);
    std::vector<JobStatus> statuses;
    for (int i = 0; i < jobs.count(); ++i)
        statuses.push_back(static_cast<JobStatus>(jobs.at(i).status));
    EXPECT_EQ(statuses, c.statuses);
    EXPECT_EQ(shared.stopRequested.load(), 1);
    EXPECT_EQ(shared.countersActive.load(), 0);
    EXPECT_EQ(shared.progress.stage.load(), JobProgress::Idle);
}

using S = JobStatus;
const std::vector<std::string> kConverted = {"status 0 1", "range 30", "video counting", "range 99",
                                             "audio counting"};

std::vector<std::string> concat(std::initializer_list<std::vector<std::string>> parts) {
    std::vector<std::string> all;
    for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

INSTANTIATE_TEST_SUITE_P(
    Passes, WorkerPassTest,
    ::testing::Values(
        PassCase{"done",
                 {{"a", S::Waiting}},
                 {{"a", {1, 1, 1}}},
                 {},
                 0,
                 false,
                 concat({{"file a", "prepare a"}, kConverted, {"status 0 2", "window?", "end"}}),
                 {S::Done}},
        PassCase{"preparation_fails",
                 {{"a", S::Waiting}},
                 {{"a", {0, 1, 1}}},
                 {},
                 0,
                 false,
                 {"file a", "prepare a", "status 0 3", "window?", "end"},
                 {S::Failed}},
        PassCase{"video_fails_audio_not_run",
                 {{"a", S::Waiting}},
                 {{"a", {1, 0, 1}}},
                 {},
                 0,
                 false,
                 {"file a", "prepare a", "status 0 1", "range 30", "video counting", "range 99",
                  "status 0 3", "window?", "end"},
                 {S::Failed}},
        PassCase{"audio_fails",
                 {{"a", S::Waiting}},
                 {{"a", {1, 1, 0}}},
                 {},
                 0,
                 false,
                 concat({{"file a", "prepare a"}, kConverted, {"status 0 3", "window?", "end"}}),
                 {S::Failed}},
        PassCase{
            "drift_answered_yes",
            {{"a", S::Waiting}},
            {{"a", {2, 1, 1}}},
            {true},
            0,
            false,
            concat({{"file a", "prepare a", "ask"}, kConverted, {"status 0 2", "window?", "end"}}),
            {S::Done}},
        PassCase{"drift_answered_no",
                 {{"a", S::Waiting}},
                 {{"a", {2, 1, 1}}},
                 {false},
                 0,
                 false,
                 {"file a", "prepare a", "ask", "status 0 3", "window?", "end"},
                 {S::Failed}},
        PassCase{"finished_rows_are_skipped",
                 {{"a", S::Done}, {"b", S::Failed}},
                 {},
                 {},
                 0,
                 false,
                 {"window?", "end"},
                 {S::Done, S::Failed}},
        PassCase{"a_failure_affects_only_its_row",
                 {{"a", S::Waiting}, {"b", S::Done}, {"c", S::Waiting}, {"d", S::Waiting}},
                 {{"a", {0, 1, 1}}, {"c", {2, 1, 1}}, {"d", {1, 1, 1}}},
                 {false},
                 0,
                 false,
                 concat({{"file a", "prepare a", "status 0 3", "file c", "prepare c", "ask",
                          "status 2 3", "file d", "prepare d"},
                         {"status 3 1", "range 30", "video counting", "range 99", "audio counting",
                          "status 3 2", "window?", "end"}}),
                 {S::Failed, S::Done, S::Failed, S::Done}},
        PassCase{"passes_repeat_until_the_progress_dialog_exists",
                 {{"a", S::Waiting}},
                 {{"a", {0, 1, 1}}},
                 {},
                 2,
                 false,
                 {"file a", "prepare a", "status 0 3", "window?", "window?", "window?", "end"},
                 {S::Failed}},
        PassCase{"a_stop_ends_the_run_after_the_current_job",
                 {{"a", S::Waiting}, {"b", S::Waiting}},
                 {{"a", {1, 1, 1}}},
                 {},
                 0,
                 true,
                 concat({{"file a", "prepare a"}, kConverted, {"status 0 2"}}),
                 {S::Done, S::Waiting}}),
    [](const ::testing::TestParamInfo<PassCase>& i) { return std::string(i.param.name); });

}  // namespace
