// Track setup: stream kind and descriptor, chunk table with time runs, the source video
// statistics, and the stream parameters of an mp4a track.

#include <cinttypes>
#include <cstring>

#include "core/context.h"
#include "demux/avc_annexb.h"
#include "demux/box_records.h"
#include "demux/demux.h"
#include "demux/demux_log.h"
#include "demux/track.h"

namespace {

constexpr uint32_t ATOM_vide = fourcc('v', 'i', 'd', 'e');
constexpr uint32_t ATOM_soun = fourcc('s', 'o', 'u', 'n');
constexpr uint32_t ATOM_avc1 = fourcc('a', 'v', 'c', '1');

// Aspect ratios are width/height scaled by this.
constexpr int64_t kAspectScale = 432000;
// Sampling frequencies of the AAC sampling-frequency indexes 0 to 11.
constexpr uint32_t kAacRates[12] = {96000, 88200, 64000, 48000, 44100, 32000,
                                    24000, 22050, 16000, 12000, 11025, 8000};

// Codec of an esds object type indication; 0 when unknown.
uint32_t codecOfObjectType(uint8_t oti) {
    if (oti == 0x20) return fourcc('m', 'p', '4', 'v');
    if (oti == 0x40) return fourcc('m', 'p', '4', 'a');
    if (oti >= 0x60 && oti <= 0x65) return fourcc('m', 'p', 'g', 'v');
    if (oti >= 0x66 && oti <= 0x68) return fourcc('m', 'p', '4', 'a');
    if (oti == 0x69) return fourcc('m', 'p', 'g', 'a');
    if (oti == 0x6A) return fourcc('m', 'p', 'g', 'v');
    if (oti == 0x6B) return fourcc('m', 'p', 'g', 'a');
    if (oti == 0x6C) return fourcc('j', 'p', 'e', 'g');
    return 0;
}

void setExtra(EsDescriptor* es, const uint8_t* data, size_t size) {
    std::free(es->extra);
    es->extra = nullptr;
    es->extraSize = 0;
    if (size == 0 || size > INT32_MAX) return;
    es->extra = static_cast<uint8_t*>(std::malloc(size));
    if (!es->extra) return;
    std::memcpy(es->extra, data, size);
    es->extraSize = static_cast<int32_t>(size);
}

// Most significant bit first, zeros past the end.
struct BitReader {
    const uint8_t* p;
    uint32_t size;
    uint32_t bit = 0;
    uint32_t read(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i, ++bit) {
            uint32_t byte = bit / 8;
            uint32_t b = byte < size ? (p[byte] >> (7 - bit % 8)) & 1 : 0;
            v = v << 1 | b;
        }
        return v;
    }
};

bool isVideo(const Mp4Track* t) {
    return t->descriptor.category == VIDEO_ES;
}
bool isAudio(const Mp4Track* t) {
    return t->descriptor.category == AUDIO_ES;
}

}  // namespace

int64_t mp4_Rescale(int64_t value, uint64_t mul, uint64_t div) {
    if (div == 0) return 0;
    __int128 r =
        static_cast<__int128>(value) * static_cast<__int128>(mul) / static_cast<__int128>(div);
    if (r > INT64_MAX) return INT64_MAX;
    if (r < INT64_MIN) return INT64_MIN;
    return static_cast<int64_t>(r);
}

int64_t mp4_MovieTime(const Mp4Demux* demux) {
    uint64_t t = demux->movieTime > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : demux->movieTime;
    return mp4_Rescale(static_cast<int64_t>(t), 1000000, demux->movieTimeScale);
}

AacTrackParams mp4_AacParamsOf(const uint8_t* config, int32_t length) {
    // Object type (5 bits), sampling-frequency index (4), channel configuration (4).
    BitReader bits{config, static_cast<uint32_t>(config && length > 0 ? length % 256 : 0)};
    bits.read(5);
    const uint32_t index = bits.read(4);
    AacTrackParams params;
    params.sfIndex = static_cast<uint8_t>(index);
    params.rate = index < 12 ? kAacRates[index] : 0;
    params.channels = bits.read(4);
    return params;
}

