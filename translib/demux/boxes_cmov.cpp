// Readers of the compressed movie boxes. Compressed movie headers are recognised but not
// decompressed, so such a movie has no usable mvhd and fails to open.

#include "core/context.h"
#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/demux_log.h"

int MP4_ReadBox_cmov(ByteStream* s, Mp4Box* box) {
    std::unique_ptr<BoxCmov> record(new (std::nothrow) BoxCmov);
    if (!record) {
        logError("out of memory");
        return 0;
    }
    box->data = std::move(record);
    Mp4Box* parent = box->parent;
    if (!parent || (parent->type != ATOM_moov && parent->type != ATOM_foov)) {
        log_Warning("Read box: \"cmov\" box alone");
        return 1;
    }
    if (!MP4_ReadContainer(s, box)) return 0;
    BoxDcom* dcom = boxData<BoxDcom>(MP4_FindBox(box, "dcom"));
    BoxCmvd* cmvd = boxData<BoxCmvd>(MP4_FindBox(box, "cmvd"));
    if (dcom && cmvd && !cmvd->data.empty()) {
        if (dcom->algorithm == fourcc('z', 'l', 'i', 'b'))
            log_Debug("read box: \"cmov\" zlib unsupported");
        else
            log_Debug("read box: \"cmov\" compression algorithm : %4.4s not supported",
                      reinterpret_cast<const char*>(&dcom->algorithm));
    } else {
        log_Warning("read box: \"cmov\" incomplete");
    }
    return 1;
}

int MP4_ReadBox_dcom(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxDcom>(s, box, [](BoxCursor& c, BoxDcom& r) {
        r.algorithm = c.fourcc();
        log_Debug("read box: \"dcom\" compression algorithm : %4.4s",
                  reinterpret_cast<const char*>(&r.algorithm));
    });
}

int MP4_ReadBox_cmvd(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxCmvd>(s, box, [](BoxCursor& c, BoxCmvd& r) {
        r.uncompressedSize = c.u32();
        r.data = c.vec(c.left());
        r.compressed = true;
        log_Debug("read box: \"cmvd\" compressed data size %d", static_cast<int>(r.data.size()));
    });
}
