// Track navigation: selecting, positioning at a time (with sync samples and edit lists),
// and walking sample by sample across chunks and edits.

#include <cinttypes>

#include "core/context.h"
#include "demux/box_records.h"
#include "demux/demux_log.h"
#include "demux/track.h"

namespace {

constexpr int64_t kMicroseconds = 1000000;

// Samples a packed sound block covers at most (without a packet layout).
constexpr uint32_t kPackedSoundSamples = 1500;

BoxElst* editList(const Mp4Track* track) {
    BoxElst* elst = boxData<BoxElst>(track->editList);
    return elst && elst->entryCount > 0 ? elst : nullptr;
}

// The edit's rate is not 0 and its media time positive: decoding times are shifted by it.
bool editShiftsMedia(const BoxElst* elst, uint32_t index) {
    return (elst->mediaRateInteger[index] != 0 || elst->mediaRateFraction[index] != 0) &&
           elst->mediaTime[index] > 0;
}

int64_t addSaturated(int64_t a, uint64_t b) {
    __int128 r = static_cast<__int128>(a) + static_cast<__int128>(b);
    return r > INT64_MAX ? INT64_MAX : static_cast<int64_t>(r);
}

bool isPackedSound(const Mp4Track* t) {
    return t->descriptor.category == AUDIO_ES && t->constantSize == 1;
}

// An edit's media time is a composition time. A track whose pictures are reordered
// (composition offsets, ctts) shows its first picture that much after it is decoded, and an
// edit commonly starts the track there: the samples decoded before must not be skipped.
int64_t toDecodingTime(const Mp4Track* track, int64_t mediaTime) {
    const BoxPairTable* ctts = boxData<BoxPairTable>(MP4_FindBox(track->sampleTable, "ctts"));
    if (!ctts || ctts->entryCount == 0 || ctts->second.empty()) return mediaTime;
    const int64_t offset = static_cast<int32_t>(ctts->second[0]);
    if (offset <= 0) return mediaTime;
    return mediaTime > offset ? mediaTime - offset : 0;
}

}  // namespace

int mp4_TrackSelectAt(Mp4Demux* demux, Mp4Track* track, int64_t time) {
    if (!track->usable) return -1;
    if (track->selected) {
        log_Warning("track[Id 0x%x] already selected", track->trackId);
        return 0;
    }
    return mp4_TrackSeekTo(demux, track, time);
}

void mp4_TrackDeselect(Mp4Demux* demux, Mp4Track* track) {
    if (!track->usable) return;
    if (!track->selected) {
        log_Warning("track[Id 0x%x] already unselected", track->trackId);
        return;
    }
    if (track->output) demux->out->Control(demux->out, ESOUT_SET_STATE, track->output, 0);
    track->selected = false;
}

int mp4_TrackSeekTo(Mp4Demux* demux, Mp4Track* track, int64_t time) {
    if (!track->usable) return -1;
    uint32_t chunk = 0, sample = 0;
    if (mp4_TrackTimeToSample(demux, track, time, &chunk, &sample) != 0) {
        log_Warning("cannot select track[Id 0x%x]", track->trackId);
        return -1;
    }
    track->selected = true;
    if (mp4_TrackGotoChunk(demux, track, chunk, sample) != 0) track->selected = false;
    return track->selected ? 0 : -1;
}

int mp4_Seek(Mp4Demux* demux, int64_t time) {
    demux->movieTime =
        static_cast<uint64_t>(mp4_Rescale(time, demux->movieTimeScale, kMicroseconds));
    demux->clock = time;
    for (Mp4Track& track : demux->tracks)
        if (track.usable && track.selected) mp4_TrackSeekTo(demux, &track, time);
    return 1;
}

