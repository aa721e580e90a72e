// Loading libavcodec and libavutil on first use.

#include "platform/lavc_library.h"

#include <dlfcn.h>

#include <mutex>

namespace platform {
namespace {

#define KINOLITE_STRINGIFY2(x) #x
#define KINOLITE_STRINGIFY(x) KINOLITE_STRINGIFY2(x)

// The libraries of the major versions the program was built against.
constexpr const char* kAvutilName = "libavutil.so." KINOLITE_STRINGIFY(LIBAVUTIL_VERSION_MAJOR);
constexpr const char* kAvcodecName = "libavcodec.so." KINOLITE_STRINGIFY(LIBAVCODEC_VERSION_MAJOR);

struct Loaded {
    LavcLibrary library;
    bool ok = false;
    std::string why;
};

std::string dlReason(const char* name) {
    const char* e = dlerror();
    return std::string(name) + " cannot be loaded: " + (e ? e : "unknown reason");
}

// The symbols resolve from the handle that exports them: libavutil's from libavutil,
// libavcodec's from libavcodec.
void load(Loaded* out) {
    void* avutil = dlopen(kAvutilName, RTLD_NOW | RTLD_LOCAL);
    if (!avutil) {
        out->why = dlReason(kAvutilName);
        return;
    }
    void* avcodec = dlopen(kAvcodecName, RTLD_NOW | RTLD_LOCAL);
    if (!avcodec) {
        out->why = dlReason(kAvcodecName);
        return;
    }
    LavcLibrary& l = out->library;
#define KINOLITE_LAVC_RESOLVE(name)                                             \
    {                                                                           \
        void* symbol = dlsym(avcodec, #name);                                   \
        if (!symbol) symbol = dlsym(avutil, #name);                             \
        if (!symbol) {                                                          \
            out->why = std::string(#name) + " is missing from " + kAvcodecName; \
            return;                                                             \
        }                                                                       \
        l.name = reinterpret_cast<decltype(l.name)>(symbol);                    \
    }
    KINOLITE_LAVC_FUNCTIONS(KINOLITE_LAVC_RESOLVE)
#undef KINOLITE_LAVC_RESOLVE
    // A library of the same major version keeps the interface the program was built for.
    if (AV_VERSION_MAJOR(l.avcodec_version()) != LIBAVCODEC_VERSION_MAJOR ||
        AV_VERSION_MAJOR(l.avutil_version()) != LIBAVUTIL_VERSION_MAJOR) {
        out->why = std::string(kAvcodecName) + " is of another version than the program's";
        return;
    }
    l.av_log_set_level(AV_LOG_QUIET);  // the decoders report in their own lines
    out->ok = true;
}

}  // namespace

const LavcLibrary* lavcLibrary(std::string* why) {
    static Loaded loaded;
    static std::once_flag once;
    std::call_once(once, [] { load(&loaded); });
    if (!loaded.ok) {
        if (why) *why = loaded.why;
        return nullptr;
    }
    return &loaded.library;
}

}  // namespace platform
