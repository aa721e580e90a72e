#pragma once
// libavcodec and libavutil, loaded the first time a job needs them rather than when the
// program starts: linking them pulls in some ninety libraries, and loading those takes
// longer than the whole preparation of a short movie. The decoders call the library's
// functions through the table below.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/pixdesc.h>
#include <libavutil/samplefmt.h>
}

#include <string>

namespace platform {

// Every function of libavcodec and libavutil the decoders use.
// clang-format off
#define KINOLITE_LAVC_FUNCTIONS(X) \
    X(avcodec_version) \
    X(avcodec_find_decoder) \
    X(avcodec_alloc_context3) \
    X(avcodec_open2) \
    X(avcodec_free_context) \
    X(avcodec_send_packet) \
    X(avcodec_receive_frame) \
    X(av_parser_init) \
    X(av_parser_parse2) \
    X(av_parser_close) \
    X(av_packet_alloc) \
    X(av_packet_free) \
    X(avutil_version) \
    X(av_frame_alloc) \
    X(av_frame_free) \
    X(av_frame_unref) \
    X(av_log_set_level) \
    X(av_get_pix_fmt_name) \
    X(av_get_packed_sample_fmt) \
    X(av_sample_fmt_is_planar) \
    X(av_channel_layout_default)
// clang-format on

struct LavcLibrary {
#define KINOLITE_LAVC_POINTER(name) decltype(&::name) name = nullptr;
    KINOLITE_LAVC_FUNCTIONS(KINOLITE_LAVC_POINTER)
#undef KINOLITE_LAVC_POINTER
};

// The loaded library, its messages silenced; null when it cannot be loaded, with the
// reason in `*why` ("libavcodec.so.59 cannot be loaded: ..."). Loads once per process;
// safe to call from any thread.
const LavcLibrary* lavcLibrary(std::string* why = nullptr);

}  // namespace platform
