// Readers of the data reference box and its url / urn entries.

#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/byte_stream.h"
#include "demux/demux_log.h"

int MP4_ReadBox_dref(ByteStream* s, Mp4Box* box) {
    if (!mp4_ReadRecordBox<BoxDref>(s, box, [](BoxCursor& c, BoxDref& r) {
            mp4_ReadFullHeader(c, r);
            r.entryCount = c.u32();
        }))
        return 0;
    // The entries follow the entry count as child boxes.
    if (bs_Seek(s, static_cast<int64_t>(box->position) + mp4_BoxHeaderSize(box) + 8) == 0)
        MP4_ReadBoxContainerChildren(s, box);
    log_Debug("read box: \"dref\" entry-count %d",
              static_cast<int>(boxData<BoxDref>(box)->entryCount));
    return 1;
}

int MP4_ReadBox_url(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxUrl>(s, box, [](BoxCursor& c, BoxUrl& r) {
        mp4_ReadFullHeader(c, r);
        r.hasLocation = mp4_ReadText(&c, &r.location);
        log_Debug("read box: \"url\" url: %s", r.hasLocation ? r.location.c_str() : "(null)");
    });
}

int MP4_ReadBox_urn(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxUrn>(s, box, [](BoxCursor& c, BoxUrn& r) {
        mp4_ReadFullHeader(c, r);
        r.hasName = mp4_ReadText(&c, &r.name);
        r.hasLocation = mp4_ReadText(&c, &r.location);
        log_Debug("read box: \"urn\" name %s location %s", r.hasName ? r.name.c_str() : "(null)",
                  r.hasLocation ? r.location.c_str() : "(null)");
    });
}
