#include "pipeline/picture_queue.h"

#include <cstring>
#include <new>

namespace {

// Bytes of a frame in the decoded-pictures layout.
size_t frameBytesOf(int width, int height) {
    return static_cast<size_t>(width) * static_cast<size_t>(height) +
           2 * static_cast<size_t>(width / 2) * static_cast<size_t>(height / 2);
}

uint8_t* copyPlane(const uint8_t* plane, int stride, int width, int rows, uint8_t* out) {
    for (int y = 0; y < rows; ++y, out += width)
        std::memcpy(out, plane + static_cast<ptrdiff_t>(y) * stride, static_cast<size_t>(width));
    return out;
}

}  // namespace

PictureQueue::PictureQueue(size_t slots) : slotCount_(slots < 1 ? 1 : slots) {}

bool PictureQueue::put(const DecodedPicture& p) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (slots_.empty()) {
        // The first picture sets the size of every slot: the decoder keeps one size per run.
        width_ = p.width;
        height_ = p.height;
        frameBytes_ = frameBytesOf(p.width, p.height);
        try {
            slots_.assign(slotCount_, std::vector<uint8_t>(frameBytes_));
        } catch (const std::bad_alloc&) {
            return false;
        }
        for (size_t i = 0; i < slotCount_; ++i) free_.push_back(i);
    }
    changed_.wait(lock, [this] { return cancelled_ || encoderGone_ || !free_.empty(); });
    // The slots are made for one picture size, as the decoder keeps one per run.
    if (cancelled_ || frameBytesOf(p.width, p.height) != frameBytes_) return false;
    const uint32_t number = ++put_;
    if (encoderGone_) {
        changed_.notify_all();
        return true;
    }
    const size_t slot = free_.back();
    free_.pop_back();
    lock.unlock();
    uint8_t* out = slots_[slot].data();
    out = copyPlane(p.y, p.lumaStride, p.width, p.height, out);
    out = copyPlane(p.u, p.chromaStride, p.width / 2, p.height / 2, out);
    copyPlane(p.v, p.chromaStride, p.width / 2, p.height / 2, out);
    lock.lock();
    filled_.push_back(Filled{number, slot});
    changed_.notify_all();
    return true;
}

void PictureQueue::finishDecoding(bool ok, int width, int height) {
    std::lock_guard<std::mutex> lock(mutex_);
    decoderDone_ = true;
    decoderOk_ = ok;
    if (put_ == 0) {
        width_ = width;
        height_ = height;
    }
    changed_.notify_all();
}

PictureQueue::Start PictureQueue::waitForStart() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return cancelled_ || decoderDone_ || put_ > 0; });
    const bool run = !cancelled_ && (put_ > 0 || decoderOk_);
    return Start{run, width_, height_};
}

bool PictureQueue::read(uint32_t number, uint8_t* buffer, size_t bytes) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (cancelled_ || (decoderDone_ && !decoderOk_)) return false;
        // Frames before the one asked for are never read: their slots are free again.
        bool freed = false;
        while (!filled_.empty() && filled_.front().number < number) {
            free_.push_back(filled_.front().slot);
            filled_.pop_front();
            freed = true;
        }
        if (freed) changed_.notify_all();
        if (!filled_.empty() && filled_.front().number == number) {
            const size_t slot = filled_.front().slot;
            filled_.pop_front();
            const bool fits = bytes == frameBytes_;
            lock.unlock();
            if (fits) std::memcpy(buffer, slots_[slot].data(), bytes);
            lock.lock();
            free_.push_back(slot);
            changed_.notify_all();
            return fits;
        }
        // Not there yet: past the end once the decoder is done.
        if (decoderDone_) return false;
        changed_.wait(lock);
    }
}

void PictureQueue::leave() {
    std::lock_guard<std::mutex> lock(mutex_);
    encoderGone_ = true;
    for (const Filled& f : filled_) free_.push_back(f.slot);
    filled_.clear();
    changed_.notify_all();
}

void PictureQueue::cancel() {
    std::lock_guard<std::mutex> lock(mutex_);
    cancelled_ = true;
    changed_.notify_all();
}
