// Readers of the protection data boxes (refused) and the text entries of user data.

#include "core/context.h"
#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/demux_log.h"

int MP4_ReadBox_drms(ByteStream*, Mp4Box*) {
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
