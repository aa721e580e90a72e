// Readers of the sound and video sample entries of the sample description box. Both keep
// the QuickTime description (every byte after the data reference index) and read the
// codec configuration boxes that follow their fixed fields as children.

#include <cinttypes>

#include "core/context.h"
#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/byte_stream.h"
#include "demux/demux_log.h"

namespace {

// Fixed fields of a sound entry up to the sample rate, and the version 1 packet fields.
constexpr int kSoundFixedBytes = 28;
constexpr int kSoundPacketBytes = 16;
// Fixed fields of a video entry.
constexpr int kVideoFixedBytes = 78;

void readChildrenAt(ByteStream* s, Mp4Box* box, int offsetAfterHeader) {
    int64_t first =
        static_cast<int64_t>(box->position) + mp4_BoxHeaderSize(box) + offsetAfterHeader;
    if (bs_Seek(s, first) == 0) MP4_ReadBoxContainerChildren(s, box);
}

}  // namespace

int MP4_ReadBox_sample_soun(ByteStream* s, Mp4Box* box) {
    int childOffset = -1;
    if (!mp4_ReadRecordBox<BoxSoundEntry>(s, box, [&](BoxCursor& c, BoxSoundEntry& r) {
            if (c.left() < kSoundFixedBytes) {
                c.skip(kSoundFixedBytes);  // reported as "Not enough data"
                return;
            }
            c.bytes(r.reserved, 6);
            r.dataReferenceIndex = c.u16();
            if (c.left() > 0) r.qtDescription.assign(c.data(), c.data() + c.left());
            r.version = c.u16();
            r.revisionLevel = c.u16();
            r.vendor = c.u32();
            r.channelCount = c.u16();
            r.sampleSize = c.u16();
            r.predefined = c.u16();
            r.reserved2 = c.u16();
            r.sampleRateHi = c.u16();
            r.sampleRateLo = c.u16();
            if (r.version == 1 && c.left() >= kSoundPacketBytes) {
                r.samplesPerPacket = c.u32();
                r.bytesPerPacket = c.u32();
                r.bytesPerFrame = c.u32();
                r.bytesPerSample = c.u32();
                log_Debug(
                    "read box: \"soun\" qt3+ sample/packet=%d bytes/packet=%d bytes/frame=%d "
                    "bytes/sample=%d",
                    static_cast<int>(r.samplesPerPacket), static_cast<int>(r.bytesPerPacket),
                    static_cast<int>(r.bytesPerFrame), static_cast<int>(r.bytesPerSample));
                childOffset = kSoundFixedBytes + kSoundPacketBytes;
            } else {
                log_Debug("read box: \"soun\" mp4 or qt1/2 (rest=%" PRId64 ")", c.left());
                childOffset = kSoundFixedBytes;
            }
        }))
        return 0;
    if (childOffset < 0) return 1;  // too short for its fixed fields
    if (box->type == ATOM_drms) logError("discarding drms");
    readChildrenAt(s, box, childOffset);
    const BoxSoundEntry* r = boxData<BoxSoundEntry>(box);
    log_Debug("read box: \"soun\" in stsd channel %d sample size %d sampl rate %f", r->channelCount,
              r->sampleSize, r->sampleRateHi + r->sampleRateLo / 65536.0);
    return 1;
}

int MP4_ReadBox_sample_vide(ByteStream* s, Mp4Box* box) {
    if (!mp4_ReadRecordBox<BoxVideoEntry>(s, box, [](BoxCursor& c, BoxVideoEntry& r) {
            c.bytes(r.reserved, 6);
            r.dataReferenceIndex = c.u16();
            if (c.left() > 0) r.qtImageDescription.assign(c.data(), c.data() + c.left());
            r.version = c.u16();
            r.revisionLevel = c.u16();
            r.vendor = c.u32();
            r.temporalQuality = c.u32();
            r.spatialQuality = c.u32();
            r.width = c.u16();
            r.height = c.u16();
            r.horizResolution = c.u32();
            r.vertResolution = c.u32();
            r.dataSize = c.u32();
            r.frameCount = c.u16();
            c.bytes(r.compressorName, 32);
            r.depth = c.u16();
            r.colorTableId = c.u16();
        }))
        return 0;
    readChildrenAt(s, box, kVideoFixedBytes);
    const BoxVideoEntry* r = boxData<BoxVideoEntry>(box);
    log_Debug("read box: \"vide\" in stsd %dx%d depth %d", r->width, r->height, r->depth);
    return 1;
}
