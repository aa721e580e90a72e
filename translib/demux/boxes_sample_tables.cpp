// Readers of the sample description box and the sample tables. Entry loops keep only the
// entries the box really holds: a declared count larger than that never allocates more.

#include <cinttypes>

#include "core/context.h"
#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/byte_stream.h"
#include "demux/demux_log.h"

namespace {

// How many entries of `entryBytes` each of a declared `count` the cursor still holds.
uint32_t fittingEntries(const BoxCursor& c, uint32_t count, int64_t entryBytes) {
    int64_t fit = c.left() > 0 ? c.left() / entryBytes : 0;
    return static_cast<int64_t>(count) < fit ? count : static_cast<uint32_t>(fit);
}

int readPairTable(ByteStream* s, Mp4Box* box, const char* name, bool isStts) {
    return mp4_ReadRecordBox<BoxPairTable>(s, box, [&](BoxCursor& c, BoxPairTable& r) {
        mp4_ReadFullHeader(c, r);
        uint32_t declared = c.u32();
        uint32_t n = fittingEntries(c, declared, 8);
        r.first.reserve(n);
        r.second.reserve(n);
        for (uint32_t i = 0; i < n; ++i) {
            uint32_t first = c.u32();
            uint32_t second = c.u32();
            if (isStts) {
                // A negative delta ends the table and fails the job after opening.
                if (second & 0x80000000u) {
                    g_context.success = 0;
                    break;
                }
                if (second == 0) second = 1;
            }
            r.first.push_back(first);
            r.second.push_back(second);
        }
        r.entryCount = static_cast<uint32_t>(r.first.size());
        log_Debug("read box: \"%s\" entry-count %d", name, static_cast<int>(declared));
    });
}

}  // namespace

int MP4_ReadBox_stsd(ByteStream* s, Mp4Box* box) {
    return mp4_ReadEntryList<BoxStsd>(s, box, "stsd");
}

int MP4_ReadBox_stts(ByteStream* s, Mp4Box* box) {
    return readPairTable(s, box, "stts", true);
}
int MP4_ReadBox_ctts(ByteStream* s, Mp4Box* box) {
    return readPairTable(s, box, "ctts", false);
}
int MP4_ReadBox_stsh(ByteStream* s, Mp4Box* box) {
    return readPairTable(s, box, "stsh", false);
}

int MP4_ReadBox_stsc(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxStsc>(s, box, [](BoxCursor& c, BoxStsc& r) {
        mp4_ReadFullHeader(c, r);
        uint32_t declared = c.u32();
        r.entryCount = fittingEntries(c, declared, 12);
        r.firstChunk.resize(r.entryCount);
        r.samplesPerChunk.resize(r.entryCount);
        r.sampleDescriptionIndex.resize(r.entryCount);
        for (uint32_t i = 0; i < r.entryCount; ++i) {
            r.firstChunk[i] = c.u32();
            r.samplesPerChunk[i] = c.u32();
            r.sampleDescriptionIndex[i] = c.u32();
        }
        log_Debug("read box: \"stsc\" entry-count %d", static_cast<int>(declared));
    });
}

int MP4_ReadBox_stsz(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxStsz>(s, box, [](BoxCursor& c, BoxStsz& r) {
        mp4_ReadFullHeader(c, r);
        r.sampleSize = c.u32();
        r.sampleCount = c.u32();
        if (r.sampleSize == 0) {
            uint32_t n = fittingEntries(c, r.sampleCount, 4);
            r.entrySize.resize(n);
            for (uint32_t i = 0; i < n; ++i) r.entrySize[i] = c.u32();
        }
        log_Debug("read box: \"stsz\" sample-size %d sample-count %d",
                  static_cast<int>(r.sampleSize), static_cast<int>(r.sampleCount));
    });
}

int MP4_ReadBox_stco_co64(ByteStream* s, Mp4Box* box) {
    const bool wide = box->type == fourcc('c', 'o', '6', '4');
    return mp4_ReadRecordBox<BoxStco>(s, box, [wide](BoxCursor& c, BoxStco& r) {
        mp4_ReadFullHeader(c, r);
        uint32_t declared = c.u32();
        r.entryCount = fittingEntries(c, declared, wide ? 8 : 4);
        r.chunkOffset.resize(r.entryCount);
        for (uint32_t i = 0; i < r.entryCount; ++i) r.chunkOffset[i] = wide ? c.u64() : c.u32();
        log_Debug("read box: \"co64\" entry-count %d", static_cast<int>(declared));
    });
}

int MP4_ReadBox_stss(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxStss>(s, box, [](BoxCursor& c, BoxStss& r) {
        mp4_ReadFullHeader(c, r);
        uint32_t declared = c.u32();
        r.entryCount = fittingEntries(c, declared, 4);
        r.sampleNumber.resize(r.entryCount);
        for (uint32_t i = 0; i < r.entryCount; ++i) r.sampleNumber[i] = c.u32() - 1;
        log_Debug("read box: \"stss\" entry-count %d", static_cast<int>(declared));
    });
}

int MP4_ReadBox_stdp(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxStdp>(s, box, [](BoxCursor& c, BoxStdp& r) {
        mp4_ReadFullHeader(c, r);
        int64_t count = c.left() > 0 ? c.left() / 2 : 0;
        r.priority.resize(static_cast<size_t>(count));
        for (int64_t i = 0; i < count; ++i) r.priority[static_cast<size_t>(i)] = c.u16();
        log_Debug("read box: \"stdp\" entry-count %" PRId64, count);
    });
}

int MP4_ReadBox_padb(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxPadb>(s, box, [](BoxCursor& c, BoxPadb& r) {
        mp4_ReadFullHeader(c, r);
        r.sampleCount = c.u32();
        uint32_t pairs = static_cast<uint32_t>((static_cast<uint64_t>(r.sampleCount) + 1) / 2);
        uint32_t n = fittingEntries(c, pairs, 1);
        r.pad1.resize(n);
        r.pad2.resize(n);
        for (uint32_t i = 0; i < n; ++i) {
            uint8_t byte = c.u8();
            r.pad1[i] = (byte >> 4) & 0x7;
            r.pad2[i] = byte & 0x7;
        }
        // Pairs the box does not hold read as zero.
        if (n < pairs) c.skip(pairs - n);
    });
}
