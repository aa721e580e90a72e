// Readers of the edit list and the copyright notice.

#include <cinttypes>

#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/demux_log.h"

int MP4_ReadBox_elst(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxElst>(s, box, [](BoxCursor& c, BoxElst& r) {
        mp4_ReadFullHeader(c, r);
        uint32_t declared = c.u32();
        const int64_t entryBytes = r.version ? 20 : 12;
        int64_t fit = c.left() > 0 ? c.left() / entryBytes : 0;
        r.entryCount = static_cast<int64_t>(declared) < fit ? declared : static_cast<uint32_t>(fit);
        r.segmentDuration.resize(r.entryCount);
        r.mediaTime.resize(r.entryCount);
        r.mediaRateInteger.resize(r.entryCount);
        r.mediaRateFraction.resize(r.entryCount);
        for (uint32_t i = 0; i < r.entryCount; ++i) {
            if (r.version) {
                r.segmentDuration[i] = c.u64();
                r.mediaTime[i] = static_cast<int64_t>(c.u64());
            } else {
                r.segmentDuration[i] = c.u32();
                r.mediaTime[i] = static_cast<int32_t>(c.u32());
            }
            r.mediaRateInteger[i] = static_cast<int16_t>(c.u16());
            r.mediaRateFraction[i] = static_cast<int16_t>(c.u16());
        }
        // Entries the box does not hold would read as zero; they are not kept.
        if (declared > r.entryCount) c.skip((declared - r.entryCount) * entryBytes);
        log_Debug("read box: \"elst\" entry-count %" PRId64, static_cast<int64_t>(declared));
    });
}

int MP4_ReadBox_cprt(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxCprt>(s, box, [](BoxCursor& c, BoxCprt& r) {
        mp4_ReadFullHeader(c, r);
        uint16_t packed = c.u16();
        r.language[0] = static_cast<char>(((packed >> 10) & 0x1F) | 0x60);
        r.language[1] = static_cast<char>(((packed >> 5) & 0x1F) | 0x60);
        r.language[2] = static_cast<char>((packed & 0x1F) | 0x60);
        r.hasNotice = mp4_ReadText(&c, &r.notice);
        log_Debug("read box: \"cprt\" language %c%c%c notice %s", r.language[0], r.language[1],
                  r.language[2], r.hasNotice ? r.notice.c_str() : "(null)");
    });
}