int mp4_TrackTimeToSample(Mp4Demux* demux, Mp4Track* track, int64_t time, uint32_t* chunkOut,
                          uint32_t* sampleOut) {
    if (!track->usable || track->chunkCount == 0) return -1;
    mp4_TrackSetEdit(demux, track, time);

    int64_t t = time;
    if (BoxElst* elst = editList(track)) {
        int64_t movie = mp4_Rescale(t, demux->movieTimeScale, kMicroseconds);
        t -= mp4_Rescale(track->editStart, kMicroseconds, demux->movieTimeScale);
        if (t < 0) {
            *chunkOut = 0;
            *sampleOut = 0;
            return 0;
        }
        t = mp4_Rescale(t, track->timeScale, kMicroseconds);
        if (editShiftsMedia(elst, track->editIndex)) {
            t = addSaturated(t, static_cast<uint64_t>(elst->mediaTime[track->editIndex]));
            t = toDecodingTime(track, t);
        }
        log_Debug("elst (%d) gives %" PRId64 "ms (movie)-> %" PRId64 "ms (track)",
                  static_cast<int>(track->editIndex),
                  mp4_Rescale(movie, 1000, demux->movieTimeScale),
                  mp4_Rescale(t, 1000, track->timeScale));
    } else {
        t = mp4_Rescale(t, track->timeScale, kMicroseconds);
    }
    const uint64_t target = t > 0 ? static_cast<uint64_t>(t) : 0;

    uint32_t chunk = 0;
    while (chunk + 1 < track->chunkCount &&
           !(track->chunks[chunk].firstDts <= target && target < track->chunks[chunk + 1].firstDts))
        ++chunk;

    const Mp4Chunk& c = track->chunks[chunk];
    uint64_t s = c.firstSample;
    uint64_t d = c.firstDts;
    const uint64_t end = static_cast<uint64_t>(c.firstSample) + c.sampleCount;
    for (size_t run = 0; run < c.runCount.size() && s < end; ++run) {
        uint64_t span = static_cast<uint64_t>(c.runCount[run]) * c.runDelta[run];
        if (d + span < target) {
            d += span;
            s += c.runCount[run];
        } else {
            if (c.runDelta[run] > 0) s += (target - d) / c.runDelta[run];
            break;
        }
    }
    if (s >= track->sampleCount) {
        log_Warning("track[Id 0x%x] will be disabled (seeking too far) chunk=%d sample=%d",
                    track->trackId, static_cast<int>(chunk), static_cast<int>(s));
        return -1;
    }
    uint32_t sample = static_cast<uint32_t>(s);

    BoxStss* stss = boxData<BoxStss>(MP4_FindBox(track->sampleTable, "stss"));
    if (stss) {
        log_Debug("track[Id 0x%x] using Sync Sample Box (stss)", track->trackId);
        for (uint32_t i = 0; i < stss->entryCount; ++i) {
            if (stss->sampleNumber[i] < sample) continue;
            if (i > 0) {
                log_Debug("stts gives %d --> %d (sample number)", static_cast<int>(sample),
                          static_cast<int>(stss->sampleNumber[i - 1]));
                sample = stss->sampleNumber[i - 1];
                while (chunk > 0 && sample < track->chunks[chunk].firstSample) --chunk;
            } else {
                log_Debug("stts gives %d --> %d (sample number)", static_cast<int>(sample),
                          static_cast<int>(stss->sampleNumber[i]));
                sample = stss->sampleNumber[i];
                while (chunk + 1 < track->chunkCount &&
                       sample >= static_cast<uint64_t>(track->chunks[chunk].firstSample) +
                                     track->chunks[chunk].sampleCount)
                    ++chunk;
            }
            break;
        }
    } else {
        log_Debug("track[Id 0x%x] does not provide Sync Sample Box (stss)", track->trackId);
    }
    *chunkOut = chunk;
    *sampleOut = sample;
    return 0;
}

int mp4_TrackGotoChunk(Mp4Demux* demux, Mp4Track* track, uint32_t chunk, uint32_t sample) {
    if (chunk >= track->chunkCount) return -1;
    bool reselect = false;
    if (track->chunk >= track->chunkCount ||
        track->chunks[track->chunk].descriptionIndex != track->chunks[chunk].descriptionIndex) {
        log_Warning("recreate ES");
        if (track->output) {
            demux->out->Control(demux->out, ESOUT_GET_STATE, track->output, &reselect);
            demux->out->Del(demux->out, track->output);
        }
        track->output = nullptr;
        if (mp4_TrackMakeEs(demux, track, chunk, &track->output) != 0) {
            logError("cannot create es for track[Id 0x%x]", track->trackId);
            track->usable = false;
            track->selected = false;
            return -1;
        }
    }
    if (reselect && track->output) demux->out->Control(demux->out, ESOUT_SELECT, track->output);
    track->chunk = chunk;
    track->sample = sample;
    return track->selected ? 0 : -1;
}

int64_t mp4_TrackCurSampleSize(const Mp4Track* track, uint32_t* samples) {
    if (samples) *samples = 1;
    if (track->constantSize == 0)
        return track->sample < track->sizes.size() ? track->sizes[track->sample] : 0;
    if (!isPackedSound(track)) return track->constantSize;

    // Packed sound: one block for the rest of the chunk (at most kPackedSoundSamples
    // without a packet layout); the caller advances over every sample it covers.
    const Mp4Chunk& c = track->chunks[track->chunk];
    uint64_t end = static_cast<uint64_t>(c.firstSample) + c.sampleCount;
    uint64_t left = end > track->sample ? end - track->sample : 1;
    const BoxSoundEntry* entry = boxData<BoxSoundEntry>(track->sampleEntry);
    if (!entry) return 0;
    int64_t bytes;
    if (entry->version == 1 && entry->samplesPerPacket) {
        bytes = static_cast<int64_t>(left / entry->samplesPerPacket * entry->bytesPerFrame);
    } else {
        if (left > kPackedSoundSamples) left = kPackedSoundSamples;
        bytes = static_cast<int64_t>(left * entry->channelCount * entry->sampleSize / 8);
    }
    if (samples) *samples = static_cast<uint32_t>(left);
    return bytes;
}

