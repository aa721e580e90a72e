// The demux loop and the DEMUX_ entry points over the one process-wide demultiplexer.

#include "demux/demux.h"

#include <cinttypes>
#include <cstdarg>
#include <cstring>

#include "core/context.h"
#include "demux/avc_annexb.h"
#include "demux/box_records.h"
#include "demux/byte_stream.h"
#include "demux/demux_log.h"
#include "demux/track.h"

namespace {

struct DemuxModule {
    ByteStream* stream = nullptr;
    EsOut* output = nullptr;
    int (*demux)(DemuxModule*) = nullptr;
    int (*control)(DemuxModule*, int, va_list) = nullptr;
    Mp4Demux* state = nullptr;
    void (*closeOutput)(EsOut*) = nullptr;  // how the owner closes its sink
    DemuxHooks hooks;
};

DemuxModule g_module;

constexpr int64_t kMicroseconds = 1000000;
// A step advances the movie by a tenth of a second.
constexpr uint64_t kStepsPerSecond = 10;
// A sample due later than this (about 31 years into the movie) is never reached: its
// track is given up instead of stepping towards it forever.
constexpr int64_t kUnreachableTime = INT64_C(1000000000000000);

bool isOpen() {
    return g_module.state && g_module.output && g_module.stream;
}

int mp4_Demux(DemuxModule* module);
int mp4_Control(DemuxModule* module, int query, va_list args);

void freeDemuxState(Mp4Demux* demux) {
    MP4_FreeBox(demux->root);
    for (Mp4Track& track : demux->tracks) mp4_TrackFree(&track);
    delete demux;
}

int mp4_Open(DemuxModule* module) {
    ByteStream* s = module->stream;
    const uint8_t* p = nullptr;
    if (bs_Peek(s, &p, 8) < 8) {
        log_Warning("MP4 plugin discarded (cannot peek)");
        return -1;
    }
    static const uint32_t kFirstBoxTypes[] = {
        fourcc('f', 't', 'y', 'p'), fourcc('m', 'o', 'o', 'v'), fourcc('f', 'o', 'o', 'v'),
        fourcc('m', 'o', 'o', 'f'), fourcc('m', 'd', 'a', 't'), fourcc('u', 'd', 't', 'a'),
        fourcc('f', 'r', 'e', 'e'), fourcc('s', 'k', 'i', 'p'), fourcc('w', 'i', 'd', 'e'),
        fourcc('p', 'n', 'o', 't')};
    uint32_t first;
    std::memcpy(&first, p + 4, 4);
    bool known = false;
    for (uint32_t type : kFirstBoxTypes) known = known || type == first;
    if (!known) {
        log_Warning("MP4 plugin discarded (not a valid file)");
        return -1;
    }
    bool canSeek = false;
    bs_Control(s, FS_QUERY_CAN_SEEK, &canSeek);
    if (!canSeek) {
        log_Warning("MP4 plugin discarded (unseekable)");
        return -1;
    }

    module->demux = mp4_Demux;
    module->control = mp4_Control;
    Mp4Demux* demux = new Mp4Demux;
    demux->out = module->output;
    demux->hooks = module->hooks;
    demux->fileSize = bs_Size(s);
    module->state = demux;
    auto fail = [&]() {
        freeDemuxState(demux);
        module->state = nullptr;
        return -1;
    };

    demux->root = MP4_ReadRoot(s, &module->hooks);
    if (!demux->root) {
        log_Warning("MP4 plugin discarded (not a valid file)");
        return fail();
    }
    MP4_DumpBoxTree(demux->root);

    if (BoxFtyp* ftyp = boxData<BoxFtyp>(MP4_FindBox(demux->root, "/ftyp"))) {
        if (ftyp->majorBrand == fourcc('3', 'g', 'p', '5'))
            log_Debug("3GP file version %d.", static_cast<int>(ftyp->minorVersion));
        else if (ftyp->majorBrand == fourcc('i', 's', 'o', 'm'))
            log_Debug("ISO Media file (isom) version %d.", static_cast<int>(ftyp->minorVersion));
        else
            log_Debug("unrecognized major file specification (%4.4s).",
                      reinterpret_cast<const char*>(&ftyp->majorBrand));
    } else {
        log_Debug("file type box missing (assuming ISO Media file)");
    }

    if (MP4_CountBoxes(demux->root, "/moov") == 0) {
        Mp4Box* foov = MP4_FindBox(demux->root, "/foov");
        if (!foov) {
            logError("MP4 plugin discarded (no moov box)");
            return fail();
        }
        foov->type = ATOM_moov;
    }
    if (Mp4Box* rmra = MP4_FindBox(demux->root, "/moov/rmra")) {
        log_Debug("detected playlist mov file (%d ref)", MP4_CountBoxes(rmra, "rmda"));
        log_Warning("we just discarding the play list");
    }
    BoxMvhd* mvhd = boxData<BoxMvhd>(MP4_FindBox(demux->root, "/moov/mvhd"));
    if (!mvhd) {
        logError("cannot find /moov/mvhd");
        return fail();
    }
    if (mvhd->timeScale == 0) {
        // Every movie time divides by it.
        logError("invalid /moov/mvhd time scale 0");
        return fail();
    }
    demux->movieTimeScale = mvhd->timeScale;
    demux->movieDuration = mvhd->duration;

    demux->trackCount = static_cast<uint32_t>(MP4_CountBoxes(demux->root, "/moov/trak"));
    if (demux->trackCount == 0) {
        logError("cannot find any /moov/trak");
        return fail();
    }
    log_Debug("find %d track%c", static_cast<int>(demux->trackCount), 's');
    demux->tracks = std::vector<Mp4Track>(demux->trackCount);

    // The i-th trak is the i-th of the trak boxes following the first one.
    Mp4Box* trak = MP4_FindBox(demux->root, "/moov/trak");
    for (uint32_t i = 0; i < demux->trackCount && trak; ++i) {
        Mp4Track& track = demux->tracks[i];
        mp4_TrackBuild(demux, &track, trak);
        if (track.usable) {
            const char* kind = track.descriptor.category == VIDEO_ES   ? "video"
                               : track.descriptor.category == AUDIO_ES ? "audio"
                                                                       : "unknown";
            log_Debug("adding track[Id 0x%x] %s (%s) language %s", track.trackId, kind,
                      track.enabled ? "enable" : "disable",
                      track.descriptor.language ? track.descriptor.language : "undef");
        } else {
            log_Debug("ignoring track[Id 0x%x]", track.trackId);
        }
        do {
            trak = trak->next;
        } while (trak && trak->type != fourcc('t', 'r', 'a', 'k'));
    }
    return 0;
}

// When no selected track has a sample due before the movie time, steps would deliver
// nothing until the earliest one is due: the movie time moves on by whole steps to that
// point at once. Tracks whose next sample can never be reached are given up.
void skipIdleSteps(Mp4Demux* demux, uint64_t step) {
    int64_t earliest = INT64_MAX;
    for (Mp4Track& track : demux->tracks) {
        if (!track.usable || !track.selected) continue;
        int64_t dts = mp4_TrackDts(demux, &track);
        if (dts >= kUnreachableTime) {
            log_Warning("track[0x%x] will be disabled", track.trackId);
            mp4_TrackDeselect(demux, &track);
            continue;
        }
        if (dts < earliest) earliest = dts;
    }
    if (earliest == INT64_MAX || earliest < mp4_MovieTime(demux)) return;
    // The smallest movie time (in movie units) whose microseconds exceed `earliest`.
    __int128 units = (static_cast<__int128>(earliest) + 1) * demux->movieTimeScale;
    units = (units + kMicroseconds - 1) / kMicroseconds;
    if (units > demux->movieTime) {
        __int128 steps = (units - demux->movieTime + step - 1) / step;
        demux->movieTime += static_cast<uint64_t>(steps * step);
    }
    while (mp4_MovieTime(demux) <= earliest) demux->movieTime += step;
}

void deliverTrack(DemuxModule* module, Mp4Demux* demux, Mp4Track& track) {
    ConversionContext& c = g_context;
    const bool audio = track.descriptor.category == AUDIO_ES;
    while (mp4_TrackDts(demux, &track) < mp4_MovieTime(demux)) {
        uint32_t covered = 1;
        int64_t size = mp4_TrackCurSampleSize(&track, &covered);
        if (size > 0) {
            // Blocks never add up to more than the file holds: samples of a hostile table
            // that overlap again and again end the track instead of growing without end.
            if (demux->bytesDelivered + size > demux->fileSize ||
                bs_Seek(module->stream, static_cast<int64_t>(mp4_TrackCurSampleOffset(&track))) !=
                    0) {
                log_Warning("track[0x%x] will be disabled (eof?)", track.trackId);
                mp4_TrackDeselect(demux, &track);
                return;
            }
            Block* block = bs_ReadBlock(module->stream, size);
            if (!block) {
                log_Warning("track[0x%x] will be disabled (eof?)", track.trackId);
                mp4_TrackDeselect(demux, &track);
                return;
            }
            demux->bytesDelivered += block->size;
            block->dts = mp4_TrackDts(demux, &track) + 1;
            block->pts = track.descriptor.category == VIDEO_ES ? 0 : block->dts + 1;
            if (track.isProtected) {
                block_Free(block);
            } else if (c.isAac && audio && g_aacParams.channels > 2) {
                block_Free(block);
                track.usable = false;
                return;
            } else if (track.nalLengthSize && !mp4_AvcSampleToAnnexB(block, track.nalLengthSize)) {
                block_Free(block);
                logError("track[0x%x]: no memory for an H.264 sample", track.trackId);
                mp4_TrackDeselect(demux, &track);
                return;
            } else {
                module->output->Send(module->output, track.output, block);
            }
        }
        // A packed sound block covers several samples.
        if (covered > 1) track.sample += covered - 1;
        if (mp4_TrackAdvance(demux, &track) != 0) return;
    }
}

int mp4_Demux(DemuxModule* module) {
    Mp4Demux* demux = module->state;
    ConversionContext& c = g_context;
    EsOut* out = module->output;

    int selectedCount = 0;
    for (Mp4Track& track : demux->tracks) {
        if (track.selected && track.sample >= track.sampleCount) {
            log_Warning("track[0x%x] will be disabled", track.trackId);
            mp4_TrackDeselect(demux, &track);
        } else if (track.usable) {
            bool sinkSelected = false;
            if (track.output) out->Control(out, ESOUT_GET_STATE, track.output, &sinkSelected);
            if (track.selected && !sinkSelected)
                mp4_TrackDeselect(demux, &track);
            else if (!track.selected && sinkSelected)
                mp4_TrackSelectAt(demux, &track, mp4_MovieTime(demux));
            if (track.selected) ++selectedCount;
        }
    }
    if (selectedCount == 0) {
        log_Warning("no track selected, exiting...");
        return -1;
    }

    out->Control(out, ESOUT_SET_CLOCK, demux->clock + 1);
    demux->clock = mp4_MovieTime(demux);
    uint64_t step = demux->movieTimeScale / kStepsPerSecond;
    if (step < 1) step = 1;
    demux->movieTime += step;
    skipIdleSteps(demux, step);

    for (Mp4Track& track : demux->tracks) {
        c.success = 1;
        if (c.isAac && track.descriptor.category == AUDIO_ES) {
            g_aacParams.rate = track.descriptor.audio.rate;
            g_aacParams.sfIndex = track.descriptor.audio.sfIndex;
            g_aacParams.channels = track.descriptor.audio.channels;
            if (g_aacParams.channels > 2) {
                track.usable = false;
                continue;
            }
        }
        if (!track.usable || !track.selected) continue;
        deliverTrack(module, demux, track);
    }
    return 0;
}

int mp4_Control(DemuxModule* module, int query, va_list args) {
    Mp4Demux* demux = module->state;
    switch (query) {
        case DEMUX_GET_POS: {
            int64_t* pos = va_arg(args, int64_t*);
            *pos = demux->movieDuration
                       ? mp4_Rescale(static_cast<int64_t>(demux->movieTime & INT64_MAX),
                                     kMicroseconds, demux->movieDuration)
                       : 0;
            return 0;
        }
        case DEMUX_SET_POS: {
            int64_t pos = va_arg(args, int64_t);
            if (!demux->movieTimeScale) return 0;
            // Millionths of the movie times its duration in movie units, over the time
            // scale: microseconds, in one step.
            return mp4_Seek(demux, mp4_Rescale(pos, demux->movieDuration, demux->movieTimeScale));
        }
        case DEMUX_GET_MOVIE_TIME:
            *va_arg(args, int64_t*) = demux->movieTimeScale ? mp4_MovieTime(demux) : 0;
            return 0;
        case DEMUX_SET_MOVIE_TIME:
            return mp4_Seek(demux, va_arg(args, int64_t));
        case DEMUX_GET_DURATION:
            *va_arg(args, int64_t*) =
                demux->movieTimeScale
                    ? mp4_Rescale(static_cast<int64_t>(demux->movieDuration & INT64_MAX),
                                  kMicroseconds, demux->movieTimeScale)
                    : 0;
            return 0;
        case DEMUX_GET_FPS:
            log_Warning("DEMUX_GET_FPS unimplemented !!");
            return -1;
        case DEMUX_GET_META:
            log_Warning("DEMUX_GET_META discarding");
            return -1;
        default:
            logError("control query unimplemented !!!");
            return -1;
    }
}

void mp4_Close(DemuxModule* module) {
    log_Debug("freeing all memory");
    freeDemuxState(module->state);
    module->state = nullptr;
}

}  // namespace

