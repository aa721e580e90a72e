#include "convert_batch.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "convert_display.h"
#include "core/cancel.h"
#include "core/context.h"
#include "core/job_files.h"
#include "file_util.h"

namespace {

// The worker copies its job's progress for the bar this often, like the desktop
// program's timer; the batch redraws the bar at the same pace.
constexpr auto kPollPeriod = std::chrono::milliseconds(20);
constexpr int kPollPeriodMs = 20;
// Share of a job's work the video stage stands for in the bar (the audio stage is fast).
constexpr double kVideoShare = 0.9;

// ---- Worker processes ------------------------------------------------------------------

// What a worker shows the batch of its job, in memory shared by both processes.
struct ProgressSlot {
    std::atomic<int> stage{JobProgress::Idle};
    std::atomic<int32_t> position{0};
    std::atomic<int32_t> rangeMax{0};
};

// The ends of a worker's three pipes on its own side.
struct WorkerEnds {
    int messages = -1;  // to the batch: "ask" and "result ..." lines
    int answers = -1;   // from the batch: 'y' or 'n'
    int trace = -1;     // standard output and error of the worker; -1: none is wanted
};

void onWorkerSignal(int) {
    cancelJob();
}

void onBatchSignal(int);

// Installs `handler` for the signals that stop a batch. No SA_RESTART: a worker waiting
// for the answer to the question wakes up.
void catchStopSignals(void (*handler)(int)) {
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

// The worker's frame-rate question: asks the batch and waits for its answer. Declines
// when the job is cancelled meanwhile or the batch is gone.
bool askBatch(const WorkerEnds& ends) {
    if (!writeAll(ends.messages, "ask\n")) return false;
    for (;;) {
        char answer = 0;
        ssize_t n = read(ends.answers, &answer, 1);
        if (n == 1) return answer == 'y';
        if (n < 0 && errno == EINTR && !jobCancelled()) continue;
        return false;
    }
}

std::string oneLine(std::string text) {
    for (char& ch : text)
        if (ch == '\n' || ch == '\r') ch = ' ';
    return text;
}

// The worker process: runs the job and reports "result done|failed|interrupted REASON"
// (for a job that is done, its remark or nothing).
[[noreturn]] void runWorker(const JobRequest& job, DriftAnswer drift, const WorkerEnds& ends,
                            ProgressSlot* slot, pid_t batch) {
    catchStopSignals(onWorkerSignal);
    signal(SIGPIPE, SIG_IGN);
    // A batch that dies unannounced still has its running jobs cleaned up.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != batch) cancelJob();

    int trace = ends.trace >= 0 ? ends.trace : open("/dev/null", O_WRONLY);
    if (trace >= 0) {
        dup2(trace, 1);
        dup2(trace, 2);
        close(trace);
    }

    JobProgress progress;
    std::atomic<bool> finished{false};
    std::thread poller([&] {
        while (!finished) {
            const std::atomic<int32_t>* counter = progress.counter;
            slot->rangeMax = progress.rangeMax.load();
            slot->position = counter ? counter->load() : 0;
            slot->stage = progress.stage.load();
            std::this_thread::sleep_for(kPollPeriod);
        }
    });
    auto goOn = [&]() {
        switch (drift) {
            case DriftAnswer::Yes:
                return true;
            case DriftAnswer::No:
                return false;
            case DriftAnswer::Ask:
                break;
        }
        return askBatch(ends);
    };
    const JobStatus status = runConversionJob(job, goOn, &progress, pipelineStages());
    finished = true;
    poller.join();
    std::fflush(stdout);
    std::fflush(stderr);

    std::string word = "done";
    if (status != JobStatus::Done) word = jobCancelled() ? "interrupted" : "failed";
    // A job that is done carries its remark, if any, in place of a reason.
    std::string reason = status == JobStatus::Done   ? g_context.remark
                         : g_context.failure.empty() ? "the conversion failed"
                                                     : g_context.failure;
    writeAll(ends.messages, "result " + word + " " + oneLine(reason) + "\n");
    _exit(0);
}

// ---- The batch --------------------------------------------------------------------------

volatile sig_atomic_t g_stopSignal = 0;
int g_wakeFd = -1;  // write end of the batch's self-pipe

void onBatchSignal(int signal) {
    g_stopSignal = signal;
    if (g_wakeFd >= 0) {
        const int saved = errno;
        char byte = 1;
        (void)!write(g_wakeFd, &byte, 1);
        errno = saved;
    }
}

struct Worker {
    size_t job = 0;
    pid_t pid = -1;
    int slot = 0;
    int messages = -1, answers = -1, trace = -1;  // the batch's ends
    std::string messageText, traceLine, traceText;
    std::string outcome, reason;  // from the "result" line
};

class Batch {
  public:
    Batch(const std::vector<JobRequest>& jobs, const BatchOptions& o)
        : jobs_(jobs), options_(o), display_(o.bar) {}

    int run();

  private:
    bool start(size_t job);
    void closeBatchEnds(Worker& w);
    void readMessages(Worker& w);
    void readTrace(Worker& w, bool toEnd);
    void finish(size_t index);
    void answer(Worker& w, char answer);
    void nextQuestion();
    void readAnswer();
    void stopAll();
    void draw();
    int freeSlot() const;

    const std::vector<JobRequest>& jobs_;
    const BatchOptions& options_;
    ConvertDisplay display_;
    ProgressSlot* slots_ = nullptr;
    std::vector<bool> slotUsed_;
    std::vector<Worker> running_;
    std::deque<pid_t> questions_;  // workers waiting for the answer, first asked first
    pid_t asking_ = -1;            // the worker whose question is on the terminal
    std::string typed_;
    FILE* log_ = nullptr;
    int wake_[2] = {-1, -1};
    size_t next_ = 0, finished_ = 0;
    bool stopping_ = false, anyFailed_ = false;
};

int Batch::freeSlot() const {
    for (size_t i = 0; i < slotUsed_.size(); ++i)
        if (!slotUsed_[i]) return static_cast<int>(i);
    return -1;
}

bool Batch::start(size_t job) {
    int messages[2], answers[2], trace[2] = {-1, -1};
    if (pipe2(messages, O_CLOEXEC) != 0) return false;
    if (pipe2(answers, O_CLOEXEC) != 0) {
        close(messages[0]);
        close(messages[1]);
        return false;
    }
    const bool wantTrace = options_.verbose || log_;
    if (wantTrace && pipe2(trace, O_CLOEXEC) != 0) trace[0] = trace[1] = -1;
    Worker w;
    w.job = job;
    w.slot = freeSlot();
    new (&slots_[w.slot]) ProgressSlot();
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t batch = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // The worker keeps only its own ends.
        for (Worker& other : running_) closeBatchEnds(other);
        close(wake_[0]);
        close(wake_[1]);
        close(messages[0]);
        close(answers[1]);
        if (trace[0] >= 0) close(trace[0]);
        if (log_) close(fileno(log_));
        WorkerEnds ends;
        ends.messages = messages[1];
        ends.answers = answers[0];
        ends.trace = trace[1];
        runWorker(jobs_[job], options_.drift, ends, &slots_[w.slot], batch);
    }
    close(messages[1]);
    close(answers[0]);
    if (trace[1] >= 0) close(trace[1]);
    if (pid < 0) {
        close(messages[0]);
        close(answers[1]);
        if (trace[0] >= 0) close(trace[0]);
        return false;
    }
    w.pid = pid;
    w.messages = messages[0];
    w.answers = answers[1];
    w.trace = trace[0];
    slotUsed_[w.slot] = true;
    running_.push_back(w);
    return true;
}

void Batch::closeBatchEnds(Worker& w) {
    for (int* fd : {&w.messages, &w.answers, &w.trace}) {
        if (*fd >= 0) close(*fd);
        *fd = -1;
    }
}

void Batch::readMessages(Worker& w) {
    char buffer[4096];
    ssize_t n = read(w.messages, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return;
    if (n <= 0) {
        close(w.messages);
        w.messages = -1;
        return;
    }
    w.messageText.append(buffer, static_cast<size_t>(n));
    size_t end;
    while ((end = w.messageText.find('\n')) != std::string::npos) {
        const std::string line = w.messageText.substr(0, end);
        w.messageText.erase(0, end + 1);
        if (line == "ask") {
            questions_.push_back(w.pid);
        } else if (line.rfind("result ", 0) == 0) {
            const std::string rest = line.substr(7);
            const size_t space = rest.find(' ');
            w.outcome = rest.substr(0, space);
            w.reason = space == std::string::npos ? std::string() : rest.substr(space + 1);
        }
    }
}

void Batch::readTrace(Worker& w, bool toEnd) {
    char buffer[65536];
    do {
        ssize_t n = read(w.trace, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            close(w.trace);
            w.trace = -1;
            break;
        }
        if (log_) w.traceText.append(buffer, static_cast<size_t>(n));
        if (!options_.verbose) continue;
        // Whole lines only, so that the traces of two jobs never mix within a line.
        w.traceLine.append(buffer, static_cast<size_t>(n));
        const size_t last = w.traceLine.rfind('\n');
        if (last == std::string::npos) continue;
        display_.clearBar();
        std::fwrite(w.traceLine.data(), 1, last + 1, stdout);
        std::fflush(stdout);
        w.traceLine.erase(0, last + 1);
    } while (toEnd);
}

void Batch::finish(size_t index) {
    Worker w = running_[index];
    running_.erase(running_.begin() + static_cast<long>(index));
    if (w.trace >= 0) readTrace(w, true);
    if (options_.verbose && !w.traceLine.empty()) {
        display_.clearBar();
        std::fprintf(stdout, "%s\n", w.traceLine.c_str());
    }
    int status = 0;
    while (waitpid(w.pid, &status, 0) < 0 && errno == EINTR) {
    }
    closeBatchEnds(w);
    slotUsed_[w.slot] = false;
    for (auto it = questions_.begin(); it != questions_.end();)
        it = *it == w.pid ? questions_.erase(it) : it + 1;
    if (asking_ == w.pid) asking_ = -1;

    const std::string output = jobOutputPath(jobs_[w.job]);
    std::string line;
    if (w.outcome == "done") {
        line = "done: " + output;
        if (!w.reason.empty()) line += " (" + w.reason + ")";
    } else if (w.outcome == "interrupted") {
        line = "interrupted: " + output;
        if (!stopping_) stopAll();
    } else {
        anyFailed_ = true;
        std::string reason = w.reason;
        if (w.outcome.empty())
            reason = WIFSIGNALED(status)
                         ? "the worker process ended by signal " + std::to_string(WTERMSIG(status))
                         : "the worker process ended without a result";
        line = "failed: " + output + ": " + reason;
    }
    ++finished_;
    if (log_) {
        std::fprintf(log_, "==> %s\n", jobs_[w.job].sourcePath.c_str());
        std::fwrite(w.traceText.data(), 1, w.traceText.size(), log_);
        if (!w.traceText.empty() && w.traceText.back() != '\n') std::fputc('\n', log_);
        std::fprintf(log_, "%s\n\n", line.c_str());
        std::fflush(log_);
    }
    display_.result(line);
}

void Batch::answer(Worker& w, char answer) {
    if (w.answers < 0) return;
    if (!writeAll(w.answers, std::string(1, answer))) {
        close(w.answers);
        w.answers = -1;
    }
}

Worker* findWorker(std::vector<Worker>& running, pid_t pid) {
    for (Worker& w : running)
        if (w.pid == pid) return &w;
    return nullptr;
}

void Batch::nextQuestion() {
    while (asking_ < 0 && !questions_.empty()) {
        const pid_t pid = questions_.front();
        questions_.pop_front();
        Worker* w = findWorker(running_, pid);
        if (!w) continue;
        const std::string& source = jobs_[w->job].sourcePath;
        if (stopping_) {
            answer(*w, 'n');
        } else if (isatty(0)) {
            asking_ = pid;
            typed_.clear();
            display_.ask(source);
        } else {
            display_.warn(source);
            answer(*w, 'y');
        }
    }
}

void Batch::readAnswer() {
    char buffer[256];
    ssize_t n = read(0, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) return;
    Worker* w = findWorker(running_, asking_);
    if (n <= 0) {
        // Nobody will answer: the job is not converted.
        std::fprintf(stderr, "\n");
        if (w) answer(*w, 'n');
        asking_ = -1;
        return;
    }
    typed_.append(buffer, static_cast<size_t>(n));
    size_t end;
    while (asking_ >= 0 && (end = typed_.find('\n')) != std::string::npos) {
        const char a = answerOf(typed_.substr(0, end));
        typed_.erase(0, end + 1);
        if (a == 0) {
            if (w) display_.ask(jobs_[w->job].sourcePath);
            continue;
        }
        if (w) answer(*w, a);
        asking_ = -1;
    }
}

void Batch::stopAll() {
    stopping_ = true;
    for (Worker& w : running_) kill(w.pid, SIGTERM);
    if (asking_ >= 0) {
        std::fprintf(stderr, "\n");
        Worker* w = findWorker(running_, asking_);
        if (w) answer(*w, 'n');
        asking_ = -1;
    }
}

void Batch::draw() {
    if (!options_.bar || asking_ >= 0) return;
    double done = static_cast<double>(finished_);
    std::string label;
    for (const Worker& w : running_) {
        const ProgressSlot& s = slots_[w.slot];
        const int stage = s.stage;
        const int32_t max = s.rangeMax;
        int32_t pos = s.position;
        if (pos > max) pos = max;
        const double part = max > 0 ? static_cast<double>(pos) / max : 0.0;
        if (stage == JobProgress::Video) done += kVideoShare * part;
        if (stage == JobProgress::Audio) done += kVideoShare + (1 - kVideoShare) * part;
        if (!label.empty()) continue;
        if (stage == JobProgress::Video || stage == JobProgress::Audio)
            label = std::string(stage == JobProgress::Video ? "video " : "audio ") +
                    std::to_string(pos) + "/" + std::to_string(max) + "  ";
        else
            label = "preparing  ";
        label += baseNameOf(jobs_[w.job].sourcePath);
    }
    if (running_.size() > 1) label += " (+" + std::to_string(running_.size() - 1) + ")";
    if (jobs_.size() > 1)
        label = std::to_string(finished_) + "/" + std::to_string(jobs_.size()) + " " + label;
    display_.draw(done / static_cast<double>(jobs_.size()), label);
}

int Batch::run() {
    const int workers = options_.workers < 1 ? 1 : options_.workers;
    void* shared = mmap(nullptr, sizeof(ProgressSlot) * static_cast<size_t>(workers),
                        PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (shared == MAP_FAILED) {
        std::fprintf(stderr, "kinolite-cli convert: %s\n", std::strerror(errno));
        return 1;
    }
    slots_ = static_cast<ProgressSlot*>(shared);
    slotUsed_.assign(static_cast<size_t>(workers), false);
    if (!options_.logPath.empty()) {
        log_ = std::fopen(options_.logPath.c_str(), "w");
        if (!log_) {
            std::fprintf(stderr, "kinolite-cli convert: cannot write the log %s: %s\n",
                         options_.logPath.c_str(), std::strerror(errno));
            munmap(shared, sizeof(ProgressSlot) * static_cast<size_t>(workers));
            return 2;
        }
    }
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) == 0) g_wakeFd = wake_[1];
    catchStopSignals(onBatchSignal);

    while (next_ < jobs_.size() || !running_.empty()) {
        if (g_stopSignal && !stopping_) stopAll();
        while (!stopping_ && next_ < jobs_.size() && static_cast<int>(running_.size()) < workers) {
            if (!start(next_)) {
                anyFailed_ = true;
                ++finished_;
                display_.result("failed: " + jobOutputPath(jobs_[next_]) +
                                ": cannot start a worker process: " + std::strerror(errno));
            }
            ++next_;
        }
        if (stopping_) next_ = jobs_.size();
        if (running_.empty()) break;
        nextQuestion();

        std::vector<pollfd> fds;
        fds.push_back({wake_[0], POLLIN, 0});
        if (asking_ >= 0) fds.push_back({0, POLLIN, 0});
        for (const Worker& w : running_) {
            fds.push_back({w.messages, POLLIN, 0});
            if (w.trace >= 0) fds.push_back({w.trace, POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), options_.bar ? kPollPeriodMs : -1) < 0 && errno != EINTR)
            break;
        char drain[64];
        while (read(wake_[0], drain, sizeof drain) > 0) {
        }
        for (const pollfd& p : fds) {
            if (!(p.revents & (POLLIN | POLLHUP | POLLERR))) continue;
            if (p.fd == 0) {
                if (asking_ >= 0) readAnswer();
                continue;
            }
            for (Worker& w : running_) {
                if (p.fd == w.trace) readTrace(w, false);
                if (p.fd == w.messages) readMessages(w);
            }
        }
        for (size_t i = running_.size(); i-- > 0;)
            if (running_[i].messages < 0) finish(i);
        draw();
    }

    display_.clearBar();
    if (log_) std::fclose(log_);
    g_wakeFd = -1;
    close(wake_[0]);
    close(wake_[1]);
    munmap(shared, sizeof(ProgressSlot) * static_cast<size_t>(workers));
    if (stopping_) return kExitInterrupted;
    return anyFailed_ ? 1 : 0;
}

}  // namespace

int runBatch(const std::vector<JobRequest>& jobs, const BatchOptions& options) {
    Batch batch(jobs, options);
    return batch.run();
}
