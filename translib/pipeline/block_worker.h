#pragma once
// A thread that takes blocks of a stream one at a time, in the order they were handed
// over, through one function. The amount of block bytes waiting is bounded: past it the
// giver waits, so a long movie does not pile its whole stream up in memory.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

struct Block;

class BlockWorker {
  public:
    // `take` gets every block and frees it; it runs on the worker's thread only.
    BlockWorker(std::function<void(Block*)> take, size_t maxWaitingBytes);
    ~BlockWorker();  // finish(true)
    BlockWorker(const BlockWorker&) = delete;
    BlockWorker& operator=(const BlockWorker&) = delete;

    // Starts the thread; false when it cannot be started.
    bool start();
    // Hands a block over (waiting while too many bytes wait); the worker frees it.
    void give(Block* block);
    // From the next block on, the worker runs behind the process's other threads (for
    // work that can wait while they keep the processors busy). It cannot be undone.
    void yieldToOthers();
    // Waits until every block given so far has been taken.
    void drain();
    // Ends the thread: after the blocks given so far, or at once with the waiting blocks
    // freed untaken (`abandon`). Does nothing when the thread is not running.
    void finish(bool abandon);

  private:
    void run();

    std::function<void(Block*)> take_;
    const size_t maxWaitingBytes_;
    std::atomic<bool> yielding_{false};
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<Block*> waiting_;
    size_t waitingBytes_ = 0;
    bool busy_ = false;  // the worker holds a block outside the queue
    bool ending_ = false;
    std::thread thread_;
};
