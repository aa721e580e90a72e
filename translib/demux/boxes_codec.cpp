// Readers of the codec configuration boxes: esds (MPEG-4 descriptors), avcC, d263, damr.

#include <cstdio>
#include <cstring>

#include "demux/box_cursor.h"
#include "demux/box_readers.h"
#include "demux/box_records.h"
#include "demux/demux_log.h"

namespace {

// MPEG-4 descriptor tags.
constexpr uint8_t kEsDescrTag = 0x03;
constexpr uint8_t kDecoderConfigDescrTag = 0x04;
constexpr uint8_t kDecSpecificDescrTag = 0x05;

// A descriptor length: seven bits per byte, most significant group first, while the top
// bit is set. Bytes beyond the box read as zero and so end it.
uint32_t readDescriptorLength(BoxCursor& c) {
    uint32_t length = 0;
    uint8_t byte;
    do {
        byte = c.u8();
        length = length << 7 | (byte & 0x7F);
    } while (byte & 0x80);
    return length;
}

void fourccText(uint32_t code, char out[5]) {
    std::memcpy(out, &code, 4);
    out[4] = '\0';
}

}  // namespace

int MP4_ReadBox_esds(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxEsds>(s, box, [](BoxCursor& c, BoxEsds& r) {
        mp4_ReadFullHeader(c, r);
        uint8_t tag = c.u8();
        if (tag == kEsDescrTag) {
            uint32_t length = readDescriptorLength(c);
            log_Debug("found esds MPEG4ESDescr (%dBytes)", static_cast<int>(length));
            r.esId = c.u16();
            uint8_t flags = c.u8();
            r.streamDependence = flags & 0x80;
            r.urlFlag = flags & 0x40;
            r.ocrStream = flags & 0x20;
            r.streamPriority = flags & 0x1F;
            if (r.streamDependence) r.dependOnEsId = c.u16();
            if (r.urlFlag) {
                uint8_t urlLength = c.u8();
                std::vector<uint8_t> url = c.vec(urlLength);
                r.url.assign(url.begin(), url.end());
                r.hasUrl = true;
            }
            if (r.ocrStream) r.ocrEsId = c.u16();
            tag = c.u8();
        }
        if (tag == kDecoderConfigDescrTag) {
            uint32_t length = readDescriptorLength(c);
            log_Debug("found esds MP4DecConfigDescr (%dBytes)", static_cast<int>(length));
            r.decConfig.reset(new DecoderConfig);
            DecoderConfig& d = *r.decConfig;
            d.objectTypeIndication = c.u8();
            uint8_t byte = c.u8();
            d.streamType = byte >> 2;
            d.upStream = byte & 0x02;
            d.bufferSize = c.u24();
            d.maxBitrate = c.u32();
            d.avgBitrate = c.u32();
            if (c.u8() == kDecSpecificDescrTag) {
                uint32_t dsiLength = readDescriptorLength(c);
                log_Debug("found esds MP4DecSpecificDescr (%dBytes)", static_cast<int>(dsiLength));
                // Only the bytes the box really holds are kept.
                d.decoderSpecificInfo = c.vec(dsiLength);
            }
        }
    });
}

int MP4_ReadBox_avcC(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxAvcC>(s, box, [](BoxCursor& c, BoxAvcC& r) {
        if (c.left() > 0) r.raw.assign(c.data(), c.data() + c.left());
        r.version = c.u8();
        r.profile = c.u8();
        r.profileCompatibility = c.u8();
        r.level = c.u8();
        uint8_t byte = c.u8();
        r.reserved1 = byte >> 2;
        r.lengthSize = static_cast<uint8_t>((byte & 0x03) + 1);
        byte = c.u8();
        r.reserved2 = byte >> 5;
        r.spsCount = byte & 0x1F;
        for (int i = 0; i < r.spsCount; ++i) r.sps.push_back(c.vec(c.u16()));
        r.ppsCount = c.u8();
        for (int i = 0; i < r.ppsCount; ++i) r.pps.push_back(c.vec(c.u16()));
        log_Debug(
            "read box: \"avcC\" version=%d profile=0x%x level=0x%x lengh size=%d sps=%d pps=%d",
            r.version, r.profile, r.level, r.lengthSize, r.spsCount, r.ppsCount);
        for (int i = 0; i < r.spsCount; ++i)
            log_Debug("         - sps[%d] length=%d", i, static_cast<int>(r.sps[i].size()));
        for (int i = 0; i < r.ppsCount; ++i)
            log_Debug("         - pps[%d] length=%d", i, static_cast<int>(r.pps[i].size()));
    });
}

int MP4_ReadBox_d263(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxD263>(s, box, [](BoxCursor& c, BoxD263& r) {
        r.vendor = c.fourcc();
        r.decoderVersion = c.u8();
        r.level = c.u8();
        r.profile = c.u8();
        char vendor[5];
        fourccText(r.vendor, vendor);
        std::printf(
            "parsing box of type 'd263':\n vendor: %s ; decoder version: %d ; H263: profile %d @ "
            "level %d.\n",
            vendor, r.decoderVersion, r.profile, r.level);
    });
}

int MP4_ReadBox_damr(ByteStream* s, Mp4Box* box) {
    return mp4_ReadRecordBox<BoxDamr>(s, box, [](BoxCursor& c, BoxDamr& r) {
        r.vendor = c.fourcc();
        r.decoderVersion = c.u8();
        r.modeSet = c.u16();
        r.modeChangePeriod = c.u8();
        r.framesPerSample = c.u8();
        // The highest mode of the set.
        int mode = 16;
        for (int m = 0; m < 16; ++m) {
            if ((r.modeSet >> m) == 1) {
                mode = m;
                break;
            }
        }
        char vendor[5];
        fourccText(r.vendor, vendor);
        std::printf(
            "parsing box of type 'damr':\n vendor: %s ; decoder version: %d ; AMR: mode=%d, "
            "mode_change_period=%d, frames_per_sample=%d.\n",
            vendor, r.decoderVersion, mode, r.modeChangePeriod, r.framesPerSample);
    });
}
