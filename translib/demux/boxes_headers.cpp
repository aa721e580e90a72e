// Readers of the file type box and the movie, track and media headers.

#include <string>

#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/demux_log.h"

namespace {

// Three 5-bit letters after a pad bit, each OR 0x60.
void unpackLanguage(uint16_t packed, char out[3]) {
    out[0] = static_cast<char>(((packed >> 10) & 0x1F) | 0x60);
    out[1] = static_cast<char>(((packed >> 5) & 0x1F) | 0x60);
    out[2] = static_cast<char>((packed & 0x1F) | 0x60);
}

uint64_t timeField(BoxCursor& c, uint8_t version) {
    return version ? c.u64() : c.u32();
}

}  // namespace

int MP4_ReadBox_ftyp(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxFtyp>(s, box, [](BoxCursor& c, BoxFtyp& r) {
        int64_t brands = (c.left() - 8) / 4;
        r.majorBrand = c.fourcc();
        r.minorVersion = c.u32();
        for (int64_t i = 0; i < brands; ++i) r.compatibleBrands.push_back(c.fourcc());
    });
}

int MP4_ReadBox_mvhd(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxMvhd>(s, box, [](BoxCursor& c, BoxMvhd& r) {
        mp4_ReadFullHeader(c, r);
        r.creationTime = timeField(c, r.version);
        r.modificationTime = timeField(c, r.version);
        r.timeScale = c.u32();
        r.duration = timeField(c, r.version);
        r.rate = c.u32();
        r.volume = c.u16();
        r.reserved1 = c.u16();
        for (uint32_t& v : r.reserved2) v = c.u32();
        for (uint32_t& v : r.matrix) v = c.u32();
        for (uint32_t& v : r.predefined) v = c.u32();
        r.nextTrackId = c.u32();
        std::string duration = r.timeScale ? mp4_FormatDate(r.duration / r.timeScale) : "";
        log_Debug(
            "read box: \"mvhd\" creation %s modification %s time scale %d duration %s rate %f "
            "volume %f next track id %d",
            mp4_FormatDate(r.creationTime).c_str(), mp4_FormatDate(r.modificationTime).c_str(),
            static_cast<int>(r.timeScale), duration.c_str(), r.rate / 65536.0, r.volume / 256.0,
            static_cast<int>(r.nextTrackId));
    });
}

int MP4_ReadBox_tkhd(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxTkhd>(s, box, [](BoxCursor& c, BoxTkhd& r) {
        mp4_ReadFullHeader(c, r);
        r.creationTime = timeField(c, r.version);
        r.modificationTime = timeField(c, r.version);
        r.trackId = c.u32();
        r.reserved = c.u32();
        r.duration = timeField(c, r.version);
        for (uint32_t& v : r.reserved2) v = c.u32();
        r.layer = static_cast<int16_t>(c.u16());
        r.predefined = static_cast<int16_t>(c.u16());
        r.volume = static_cast<int16_t>(c.u16());
        r.reserved3 = c.u16();
        for (uint32_t& v : r.matrix) v = c.u32();
        r.width = static_cast<int32_t>(c.u32());
        r.height = static_cast<int32_t>(c.u32());
        log_Debug(
            "read box: \"tkhd\" creation %s modification %s duration %s track ID %d layer %d "
            "volume %f width %f height %f",
            mp4_FormatDate(r.creationTime).c_str(), mp4_FormatDate(r.modificationTime).c_str(),
            mp4_FormatDate(r.duration).c_str(), static_cast<int>(r.trackId), r.layer,
            r.volume / 256.0, r.width / 65536.0, r.height / 65536.0);
    });
}

int MP4_ReadBox_mdhd(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxMdhd>(s, box, [](BoxCursor& c, BoxMdhd& r) {
        mp4_ReadFullHeader(c, r);
        r.creationTime = timeField(c, r.version);
        r.modificationTime = timeField(c, r.version);
        r.timeScale = c.u32();
        r.duration = timeField(c, r.version);
        unpackLanguage(c.u16(), r.language);
        r.predefined = c.u16();
        log_Debug(
            "read box: \"mdhd\" creation %s modification %s time scale %d duration %s "
            "language %c%c%c",
            mp4_FormatDate(r.creationTime).c_str(), mp4_FormatDate(r.modificationTime).c_str(),
            static_cast<int>(r.timeScale), mp4_FormatDate(r.duration).c_str(), r.language[0],
            r.language[1], r.language[2]);
    });
}

int MP4_ReadBox_hdlr(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxHdlr>(s, box, [](BoxCursor& c, BoxHdlr& r) {
        mp4_ReadFullHeader(c, r);
        r.predefined = c.u32();
        r.handlerType = c.fourcc();
        if (c.left() > 0) {
            r.name.assign(reinterpret_cast<const char*>(c.data()), static_cast<size_t>(c.left()));
            c.skip(c.left());
        }
        log_Debug("read box: \"hdlr\" hanler type %4.4s name %s",
                  reinterpret_cast<const char*>(&r.handlerType), r.name.c_str());
    });
}

int MP4_ReadBox_vmhd(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxVmhd>(s, box, [](BoxCursor& c, BoxVmhd& r) {
        mp4_ReadFullHeader(c, r);
        r.graphicsMode = c.u16();
        for (uint16_t& v : r.opcolor) v = c.u16();
        log_Debug("read box: \"vmhd\" graphics-mode %d opcolor (%d, %d, %d)", r.graphicsMode,
                  r.opcolor[0], r.opcolor[1], r.opcolor[2]);
    });
}

int MP4_ReadBox_smhd(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxSmhd>(s, box, [](BoxCursor& c, BoxSmhd& r) {
        mp4_ReadFullHeader(c, r);
        r.balance = static_cast<int16_t>(c.u16());
        r.reserved = c.u16();
        log_Debug("read box: \"smhd\" balance %f", r.balance / 256.0);
    });
}

int MP4_ReadBox_hmhd(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxHmhd>(s, box, [](BoxCursor& c, BoxHmhd& r) {
        mp4_ReadFullHeader(c, r);
        r.maxPduSize = c.u16();
        r.avgPduSize = c.u16();
        r.maxBitrate = c.u32();
        r.avgBitrate = c.u32();
        r.slidingAvgBitrate = c.u32();
        log_Debug("read box: \"hmhd\" maxPDU-size %d avgPDU-size %d max-bitrate %d avg-bitrate %d",
                  r.maxPduSize, r.avgPduSize, static_cast<int>(r.maxBitrate),
                  static_cast<int>(r.avgBitrate));
    });
}
