#pragma once
// The bounded queue of decoded pictures between the video decoder and the encoder when the
// two run side by side: the decoder puts every picture in (waiting while all slots are
// taken), the encoder reads the frames it keeps by number and the skipped ones are let go.
// It stands in for the decoded-pictures file, with the same frames in the same layout.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "vdec/vdec.h"
#include "venc/venc.h"

class PictureQueue : public PictureSink, public PictureSource {
  public:
    explicit PictureQueue(size_t slots);

    // The decoder's side. put() copies the picture into a free slot, waiting for one; once
    // the encoder has left, pictures are counted and let go at once. It refuses (false)
    // after cancel() and a picture of another size than the first.
    bool put(const DecodedPicture& picture) override;
    // The decoder has ended: `ok` its verdict, width x height the size it published.
    void finishDecoding(bool ok, int width, int height);

    // The encoder's side. Waits for the first picture or the decoder's end; `run` tells
    // whether the encoder is to run (a picture came, or the decoder ended well without
    // one), width x height the size of the pictures.
    struct Start {
        bool run;
        int width, height;
    };
    Start waitForStart();
    // The frame `number` (1-based), waiting for the decoder; false after the last picture
    // of a good decoding, at once when the decoding failed, or after cancel().
    bool read(uint32_t number, uint8_t* buffer, size_t bytes) override;
    // The encoder has ended: nothing will be read any more.
    void leave();

    // Both sides stop: put() and read() refuse, the waits end.
    void cancel();

  private:
    struct Filled {
        uint32_t number;
        size_t slot;
    };

    const size_t slotCount_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::vector<uint8_t>> slots_;
    std::vector<size_t> free_;
    std::deque<Filled> filled_;
    size_t frameBytes_ = 0;
    uint32_t put_ = 0;  // pictures put so far (numbered before they are copied in)
    int width_ = 0, height_ = 0;
    bool decoderDone_ = false, decoderOk_ = false;
    bool encoderGone_ = false;
    bool cancelled_ = false;
};