void mp4_TrackBuild(Mp4Demux* demux, Mp4Track* track, Mp4Box* trak) {
    Mp4Box* tkhdBox = MP4_FindBox(trak, "tkhd");
    MP4_FindBox(trak, "tref");  // track references are not used
    track->usable = false;
    track->enabled = false;
    track->selected = false;
    es_descriptor_Init(&track->descriptor, UNKNOWN_ES, 0);

    BoxTkhd* tkhd = boxData<BoxTkhd>(tkhdBox);
    if (!tkhd) return;
    track->enabled = tkhd->flags & 1;
    track->trackId = tkhd->trackId;
    track->width = tkhd->width / 65536;
    track->height = tkhd->height / 65536;

    BoxMdhd* mdhd = boxData<BoxMdhd>(MP4_FindBox(trak, "mdia/mdhd"));
    BoxHdlr* hdlr = boxData<BoxHdlr>(MP4_FindBox(trak, "mdia/hdlr"));
    if (!mdhd || !hdlr) return;
    track->timeScale = mdhd->timeScale;

    if (hdlr->handlerType == ATOM_vide && MP4_FindBox(trak, "mdia/minf/vmhd"))
        track->descriptor.category = VIDEO_ES;
    else if (hdlr->handlerType == ATOM_soun && MP4_FindBox(trak, "mdia/minf/smhd"))
        track->descriptor.category = AUDIO_ES;
    else
        return;

    track->editIndex = 0;
    track->editStart = 0;
    track->editList = MP4_FindBox(trak, "edts/elst");
    if (BoxElst* elst = boxData<BoxElst>(track->editList)) {
        log_Warning("elst box found");
        for (uint32_t i = 0; i < elst->entryCount; ++i) {
            int64_t duration =
                mp4_Rescale(static_cast<int64_t>(elst->segmentDuration[i] & INT64_MAX), 1000,
                            demux->movieTimeScale);
            int64_t media = elst->mediaTime[i] < 0
                                ? -1
                                : mp4_Rescale(elst->mediaTime[i], 1000, track->timeScale);
            log_Debug("   - [%d] duration=%" PRId64 "ms media time=%" PRId64 "ms) rate=%d.%d",
                      static_cast<int>(i), duration, media, elst->mediaRateInteger[i],
                      elst->mediaRateFraction[i]);
        }
    }

    track->sampleTable = MP4_FindBox(trak, "mdia/minf/stbl");
    track->descriptions = MP4_FindBox(trak, "mdia/minf/stbl/stsd");
    if (!track->sampleTable || !track->descriptions) return;
    track->isProtected = MP4_FindBox(track->descriptions, "drms") != nullptr;
    track->protectionState = nullptr;

    if (isAudio(track)) {
        BoxSoundEntry* entry = boxData<BoxSoundEntry>(MP4_FindBox(track->descriptions, "[0]"));
        if (entry && entry->version == 0 && track->timeScale != entry->sampleRateHi) {
            log_Warning("i_timescale (%" PRIu64
                        ") != i_sampleratehi (%u) with qt_version == 0\n"
                        "Making both equal. (report any problem)",
                        track->timeScale, entry->sampleRateHi);
            if (entry->sampleRateHi != 0)
                track->timeScale = entry->sampleRateHi;
            else
                entry->sampleRateHi = static_cast<uint16_t>(track->timeScale);
        }
    }
    // Decoding times divide by the time scale: a track without one cannot be walked.
    if (track->timeScale == 0) return;

    if (!mp4_TrackBuildChunks(demux, track) || !mp4_TrackBuildSamples(demux, track)) return;

    track->chunk = 0;
    track->sample = 0;
    if (mp4_TrackMakeEs(demux, track, 0, &track->output) != 0) {
        logError("cannot create es for track[Id 0x%x]", track->trackId);
        return;
    }
    track->usable = true;
}