int DEMUX_Open(const DemuxOpenArgs& args) {
    if (!args.sourcePath || !args.sink || !args.closeSink) {
        logError("DEMUX_Open, invalid input parameters");
        if (args.sink && args.closeSink) args.closeSink(args.sink);
        return -1;
    }
    if (isOpen()) DEMUX_Close();
    g_module = DemuxModule();
    if (fs_Open(args.sourcePath, &g_module.stream) != 0) {
        g_module = DemuxModule();
        args.closeSink(args.sink);
        return -1;
    }
    g_module.output = args.sink;
    g_module.closeOutput = args.closeSink;
    g_module.hooks = args.hooks;
    if (mp4_Open(&g_module) == 0) return 0;
    logError("DEMUX_Open, call mp4_Open, return failed");
    args.closeSink(args.sink);
    fs_Close(g_module.stream);
    g_module = DemuxModule();
    return -1;
}

int DEMUX_Demux() {
    if (!isOpen()) {
        logError("DEMUX_Demux, invalid state");
        return -1;
    }
    if (!g_module.demux) {
        logError("DEMUX_Demux, can't find the demux method");
        return -1;
    }
    return g_module.demux(&g_module);
}

int DEMUX_Control(int query, ...) {
    if (!isOpen() || !g_module.control) {
        logError("DEMUX_Control, invalid state");
        return -1;
    }
    va_list args;
    va_start(args, query);
    int r = g_module.control(&g_module, query, args);
    va_end(args);
    return r;
}

void DEMUX_Close() {
    if (!isOpen()) {
        logError("DEMUX_Close, invalid state");
        return;
    }
    mp4_Close(&g_module);
    g_module.closeOutput(g_module.output);
    fs_Close(g_module.stream);
    g_module = DemuxModule();
}
