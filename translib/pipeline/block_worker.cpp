#include "pipeline/block_worker.h"

#include <system_error>
#include <utility>

#include "demux/es_out.h"
#include "platform/platform.h"

namespace {

size_t bytesOf(const Block* block) {
    return block->size > 0 ? static_cast<size_t>(block->size) : 0;
}

}  // namespace

BlockWorker::BlockWorker(std::function<void(Block*)> take, size_t maxWaitingBytes)
    : take_(std::move(take)), maxWaitingBytes_(maxWaitingBytes) {}

BlockWorker::~BlockWorker() {
    finish(true);
}

bool BlockWorker::start() {
    if (thread_.joinable()) return true;
    ending_ = false;
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void BlockWorker::give(Block* block) {
    std::unique_lock<std::mutex> lock(mutex_);
    // One block is always let in, however large, so that the worker cannot starve.
    changed_.wait(lock, [&] { return waiting_.empty() || waitingBytes_ < maxWaitingBytes_; });
    waiting_.push_back(block);
    waitingBytes_ += bytesOf(block);
    changed_.notify_all();
}

void BlockWorker::drain() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return waiting_.empty() && !busy_; });
}

void BlockWorker::finish(bool abandon) {
    if (!thread_.joinable()) return;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (abandon) {
            for (Block* block : waiting_) block_Free(block);
            waiting_.clear();
            waitingBytes_ = 0;
        }
        ending_ = true;
        changed_.notify_all();
    }
    thread_.join();
}

void BlockWorker::yieldToOthers() {
    yielding_ = true;
}

void BlockWorker::run() {
    bool yielded = false;
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return !waiting_.empty() || ending_; });
        if (waiting_.empty()) return;  // ending, and everything taken
        Block* block = waiting_.front();
        waiting_.pop_front();
        waitingBytes_ -= bytesOf(block);
        busy_ = true;
        changed_.notify_all();
        lock.unlock();
        if (!yielded && yielding_) {
            platform::yieldThreadPriority();
            yielded = true;
        }
        take_(block);
        lock.lock();
        busy_ = false;
        changed_.notify_all();
    }
}
