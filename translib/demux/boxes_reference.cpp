// Readers of the reference movie boxes (QuickTime playlists).

#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/demux_log.h"

int MP4_ReadBox_rdrf(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxRdrf>(s, box, [](BoxCursor& c, BoxRdrf& r) {
        mp4_ReadFullHeader(c, r);
        r.refType = c.fourcc();
        r.refDataLength = c.u32();
        if (r.refDataLength > 0) {
            std::vector<uint8_t> bytes = c.vec(r.refDataLength);
            r.refData.assign(bytes.begin(), bytes.end());
            r.hasRefData = true;
        }
        log_Debug("read box: \"rdrf\" type:%4.4s ref %s", reinterpret_cast<const char*>(&r.refType),
                  r.hasRefData ? r.refData.c_str() : "(null)");
    });
}

int MP4_ReadBox_rmdr(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxRmdr>(s, box, [](BoxCursor& c, BoxRmdr& r) {
        mp4_ReadFullHeader(c, r);
        r.rate = c.u32();
        log_Debug("read box: \"rmdr\" rate:%d", static_cast<int>(r.rate));
    });
}

int MP4_ReadBox_rmqu(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxRmqu>(s, box, [](BoxCursor& c, BoxRmqu& r) {
        r.quality = c.u32();
        log_Debug("read box: \"rmqu\" quality:%d", static_cast<int>(r.quality));
    });
}

int MP4_ReadBox_rmvc(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxRmvc>(s, box, [](BoxCursor& c, BoxRmvc& r) {
        mp4_ReadFullHeader(c, r);
        r.gestaltType = c.fourcc();
        r.val1 = c.u32();
        r.val2 = c.u32();
        r.checkType = c.u16();
        log_Debug("read box: \"rmvc\" gestaltType:%4.4s val1:0x%x val2:0x%x checkType:0x%x",
                  reinterpret_cast<const char*>(&r.gestaltType), r.val1, r.val2, r.checkType);
    });
}
