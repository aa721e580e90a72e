#include <gtest/gtest.h>

#include <future>
#include <thread>
#include <vector>

#include "core/cancel.h"
#include "core/context.h"
#include "core/job_files.h"
#include "demux_test_util.h"
#include "mp4_builder.h"
#include "pipeline/job_driver.h"
#include "pipeline/job_runner.h"
#include "platform/platform.h"

namespace {

// Stages that record their calls and return what the test asks for.
struct FakeStages {
    static int prepareResult, videoResult, audioResult;
    static std::vector<std::string> calls;
    static std::vector<int32_t> ranges;  // progress range seen by each stage
    static JobProgress* progress;

    static int prepare(const std::string&, const std::string&, int32_t* audio, uint32_t* video,
                       std::string*) {
        calls.push_back("prepare");
        *audio = 99;
        *video = 30;
        return prepareResult;
    }
    static int video(const std::atomic<int32_t>** out) {
        calls.push_back("video");
        *out = &g_context.videoProgress;
        ranges.push_back(progress ? progress->rangeMax.load() : -1);
        EXPECT_EQ(progress->counter.load(), &g_context.videoProgress);
        return videoResult;
    }
    static int audio(const std::atomic<int32_t>** out) {
        calls.push_back("audio");
        *out = &g_context.audioProgress;
        ranges.push_back(progress ? progress->rangeMax.load() : -1);
        EXPECT_EQ(progress->counter.load(), &g_context.audioProgress);
        return audioResult;
    }
};
int FakeStages::prepareResult, FakeStages::videoResult, FakeStages::audioResult;
std::vector<std::string> FakeStages::calls;
std::vector<int32_t> FakeStages::ranges;
JobProgress* FakeStages::progress;

const JobStages kFake = {FakeStages::prepare, FakeStages::video, FakeStages::audio};

struct RunCase {
    const char* name;
    int prepare, video, audio;
    bool goOn;
    JobStatus status;
    std::vector<std::string> calls;
    bool asked;
};

void PrintTo(const RunCase& c, std::ostream* os) {
    *os << c.name;
}

class JobRunnerTest : public ::testing::TestWithParam<RunCase> {};

TEST_P(JobRunnerTest, StagesRunInOrderWhileTheyGoWell) {
    const RunCase& c = GetParam();
    FakeStages::prepareResult = c.prepare;
    FakeStages::videoResult = c.video;
    FakeStages::audioResult = c.audio;
    FakeStages::calls.clear();
    FakeStages::ranges.clear();
    JobProgress progress;
    FakeStages::progress = &progress;
    bool asked = false;
    JobRequest job{"/tmp/none/a.3gp", "/tmp/none/", JobSettings()};
    JobStatus s = runConversionJob(
        job,
        [&] {
            asked = true;
            EXPECT_EQ(progress.stage.load(), JobProgress::Asking);
            return c.goOn;
        },
        &progress, kFake);
    EXPECT_EQ(s, c.status);
    EXPECT_EQ(FakeStages::calls, c.calls);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(progress.stage.load(), JobProgress::Idle);
    if (c.calls.size() == 3) {
        EXPECT_EQ(FakeStages::ranges, (std::vector<int32_t>{30, 99}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Outcomes, JobRunnerTest,
    ::testing::Values(
        RunCase{"done", 1, 1, 1, true, JobStatus::Done, {"prepare", "video", "audio"}, false},
        RunCase{"preparation_fails", 0, 1, 1, true, JobStatus::Failed, {"prepare"}, false},
        RunCase{
            "drift_accepted", 2, 1, 1, true, JobStatus::Done, {"prepare", "video", "audio"}, true},
        RunCase{"drift_declined", 2, 1, 1, false, JobStatus::Failed, {"prepare"}, true},
        RunCase{"video_fails", 1, 0, 1, true, JobStatus::Failed, {"prepare", "video"}, false},
        RunCase{
            "audio_fails", 1, 1, 0, true, JobStatus::Failed, {"prepare", "video", "audio"}, false}),
    [](const ::testing::TestParamInfo<RunCase>& i) { return std::string(i.param.name); });

// Stages of a job whose preparation waits until the test lets it go on.
std::promise<void> g_prepareStarted;
std::shared_future<void> g_prepareMayEnd;
int g_prepareCalls = 0;

int waitingPrepare(const std::string&, const std::string&, int32_t* audio, uint32_t* video,
                   std::string*) {
    ++g_prepareCalls;
    *audio = 0;
    *video = 0;
    g_prepareStarted.set_value();
    g_prepareMayEnd.wait();
    return 1;
}

int passingStage(const std::atomic<int32_t>** out) {
    *out = nullptr;
    return 1;
}

int countingPrepare(const std::string&, const std::string&, int32_t*, uint32_t*, std::string*) {
    ++g_prepareCalls;
    return 1;
}

// A second job asked for while one runs (on another thread) is refused at once: it fails
// with a line on the trace and touches nothing of the running job, which goes on to its
// end; once that has ended, the next job runs.
TEST(JobRunnerGuardTest, ASecondJobWhileOneRunsIsRefused) {
    g_prepareStarted = std::promise<void>();
    std::promise<void> mayEnd;
    g_prepareMayEnd = mayEnd.get_future().share();
    g_prepareCalls = 0;
    const JobStages waiting = {waitingPrepare, passingStage, passingStage};
    JobRequest first{"/tmp/none/first.3gp", "/tmp/none/", JobSettings()};
    JobSettings otherSettings;
    otherSettings.width = 176;
    otherSettings.height = 144;
    JobRequest second{"/tmp/none/second.3gp", "/tmp/none/", otherSettings};

    JobStatus firstStatus = JobStatus::Waiting;
    std::thread worker([&] {
        firstStatus = runConversionJob(
            first, [] { return true; }, nullptr, waiting);
    });
    g_prepareStarted.get_future().wait();

    JobProgress progress;
    JobStatus secondStatus = JobStatus::Waiting;
    const std::string out = mp4test::captureStdout([&] {
        secondStatus = runConversionJob(
            second, [] { return true; }, &progress, waiting);
    });
    EXPECT_EQ(secondStatus, JobStatus::Failed);
    EXPECT_EQ(out,
              "runConversionJob, another job is running: /tmp/none/second.3gp is not "
              "converted\n");
    EXPECT_EQ(progress.stage.load(), JobProgress::Idle);
    EXPECT_EQ(g_context.width, 128);  // the running job's settings
    EXPECT_EQ(g_context.success, 1);

    mayEnd.set_value();
    worker.join();
    EXPECT_EQ(firstStatus, JobStatus::Done);
    EXPECT_EQ(g_prepareCalls, 1);

    const JobStages counting = {countingPrepare, passingStage, passingStage};
    EXPECT_EQ(runConversionJob(
                  second, [] { return true; }, nullptr, counting),
              JobStatus::Done);
    EXPECT_EQ(g_prepareCalls, 2);
    EXPECT_EQ(g_context.width, 176);
}

int neverCalled(const std::atomic<int32_t>**) {
    ADD_FAILURE() << "stage called";
    return 0;
}

TEST(JobRunnerDeclineTest, DecliningRemovesEveryFileOfTheJob) {
    // A real preparation of a source whose average frame rate is 12.8, with AAC audio.
    resetJob();
    testing_util::TempDir dir;
    mp4test::MovieLayout m =
        mp4test::movieOf({mp4test::videoTrack(64, 12800, 1000, 20),
                          mp4test::aacTrack(16000, 1, {0x14, 0x08}, 10, 6)});  // LC mono
    std::string source = dir.file("runner_decline_drift.mp4");
    testing_util::writeFile(source, mp4test::buildMovie(m));

    JobRequest job{source, dir.path(), JobSettings()};
    bool asked = false;
    std::vector<std::string> files;
    JobStatus s;
    {
        mp4test::QuietStdout quiet;
        s = runConversionJob(
            job,
            [&] {
                asked = true;
                files = {g_context.outputPath, g_context.pcmPath, videoEsFilePath()};
                for (const std::string& f : files) EXPECT_TRUE(testing_util::fileExists(f)) << f;
                return false;
            },
            nullptr, JobStages{prepareJob, neverCalled, neverCalled});
    }
    EXPECT_TRUE(asked);
    EXPECT_EQ(s, JobStatus::Failed);
    for (const std::string& f : files) EXPECT_FALSE(testing_util::fileExists(f)) << f;
    EXPECT_EQ(g_context.output, nullptr);
    EXPECT_EQ(jobOutputPath(job), dir.path() + "runner_decline_drift_new.mp4");
}

// A job cancelled while one of its stages runs fails, keeps none of its files (not even
// the complete-looking output an audio stage leaves when it fails) and leaves the flag set.
// The sample has AAC audio, so every kind of temporary file is made.
struct CancelCase {
    const char* name;
    JobStages stages;
};

void PrintTo(const CancelCase& c, std::ostream* os) {
    *os << c.name;
}

class JobRunnerCancelTest : public ::testing::TestWithParam<CancelCase> {
  protected:
    void TearDown() override { clearJobCancel(); }
};

std::vector<std::string> g_filesSeen;

// The job's files as the stage sees them, then the cancel request, then the stage itself.
template <int (*stage)(const std::atomic<int32_t>**)>
int cancelledStage(const std::atomic<int32_t>** progress) {
    g_filesSeen = {g_context.outputPath, g_context.pcmPath};
    cancelJob();
    return stage(progress);
}

int cancelledPreparation(const std::string& source, const std::string& dest, int32_t* audio,
                         uint32_t* video, std::string* es) {
    cancelJob();
    return prepareJob(source, dest, audio, video, es);
}

TEST_P(JobRunnerCancelTest, FailsAndRemovesEveryFile) {
    resetJob();
    testing_util::TempDir dir;
    std::string source = dir.file("runner_cancel.3gp");
    testing_util::writeFile(
        source, testing_util::readFile(testing_util::fixturePath("demux/mp4v_aac_m16k.mp4")));
    JobRequest job{source, dir.path(), JobSettings()};
    g_filesSeen.clear();
    JobStatus s;
    {
        mp4test::QuietStdout quiet;
        s = runConversionJob(
            job, [] { return true; }, nullptr, GetParam().stages);
    }
    EXPECT_EQ(s, JobStatus::Failed);
    EXPECT_TRUE(jobCancelled());
    EXPECT_EQ(g_context.failure, "interrupted");
    for (const std::string& f : g_filesSeen) EXPECT_FALSE(testing_util::fileExists(f)) << f;
    EXPECT_FALSE(testing_util::fileExists(jobOutputPath(job)));
    for (const std::string& f : {g_context.pcmPath, videoEsFilePath(), decodedPicturesPath()})
        EXPECT_EQ(f, "");
    EXPECT_EQ(g_context.output, nullptr);
}

// The AAC audio is decoded beside the video stage: audio the decoder refuses still fails
// the job, with its own reason, and no file of the job is left.
TEST(JobRunnerAacTest, AudioTheDecoderRefusesFailsTheJobAndRemovesEveryFile) {
    resetJob();
    testing_util::TempDir dir;
    std::vector<uint8_t> movie =
        testing_util::readFile(testing_util::fixturePath("demux/mp4v_aac_m16k.mp4"));
    // The audio track's esds (the second one): its AudioSpecificConfig becomes zeros,
    // an object type no AAC decoder takes.
    const std::string bytes(movie.begin(), movie.end());
    const size_t esds = bytes.find("esds", bytes.find("esds") + 4);
    ASSERT_NE(esds, std::string::npos);
    const size_t config = bytes.find("\x05\x80\x80\x80", esds);
    ASSERT_NE(config, std::string::npos);
    movie[config + 5] = movie[config + 6] = 0;
    std::string source = dir.file("runner_bad_aac.3gp");
    testing_util::writeFile(source, movie);

    JobRequest job{source, dir.path(), JobSettings()};
    g_filesSeen.clear();
    JobStatus s;
    {
        mp4test::QuietStdout quiet;
        s = runConversionJob(
            job, [] { return true; }, nullptr,
            JobStages{prepareJob,
                      [](const std::atomic<int32_t>** p) {
                          g_filesSeen = {g_context.outputPath, g_context.pcmPath};
                          return runVideoStage(p);
                      },
                      runAudioStage});
    }
    EXPECT_EQ(s, JobStatus::Failed);
    EXPECT_EQ(g_context.failure, "the audio could not be decoded");
    ASSERT_EQ(g_filesSeen.size(), 2u);
    for (const std::string& f : g_filesSeen) EXPECT_FALSE(testing_util::fileExists(f)) << f;
    EXPECT_FALSE(testing_util::fileExists(jobOutputPath(job)));
    EXPECT_EQ(g_context.pcmFile, nullptr);
    EXPECT_EQ(g_context.output, nullptr);
}

INSTANTIATE_TEST_SUITE_P(
    Stages, JobRunnerCancelTest,
    ::testing::Values(
        CancelCase{"demultiplexing", {cancelledPreparation, runVideoStage, runAudioStage}},
        CancelCase{"video", {prepareJob, cancelledStage<runVideoStage>, runAudioStage}},
        CancelCase{"audio", {prepareJob, runVideoStage, cancelledStage<runAudioStage>}}),
    [](const ::testing::TestParamInfo<CancelCase>& i) { return std::string(i.param.name); });

}  // namespace