bool mp4_TrackBuildChunks(Mp4Demux*, Mp4Track* track) {
    BoxStco* stco = boxData<BoxStco>(MP4_FindBox(track->sampleTable, "stco"));
    if (!stco) stco = boxData<BoxStco>(MP4_FindBox(track->sampleTable, "co64"));
    BoxStsc* stsc = boxData<BoxStsc>(MP4_FindBox(track->sampleTable, "stsc"));
    if (!stco || !stsc) return false;

    track->chunkCount = stco->entryCount;
    if (track->chunkCount == 0) {
        log_Warning("no chunk defined");
        return false;
    }
    track->chunks.assign(track->chunkCount, Mp4Chunk());
    for (uint32_t i = 0; i < track->chunkCount; ++i) track->chunks[i].offset = stco->chunkOffset[i];

    if (stsc->entryCount == 0) {
        log_Warning("cannot read chunk table or table empty");
        return false;
    }
    // From the last entry to the first: each covers the chunks from its first chunk up to
    // where the entry after it starts, never past the table.
    uint32_t last = track->chunkCount;
    for (uint32_t e = stsc->entryCount; e-- > 0;) {
        uint32_t start = stsc->firstChunk[e] - 1;
        uint32_t end = last < track->chunkCount ? last : track->chunkCount;
        for (uint32_t k = start; k < end; ++k) {
            track->chunks[k].sampleCount = stsc->samplesPerChunk[e];
            track->chunks[k].descriptionIndex = stsc->sampleDescriptionIndex[e];
        }
        last = start;
    }
    // First samples follow in BuildSamples, once the sample count is known.
    log_Debug("track[Id 0x%x] read %d chunk", track->trackId, static_cast<int>(track->chunkCount));
    return true;
}

bool mp4_TrackBuildSamples(Mp4Demux*, Mp4Track* track) {
    ConversionContext& c = g_context;
    BoxPairTable* stts = boxData<BoxPairTable>(MP4_FindBox(track->sampleTable, "stts"));
    BoxStsz* stsz = boxData<BoxStsz>(MP4_FindBox(track->sampleTable, "stsz"));
    if (!stts || !stsz) {
        log_Warning("cannot read sample table");
        return false;
    }
    track->constantSize = stsz->sampleSize;
    if (track->constantSize == 0) {
        // Only the sizes the box really holds are samples.
        track->sizes = stsz->entrySize;
        track->sampleCount = static_cast<uint32_t>(track->sizes.size());
        if (isVideo(track))
            for (uint32_t size : track->sizes) c.videoTotalBytes += size;
    } else {
        track->sampleCount = stsz->sampleCount;
    }

    // First samples; chunks never hold more samples than the track has, so that sample
    // numbers stay in order and within the sample count.
    uint32_t total = 0;
    for (Mp4Chunk& chunk : track->chunks) {
        chunk.firstSample = total;
        uint32_t room = track->sampleCount - total;
        if (chunk.sampleCount > room) chunk.sampleCount = room;
        total += chunk.sampleCount;
    }

    // Time runs: the piece of the stts table that covers each chunk. A table that covers
    // fewer samples than the chunks leaves the rest of them without runs.
    uint32_t entry = 0, used = 0;
    uint64_t lastDts = 0;
    for (Mp4Chunk& chunk : track->chunks) {
        chunk.firstDts = lastDts;
        uint32_t toCover = chunk.sampleCount;
        while (toCover > 0 && entry < stts->entryCount) {
            uint32_t n = stts->first[entry] - used;
            if (n > toCover) n = toCover;
            chunk.runCount.push_back(n);
            chunk.runDelta.push_back(stts->second[entry]);
            lastDts += static_cast<uint64_t>(n) * stts->second[entry];
            used += n;
            toCover -= n;
            if (used >= stts->first[entry]) {
                ++entry;
                used = 0;
            }
        }
    }
    log_Debug("track[Id 0x%x] read %d samples length:%" PRId64 "s", track->trackId,
              static_cast<int>(track->sampleCount),
              static_cast<int64_t>(lastDts / track->timeScale));

    if (isVideo(track)) {
        uint64_t seconds = lastDts / track->timeScale;
        if (seconds == 0) {
            // The average frame rate is counted in whole seconds of the track.
            logError("track[Id 0x%x] lasts less than one second, its frame rate is unknown",
                     track->trackId);
            return false;
        }
        int64_t bits = static_cast<int32_t>(c.videoTotalBytes * 8u);
        c.videoBitRate = static_cast<uint32_t>(
            bits / static_cast<int64_t>(seconds > INT64_MAX ? INT64_MAX : seconds));
        const Mp4Chunk& first = track->chunks[0];
        uint32_t delta = first.runDelta.empty() ? 0 : first.runDelta[0];
        c.videoFrameRate = delta ? static_cast<uint32_t>(track->timeScale / delta) : 0;
        double exact = static_cast<double>(track->sampleCount) / static_cast<double>(seconds);
        double rounded = exact + 0.5;
        c.videoAverageFrameRate =
            rounded >= 4294967295.0 ? UINT32_MAX : static_cast<uint32_t>(rounded);
        c.frameRateDeviation = static_cast<float>(exact - c.videoAverageFrameRate);
    }
    return true;
}

