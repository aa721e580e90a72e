// Readers of the data reference box and its url / urn entries.

#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/byte_stream.h"
#include "demux/demux_log.h"

int MP4_ReadBox_dref(ByteStream* s, Mp4Box* box) {
    return mp4_ReadEntryList<BoxDref>(s, box, "dref");
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
