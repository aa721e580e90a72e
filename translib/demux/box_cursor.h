#pragma once
// Reading a box's contents from memory: the whole box is read into a buffer, and a
// cursor walks its payload. The cursor never reads outside the buffer: a field beyond the
// end of the box reads as zero, and the count of bytes left goes negative so that the
// reader can report "Not enough data".

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "demux/box.h"
#include "demux/byte_stream.h"
#include "demux/demux_log.h"

struct ByteStream;

class BoxCursor {
  public:
    BoxCursor(const uint8_t* data, int64_t size) : p_(data), left_(size) {}

    int64_t left() const { return left_; }
    bool fits(int64_t n) const { return left_ >= n; }
    const uint8_t* data() const { return p_; }

    uint8_t u8() { return static_cast<uint8_t>(take(1)); }
    uint16_t u16() { return static_cast<uint16_t>(take(2)); }
    uint32_t u24() { return static_cast<uint32_t>(take(3)); }
    uint32_t u32() { return static_cast<uint32_t>(take(4)); }
    uint64_t u64() { return take(8); }
    // Four bytes kept in file order (types, brands, handler types).
    uint32_t fourcc() {
        uint32_t v = 0;
        if (left_ >= 4) std::memcpy(&v, p_, 4);
        skip(4);
        return v;
    }
    void skip(int64_t n) {
        if (n <= 0) return;
        if (left_ >= n)
            p_ += n;
        else if (left_ > 0)
            p_ += left_;
        left_ -= n;
    }
    // Copies n bytes (zeros beyond the end of the box).
    void bytes(uint8_t* out, int64_t n) {
        for (int64_t i = 0; i < n; ++i) out[i] = u8();
    }
    // The bytes that are really there, up to n, as a vector; the cursor moves by n.
    std::vector<uint8_t> vec(int64_t n) {
        int64_t have = n < left_ ? n : (left_ > 0 ? left_ : 0);
        std::vector<uint8_t> v(p_, p_ + (have > 0 ? have : 0));
        skip(n);
        return v;
    }

  private:
    uint64_t take(int n) {
        uint64_t v = 0;
        if (left_ >= n) {
            for (int i = 0; i < n; ++i) v = v << 8 | p_[i];
            p_ += n;
        } else if (left_ > 0) {
            p_ += left_;
        }
        left_ -= n;
        return v;
    }

    const uint8_t* p_;
    int64_t left_;
};

// The common first step of every reader with a record: reads the whole box (header
// included) from its first byte. False when it is larger than what is left of the file
// or cannot be read completely.
bool mp4_ReadBoxBytes(ByteStream* s, const Mp4Box* box, std::vector<uint8_t>* out);

// The payload cursor over a buffer filled by mp4_ReadBoxBytes.
inline BoxCursor mp4_PayloadCursor(const Mp4Box* box, const std::vector<uint8_t>& bytes) {
    int header = mp4_BoxHeaderSize(box);
    return BoxCursor(bytes.data() + header, static_cast<int64_t>(bytes.size()) - header);
}

// The last step of every reader with a record: "Not enough data" when fields ran past
// the end of the box.
void mp4_CheckPayloadLeft(const BoxCursor& c);

// Text rule of url, urn and cprt: when bytes are left and the first is not zero, the
// text runs to the first zero byte or the end of the box and reading goes on after that
// zero byte; otherwise the text is none and nothing is consumed.
bool mp4_ReadText(BoxCursor* c, std::string* text);

// "%dd-%2.2dh:%2.2dm:%2.2ds" of a count of seconds, for debug lines.
std::string mp4_FormatDate(uint64_t count);

// The common reading procedure of every reader with a record: read the whole box, parse
// the payload into a new record of type T with `parse(cursor, record)`, warn when fields
// ran past the end, and hang the record on the box. 0 when the box cannot be read.
template <class T, class Parse>
int mp4_ReadRecordBox(ByteStream* s, Mp4Box* box, Parse parse) {
    std::vector<uint8_t> bytes;
    if (!mp4_ReadBoxBytes(s, box, &bytes)) return 0;
    std::unique_ptr<T> record(new T);
    BoxCursor c = mp4_PayloadCursor(box, bytes);
    parse(c, *record);
    mp4_CheckPayloadLeft(c);
    box->data = std::move(record);
    return 1;
}

// Version byte and 24 flag bits of a full box.
template <class T>
void mp4_ReadFullHeader(BoxCursor& c, T& record) {
    record.version = c.u8();
    record.flags = c.u24();
}

// Readers of dref and stsd: a full-box header and an entry count, then the entries as
// child boxes; debug "read box: \"NAME\" entry-count %d".
template <class T>
int mp4_ReadEntryList(ByteStream* s, Mp4Box* box, const char* name) {
    if (!mp4_ReadRecordBox<T>(s, box, [](BoxCursor& c, T& r) {
            mp4_ReadFullHeader(c, r);
            r.entryCount = c.u32();
        }))
        return 0;
    if (bs_Seek(s, static_cast<int64_t>(box->position) + mp4_BoxHeaderSize(box) + 8) == 0)
        MP4_ReadBoxContainerChildren(s, box);
    log_Debug("read box: \"%s\" entry-count %d", name,
              static_cast<int>(boxData<T>(box)->entryCount));
    return 1;
}