uint64_t mp4_TrackCurSampleOffset(Mp4Track* track) {
    const Mp4Chunk& c = track->chunks[track->chunk];
    if (track->sample < c.firstSample) return c.offset;
    if (track->constantSize != 0)
        return c.offset +
               static_cast<uint64_t>(track->sample - c.firstSample) * track->constantSize;
    auto& cur = track->offsetCursor;
    if (cur.chunk != track->chunk || cur.sample > track->sample) {
        cur.chunk = track->chunk;
        cur.sample = c.firstSample;
        cur.offset = c.offset;
    }
    while (cur.sample < track->sample && cur.sample < track->sizes.size())
        cur.offset += track->sizes[cur.sample++];
    return cur.offset;
}

int64_t mp4_TrackDts(const Mp4Demux* demux, Mp4Track* track) {
    const Mp4Chunk& c = track->chunks[track->chunk];
    auto& cur = track->dtsCursor;
    if (cur.chunk != track->chunk || cur.sample > track->sample || track->sample < c.firstSample) {
        cur.chunk = track->chunk;
        cur.sample = c.firstSample;
        cur.run = 0;
        cur.used = 0;
        cur.dts = c.firstDts;
    }
    // Walk the runs from where the last lookup ended.
    uint64_t n = track->sample > cur.sample ? track->sample - cur.sample : 0;
    while (n > 0 && cur.run < c.runCount.size()) {
        uint64_t available = c.runCount[cur.run] - cur.used;
        if (n <= available) {
            cur.dts += n * c.runDelta[cur.run];
            cur.used += static_cast<uint32_t>(n);
            n = 0;
        } else {
            cur.dts += available * c.runDelta[cur.run];
            n -= available;
            ++cur.run;
            cur.used = 0;
        }
    }
    cur.sample = track->sample;

    __int128 d = cur.dts;
    if (BoxElst* elst = editList(track)) {
        if (editShiftsMedia(elst, track->editIndex)) d -= elst->mediaTime[track->editIndex];
        d += mp4_Rescale(track->editStart, track->timeScale, demux->movieTimeScale);
        if (d < 0) d = 0;
    }
    if (d > INT64_MAX) d = INT64_MAX;
    return mp4_Rescale(static_cast<int64_t>(d), kMicroseconds, track->timeScale);
}

int mp4_TrackAdvance(Mp4Demux* demux, Mp4Track* track) {
    ++track->sample;
    if (track->sample >= track->sampleCount) {
        log_Warning("track[0x%x] will be disabled", track->trackId);
        mp4_TrackDeselect(demux, track);
        return -1;
    }
    const Mp4Chunk& c = track->chunks[track->chunk];
    if (track->sample >= static_cast<uint64_t>(c.firstSample) + c.sampleCount) {
        // Samples the chunk table does not place end the track.
        if (track->chunk + 1 >= track->chunkCount) {
            log_Warning("track[0x%x] will be disabled", track->trackId);
            mp4_TrackDeselect(demux, track);
            return -1;
        }
        if (mp4_TrackGotoChunk(demux, track, track->chunk + 1, track->sample) != 0) {
            log_Warning("track[0x%x] will be disabled (cannot restart decoder)", track->trackId);
            mp4_TrackDeselect(demux, track);
            return -1;
        }
    }
    if (BoxElst* elst = editList(track)) {
        int64_t dts = mp4_TrackDts(demux, track);
        int64_t movie = mp4_Rescale(dts, demux->movieTimeScale, kMicroseconds);
        if (track->editIndex < elst->entryCount &&
            movie >= addSaturated(track->editStart, elst->segmentDuration[track->editIndex]))
            mp4_TrackSetEdit(demux, track, dts);
    }
    return 0;
}

void mp4_TrackSetEdit(Mp4Demux* demux, Mp4Track* track, int64_t time) {
    uint32_t old = track->editIndex;
    track->editIndex = 0;
    track->editStart = 0;
    if (BoxElst* elst = editList(track)) {
        int64_t movie = mp4_Rescale(time, demux->movieTimeScale, kMicroseconds);
        uint32_t i = 0;
        for (; i < elst->entryCount; ++i) {
            int64_t end = addSaturated(track->editStart, elst->segmentDuration[i]);
            if (track->editStart <= movie && movie < end) break;
            track->editStart = end;
        }
        if (i == elst->entryCount) {
            i = elst->entryCount - 1;
            track->editStart = static_cast<int64_t>(static_cast<uint64_t>(track->editStart) -
                                                    elst->segmentDuration[i]);
        }
        track->editIndex = i;
        if (elst->mediaTime[i] < 0)
            track->editStart = addSaturated(track->editStart, elst->segmentDuration[i]);
    }
    if (track->editIndex != old)
        log_Warning("elst old=%d new=%d", static_cast<int>(old),
                    static_cast<int>(track->editIndex));
}