int mp4_TrackMakeEs(Mp4Demux* demux, Mp4Track* track, uint32_t chunkIndex, EsOutStream** out) {
    *out = nullptr;
    if (chunkIndex >= track->chunkCount) return -1;
    uint32_t index = track->chunks[chunkIndex].descriptionIndex;
    if (index == 0) {
        log_Warning("invalid SampleEntry index (track[Id 0x%x])", track->trackId);
        return -1;
    }
    Mp4Box* entry = MP4_FindBox(track->descriptions, "[%u]", index - 1);
    BoxSoundEntry* sound = boxData<BoxSoundEntry>(entry);
    BoxVideoEntry* video = boxData<BoxVideoEntry>(entry);
    if ((isAudio(track) && !sound) || (isVideo(track) && !video)) {
        log_Warning("cannot find SampleEntry (track[Id 0x%x])", track->trackId);
        return -1;
    }
    track->sampleEntry = entry;
    track->nalLengthSize = 0;

    EsDescriptor& es = track->descriptor;
    int32_t category = es.category;
    es_descriptor_Clean(&es);
    es_descriptor_Init(&es, category, 0);

    // Packed sound: QuickTime entries of version 0 get the packet layout of their codec.
    if (sound && track->constantSize == 1) {
        struct Packing {
            uint32_t type, samplesPerPacket, bytesPerPacket, bytesPerFrameMul, bytesPerSample;
        };
        static const Packing kPacking[] = {
            {fourcc('M', 'A', 'C', '3'), 6, 2, 2, 2},
            {fourcc('i', 'm', 'a', '4'), 64, 34, 34, 2},
            {fourcc('M', 'A', 'C', '6'), 12, 2, 2, 2},
        };
        if (sound->version == 0) {
            for (const Packing& p : kPacking) {
                if (entry->type != p.type) continue;
                sound->version = 1;
                sound->samplesPerPacket = p.samplesPerPacket;
                sound->bytesPerPacket = p.bytesPerPacket;
                sound->bytesPerFrame = p.bytesPerFrameMul * sound->channelCount;
                sound->bytesPerSample = p.bytesPerSample;
            }
        }
        if (sound->version == 1 && sound->samplesPerPacket == 0) sound->version = 0;
    }

    uint32_t codec = entry->type;
    if (codec == fourcc('r', 'a', 'w', ' '))
        codec = fourcc('a', 'r', 'a', 'w');
    else if (codec == fourcc('s', '2', '6', '3'))
        codec = fourcc('h', '2', '6', '3');
    else if (codec == fourcc('.', 'm', 'p', '3') || codec == fourcc('m', 's', '\0', '\x55'))
        codec = fourcc('m', 'p', 'g', 'a');
    es.codec = codec;

    BoxEsds* esds = boxData<BoxEsds>(MP4_FindBox(entry, "esds"));
    if (!esds) esds = boxData<BoxEsds>(MP4_FindBox(entry, "wave/esds"));
    if (esds && esds->decConfig) {
        const DecoderConfig& d = *esds->decConfig;
        uint32_t mapped = codecOfObjectType(d.objectTypeIndication);
        if (mapped)
            es.codec = mapped;
        else
            log_Warning("unknown objectTypeIndication(0x%x) (Track[ID 0x%x])",
                        d.objectTypeIndication, track->trackId);
        setExtra(&es, d.decoderSpecificInfo.data(), d.decoderSpecificInfo.size());
    } else {
        switch (entry->type) {
            case fourcc('S', 'V', 'Q', '1'):
            case fourcc('S', 'V', 'Q', '3'):
            case fourcc('3', 'I', 'V', '1'):
            case fourcc('V', 'P', '3', '1'):
            case fourcc('Z', 'y', 'G', 'o'):
                if (video)
                    setExtra(&es, video->qtImageDescription.data(),
                             video->qtImageDescription.size());
                break;
            case ATOM_avc1: {
                BoxAvcC* avcC = boxData<BoxAvcC>(MP4_FindBox(entry, "avcC"));
                if (avcC) {
                    log_Debug("avcC: size=%d", static_cast<int>(avcC->raw.size()));
                    // The decoder reads a plain byte stream: parameter sets first.
                    const std::vector<uint8_t> sets = mp4_AvcParameterSets(*avcC);
                    setExtra(&es, sets.data(), sets.size());
                    es.packetized = false;
                    track->nalLengthSize = avcC->lengthSize;
                } else {
                    logError("missing avcC");
                }
                break;
            }
            case fourcc('Q', 'D', 'M', '2'):
            case fourcc('Q', 'D', 'M', 'C'):
            case fourcc('Q', 'c', 'l', 'p'):
            case ATOM_samr:
                if (sound) setExtra(&es, sound->qtDescription.data(), sound->qtDescription.size());
                break;
            default:
                break;
        }
    }

    if (video) {
        es.video.width = static_cast<int16_t>(video->width);
        es.video.height = static_cast<int16_t>(video->height);
        if (es.video.width == 0) es.video.width = track->width;
        if (es.video.height == 0) es.video.height = track->height;
        if (track->width > 0 && track->height > 0 && es.video.width != track->width)
            es.video.aspect = static_cast<int32_t>(track->width * kAspectScale / track->height);
    }
    if (sound) {
        es.audio.channels = sound->channelCount;
        es.audio.rate = sound->sampleRateHi;
        es.audio.bitsPerSample = sound->sampleSize;
        es.bitRate =
            static_cast<uint32_t>(sound->channelCount) * sound->sampleRateHi * sound->sampleSize;
        if (g_context.isAac && es.codec == fourcc('m', 'p', '4', 'a')) {
            // Each track's parameters replace those of the track set up before.
            g_aacParams = mp4_AacParamsOf(es.extra, es.extraSize);
            if (demux->hooks.aacTrackOpened) demux->hooks.aacTrackOpened(es.extra, es.extraSize);
            es.audio.channels = g_aacParams.channels;
            es.audio.rate = g_aacParams.rate;
            es.audio.sfIndex = g_aacParams.sfIndex;
        }
    }
    *out = demux->out->Add(demux->out, &es);
    return 0;
}

void mp4_TrackFree(Mp4Track* track) {
    track->usable = false;
    track->enabled = false;
    track->selected = false;
    es_descriptor_Clean(&track->descriptor);
    track->chunks.clear();
    track->sizes.clear();
}
