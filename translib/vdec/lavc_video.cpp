// The library path of the video decoder: libavcodec decodes what our decoder does not take
// (H.264, MPEG-4 advanced simple profile) into the same picture sinks as ours. The stream
// file is split into packets by libavcodec's parser; the decoder returns pictures in display
// order, so B-frames come out where they are shown.

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "core/cancel.h"
#include "platform/lavc_library.h"
#include "vdec/pictures_file.h"
#include "vdec/vdec.h"

namespace {

// The library's functions; called only once decodeInto() has found the library loaded.
const platform::LavcLibrary& lavc() {
    return *platform::lavcLibrary();
}

// Bytes read from the stream file at a time.
constexpr size_t kReadChunk = 64 * 1024;

struct LibraryDecoder {
    AVCodecContext* context = nullptr;
    AVCodecParserContext* parser = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    FILE* input = nullptr;
    PictureSink* sink = nullptr;
    // The second chroma plane, when the library gives it another row distance than the
    // first (the sinks take one chroma stride).
    std::vector<uint8_t> chromaCopy;

    ~LibraryDecoder() {
        lavc().av_frame_free(&frame);
        lavc().av_packet_free(&packet);
        if (parser) lavc().av_parser_close(parser);
        lavc().avcodec_free_context(&context);
        if (input) std::fclose(input);
    }
};

struct RunState {
    DecoderResult result;
    std::string sinkFailure;  // the message when the sink refuses a picture
    int rejectedPackets = 0;
    bool failed = false;
};

void fail(RunState* run, const std::string& message) {
    if (run->failed) return;
    run->failed = true;
    run->result.message = message;
    std::printf("%s\n", message.c_str());
}

// Hands one decoded picture to the sink: Y, then Cb and Cr of (width/2) x (height/2)
// samples, as the encoder reads them.
void putPicture(LibraryDecoder* d, const AVFrame* f, RunState* run) {
    if (f->format != AV_PIX_FMT_YUV420P && f->format != AV_PIX_FMT_YUVJ420P) {
        const char* name = lavc().av_get_pix_fmt_name(static_cast<AVPixelFormat>(f->format));
        fail(run, std::string("pixel format ") + (name ? name : "unknown") +
                      " is not supported (only 4:2:0, 8 bits)");
        return;
    }
    DecoderResult& r = run->result;
    if (r.frames == 0) {
        if (f->width < 2 || f->height < 2 || f->width > kMaxLibraryPictureWidth ||
            f->height > kMaxLibraryPictureHeight) {
            fail(run, "picture size " + std::to_string(f->width) + "x" + std::to_string(f->height) +
                          " is not supported (at most " + std::to_string(kMaxLibraryPictureWidth) +
                          "x" + std::to_string(kMaxLibraryPictureHeight) + ")");
            return;
        }
        r.width = f->width;
        r.height = f->height;
    } else if (f->width != r.width || f->height != r.height) {
        fail(run, "the picture size changes within the stream, not supported");
        return;
    }
    DecodedPicture picture{f->data[0],     f->data[1], f->data[2], f->linesize[0],
                           f->linesize[1], r.width,    r.height};
    if (f->linesize[2] != f->linesize[1]) {
        const int chromaWidth = r.width / 2, chromaRows = r.height / 2;
        d->chromaCopy.resize(static_cast<size_t>(f->linesize[1]) * chromaRows);
        for (int y = 0; y < chromaRows; ++y)
            std::copy_n(f->data[2] + static_cast<ptrdiff_t>(y) * f->linesize[2], chromaWidth,
                        d->chromaCopy.begin() + static_cast<ptrdiff_t>(y) * f->linesize[1]);
        picture.v = d->chromaCopy.data();
    }
    if (!d->sink->put(picture)) {
        fail(run, run->sinkFailure);
        return;
    }
    ++r.frames;
}

void receivePictures(LibraryDecoder* d, RunState* run) {
    while (!run->failed) {
        const int got = lavc().avcodec_receive_frame(d->context, d->frame);
        if (got == AVERROR(EAGAIN) || got == AVERROR_EOF) return;
        if (got < 0) {
            ++run->rejectedPackets;
            return;
        }
        putPicture(d, d->frame, run);
        lavc().av_frame_unref(d->frame);
    }
}

// Sends one packet (none: the end of the stream) and writes what comes out.
void decodePacket(LibraryDecoder* d, const AVPacket* packet, RunState* run) {
    const int sent = lavc().avcodec_send_packet(d->context, packet);
    if (sent < 0 && sent != AVERROR(EAGAIN) && sent != AVERROR_EOF) ++run->rejectedPackets;
    receivePictures(d, run);
}

void parseAndDecode(LibraryDecoder* d, const uint8_t* data, int size, RunState* run) {
    // With no data the parser hands out what it still holds.
    const bool flushing = size == 0;
    do {
        uint8_t* out = nullptr;
        int outSize = 0;
        const int used = lavc().av_parser_parse2(d->parser, d->context, &out, &outSize, data, size,
                                                 AV_NOPTS_VALUE, AV_NOPTS_VALUE, 0);
        if (used < 0) {
            ++run->rejectedPackets;
            return;
        }
        data += used;
        size -= used;
        if (outSize > 0) {
            d->packet->data = out;
            d->packet->size = outSize;
            decodePacket(d, d->packet, run);
        } else if (flushing) {
            return;
        }
    } while (size > 0 && !run->failed);
}

// Decodes into `sink`; `sinkFailure` is the message when the sink refuses.
DecoderResult decodeInto(const std::string& esPath, PictureSink& sink, VideoDecoderKind kind,
                         const std::string& sinkFailure) {
    RunState run;
    run.sinkFailure = sinkFailure;
    std::string why;
    if (!platform::lavcLibrary(&why)) {
        fail(&run, std::string("cannot set up the decoder ") + videoDecoderName(kind) + ": " + why);
        return run.result;
    }
    const AVCodecID id =
        kind == VideoDecoderKind::LibraryH264 ? AV_CODEC_ID_H264 : AV_CODEC_ID_MPEG4;

    LibraryDecoder d;
    const AVCodec* codec = lavc().avcodec_find_decoder(id);
    d.context = codec ? lavc().avcodec_alloc_context3(codec) : nullptr;
    d.parser = lavc().av_parser_init(id);
    d.packet = lavc().av_packet_alloc();
    d.frame = lavc().av_frame_alloc();
    if (!d.context || !d.parser || !d.packet || !d.frame) {
        fail(&run, std::string("cannot set up the decoder ") + videoDecoderName(kind));
        return run.result;
    }
    d.context->thread_count = 1;
    if (lavc().avcodec_open2(d.context, codec, nullptr) < 0) {
        fail(&run, std::string("cannot open the decoder ") + videoDecoderName(kind));
        return run.result;
    }
    d.input = std::fopen(esPath.c_str(), "rb");
    if (!d.input) {
        fail(&run, "cannot read " + esPath);
        return run.result;
    }
    if (!sink.begin()) {
        fail(&run, sinkFailure);
        return run.result;
    }
    d.sink = &sink;

    // The parser may read a little past the data it is given.
    std::vector<uint8_t> chunk(kReadChunk + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    for (;;) {
        if (jobCancelled()) {
            fail(&run, "decoding cancelled");
            break;
        }
        const size_t n = std::fread(chunk.data(), 1, kReadChunk, d.input);
        if (n == 0) break;
        std::fill(chunk.begin() + static_cast<ptrdiff_t>(n), chunk.end(), 0);
        parseAndDecode(&d, chunk.data(), static_cast<int>(n), &run);
        if (run.failed) break;
    }
    if (!run.failed && std::ferror(d.input)) fail(&run, "cannot read " + esPath);
    if (!run.failed) {
        parseAndDecode(&d, nullptr, 0, &run);
        if (!run.failed) decodePacket(&d, nullptr, &run);
    }
    if (!sink.finish() && !run.failed) fail(&run, sinkFailure);
    if (run.rejectedPackets > 0)
        std::printf("%d packets of the stream could not be decoded\n", run.rejectedPackets);
    if (!run.failed && run.result.frames == 0) fail(&run, "no picture could be decoded");
    std::printf("%d pictures decoded\n", run.result.frames);
    run.result.ok = !run.failed;
    return run.result;
}

}  // namespace

DecoderResult runLibraryDecoder(const std::string& esPath, PictureSink& sink,
                                VideoDecoderKind kind) {
    return decodeInto(esPath, sink, kind, "the decoded pictures could not be taken");
}

DecoderResult runLibraryDecoderOnFile(const std::string& esPath, const std::string& picturesPath,
                                      VideoDecoderKind kind) {
    PicturesFile file(picturesPath);
    return decodeInto(esPath, file, kind, "cannot write " + picturesPath);
}
