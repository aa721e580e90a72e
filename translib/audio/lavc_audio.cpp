#include "audio/lavc_audio.h"

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "platform/lavc_library.h"

namespace {

// The library's functions; called only once libraryAudioOpen() has found the library loaded.
const platform::LavcLibrary& lavc() {
    return *platform::lavcLibrary();
}

}  // namespace

struct LibraryAudioDecoder {
    LibraryAudioCodec codec = LibraryAudioCodec::Mp3;
    AVCodecContext* context = nullptr;
    AVPacket* packet = nullptr;
    AVFrame* frame = nullptr;
    std::vector<uint8_t> input;  // the sample with the padding the decoder may read
    std::vector<int16_t> first, second;

    ~LibraryAudioDecoder() {
        lavc().av_frame_free(&frame);
        lavc().av_packet_free(&packet);
        lavc().avcodec_free_context(&context);
    }
};

namespace {

// Speech bytes after the header byte of an AMR-WB storage-format frame, by frame type
// (3GPP TS 26.201): modes 0 to 8, comfort noise (9); types 10 to 13 are reserved, 14
// (speech lost) and 15 (no data) carry nothing. -1: not a frame.
constexpr int kAmrWbSpeechBytes[16] = {17, 23, 32, 36, 40, 46, 50, 58, 60, 5, -1, -1, -1, -1, 0, 0};

// Bytes of the AMR-WB frame that starts with the header byte `header`; 0 when not a frame.
size_t amrWbFrameBytes(uint8_t header) {
    const int speech = kAmrWbSpeechBytes[(header >> 3) & 0x0F];
    return speech < 0 ? 0 : static_cast<size_t>(speech) + 1;
}

int16_t fromFloat(float v) {
    // Full scale is 1.0; anything beyond is clipped.
    const float scaled = std::nearbyint(v * 32768.0f);
    if (!(scaled > -32768.0f)) return -32768;  // also NaN
    if (scaled > 32767.0f) return 32767;
    return static_cast<int16_t>(scaled);
}

// Sample `i` of channel `ch` of the frame, as 16 bits; 0 for formats we do not read.
int16_t sampleAt(const AVFrame* f, int ch, int i, int channels) {
    const AVSampleFormat format = static_cast<AVSampleFormat>(f->format);
    const bool planar = lavc().av_sample_fmt_is_planar(format);
    const uint8_t* base = planar ? f->extended_data[ch] : f->extended_data[0];
    const int index = planar ? i : i * channels + ch;
    switch (lavc().av_get_packed_sample_fmt(format)) {
        case AV_SAMPLE_FMT_S16:
            return reinterpret_cast<const int16_t*>(base)[index];
        case AV_SAMPLE_FMT_S32:
            return static_cast<int16_t>(reinterpret_cast<const int32_t*>(base)[index] >> 16);
        case AV_SAMPLE_FMT_FLT:
            return fromFloat(reinterpret_cast<const float*>(base)[index]);
        case AV_SAMPLE_FMT_DBL:
            return fromFloat(static_cast<float>(reinterpret_cast<const double*>(base)[index]));
        default:
            return 0;
    }
}

bool knownFormat(int format) {
    switch (lavc().av_get_packed_sample_fmt(static_cast<AVSampleFormat>(format))) {
        case AV_SAMPLE_FMT_S16:
        case AV_SAMPLE_FMT_S32:
        case AV_SAMPLE_FMT_FLT:
        case AV_SAMPLE_FMT_DBL:
            return true;
        default:
            return false;
    }
}

bool handFrame(LibraryAudioDecoder* d, LibraryAudioFrameFn frame, void* user) {
    const AVFrame* f = d->frame;
    const int channels = f->ch_layout.nb_channels;
    const int n = f->nb_samples;
    if (channels < 1 || n < 0 || f->sample_rate <= 0 || !knownFormat(f->format)) return false;
    d->first.resize(static_cast<size_t>(n));
    d->second.resize(static_cast<size_t>(n));
    const int secondChannel = channels > 1 ? 1 : 0;
    for (int i = 0; i < n; ++i) {
        d->first[i] = sampleAt(f, 0, i, channels);
        d->second[i] = sampleAt(f, secondChannel, i, channels);
    }
    return frame(d->first.data(), d->second.data(), n, static_cast<uint32_t>(f->sample_rate), user);
}

// Sends one packet to the decoder and hands on every frame it yields.
bool decodePacket(LibraryAudioDecoder* d, const uint8_t* data, size_t size,
                  LibraryAudioFrameFn frame, void* user) {
    d->input.assign(data, data + size);
    d->input.resize(size + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    d->packet->data = d->input.data();
    d->packet->size = static_cast<int>(size);
    if (lavc().avcodec_send_packet(d->context, d->packet) < 0) return false;
    for (;;) {
        const int got = lavc().avcodec_receive_frame(d->context, d->frame);
        if (got == AVERROR(EAGAIN)) return true;
        if (got < 0) return false;
        const bool ok = handFrame(d, frame, user);
        lavc().av_frame_unref(d->frame);
        if (!ok) return false;
    }
}

}  // namespace

LibraryAudioDecoder* libraryAudioOpen(LibraryAudioCodec codec, uint32_t rate, uint32_t channels) {
    if (!platform::lavcLibrary()) return nullptr;
    const AVCodecID id = codec == LibraryAudioCodec::AmrWb ? AV_CODEC_ID_AMR_WB : AV_CODEC_ID_MP3;
    const AVCodec* decoder = lavc().avcodec_find_decoder(id);
    if (!decoder) return nullptr;
    LibraryAudioDecoder* d = new (std::nothrow) LibraryAudioDecoder;
    if (!d) return nullptr;
    d->codec = codec;
    d->context = lavc().avcodec_alloc_context3(decoder);
    d->packet = lavc().av_packet_alloc();
    d->frame = lavc().av_frame_alloc();
    if (!d->context || !d->packet || !d->frame) {
        delete d;
        return nullptr;
    }
    if (rate > 0 && rate <= INT32_MAX) d->context->sample_rate = static_cast<int>(rate);
    if (channels == 1 || channels == 2)
        lavc().av_channel_layout_default(&d->context->ch_layout, static_cast<int>(channels));
    if (lavc().avcodec_open2(d->context, decoder, nullptr) < 0) {
        delete d;
        return nullptr;
    }
    return d;
}

void libraryAudioClose(LibraryAudioDecoder* decoder) {
    delete decoder;
}

bool libraryAudioDecode(LibraryAudioDecoder* d, const uint8_t* data, int32_t size,
                        LibraryAudioFrameFn frame, void* user) {
    if (!d || !data || size <= 0) return false;
    const size_t total = static_cast<size_t>(size);
    if (d->codec != LibraryAudioCodec::AmrWb) return decodePacket(d, data, total, frame, user);
    // A sample holds one AMR-WB frame or several; the decoder takes one at a time.
    for (size_t at = 0; at < total;) {
        const size_t bytes = amrWbFrameBytes(data[at]);
        if (bytes == 0 || bytes > total - at) return false;
        if (!decodePacket(d, data + at, bytes, frame, user)) return false;
        at += bytes;
    }
    return true;
}

const char* libraryAudioName(LibraryAudioCodec codec) {
    return codec == LibraryAudioCodec::AmrWb ? "libavcodec amrwb" : "libavcodec mp3";
}
