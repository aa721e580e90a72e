#include "demux/box_cursor.h"

#include <cinttypes>
#include <cstdio>

#include "demux/byte_stream.h"
#include "demux/demux_log.h"

bool mp4_ReadBoxBytes(ByteStream* s, const Mp4Box* box, std::vector<uint8_t>* out) {
    // The box must lie within the file: a hostile size never allocates more than the file
    // holds.
    int64_t left = bs_Size(s) - bs_Tell(s);
    if (box->size > static_cast<uint64_t>(left > 0 ? left : 0) || box->size > INT32_MAX)
        return false;
    out->resize(static_cast<size_t>(box->size));
    int got = bs_Read(s, out->data(), static_cast<int>(box->size));
    return got == static_cast<int>(box->size);
}

void mp4_CheckPayloadLeft(const BoxCursor& c) {
    if (c.left() < 0) log_Warning("Not enough data");
}

bool mp4_ReadText(BoxCursor* c, std::string* text) {
    text->clear();
    if (c->left() <= 0 || c->data()[0] == 0) return false;
    const uint8_t* p = c->data();
    int64_t n = 0;
    while (n < c->left() && p[n] != 0) ++n;
    text->assign(reinterpret_cast<const char*>(p), static_cast<size_t>(n));
    c->skip(n < c->left() ? n + 1 : n);
    return true;
}

std::string mp4_FormatDate(uint64_t count) {
    // Seconds since 1904 shifted by this offset, as the debug lines have always shown them.
    constexpr uint64_t kDateOffset = 4211437952ULL;
    uint64_t t = count + kDateOffset;
    char text[64];
    std::snprintf(text, sizeof text, "%dd-%2.2dh:%2.2dm:%2.2ds", static_cast<int>(t / 86400),
                  static_cast<int>((t / 3600) % 24), static_cast<int>((t / 60) % 60),
                  static_cast<int>(t % 60));
    return text;
}
