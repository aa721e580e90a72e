// Readers of the protection data boxes (refused inside a protection scheme) and the text entries of
// user data.

#include "core/context.h"
#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/demux_log.h"

namespace {

constexpr uint32_t ATOM_schi = fourcc('s', 'c', 'h', 'i');

// Whether the box lies inside a protection scheme's information or a protected sample
// entry, where `user`, `key `, `iviv`, `name` and `priv` carry the protection data.
bool insideProtectionScheme(const Mp4Box* box) {
    for (const Mp4Box* p = box->parent; p; p = p->parent)
        if (p->type == ATOM_schi || p->type == ATOM_drms) return true;
    return false;
}

}  // namespace

int MP4_ReadBox_drms(ByteStream*, Mp4Box* box) {
    // Elsewhere these types are ordinary boxes of other meanings (a hint track's user data
    // holds a `name`), kept without contents.
    if (!insideProtectionScheme(box)) {
        log_Warning("unknown box type %4.4s (uncompletetly loaded)",
                    reinterpret_cast<const char*>(&box->type));
        return 1;
    }
    // Protected content is never decrypted: the job fails after opening.
    logError("discarding read drms box");
    return 1;
}

int MP4_ReadBox_0xa9xxx(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxText>(s, box, [box](BoxCursor& c, BoxText& r) {
        int16_t length = static_cast<int16_t>(c.u16());
        c.skip(2);  // language
        if (length > 0) {
            int64_t n = length < c.left() ? length : (c.left() > 0 ? c.left() : 0);
            std::vector<uint8_t> bytes = c.vec(n);
            r.text.assign(bytes.begin(), bytes.end());
            r.hasText = true;
            log_Debug("read box: \"%4.4s\" text=`%s'", reinterpret_cast<const char*>(&box->type),
                      r.text.c_str());
        }
    });
}
