#include "pipeline/es_dump.h"

#include <neaacdec.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "audio/aac_decoder.h"
#include "audio/amr_frames.h"
#include "audio/lavc_audio.h"
#include "audio/resampler.h"
#include "core/context.h"
#include "core/fourcc.h"
#include "core/job_files.h"
#include "core/source_limits.h"
#include "demux/demux.h"
#include "demux/demux_log.h"
#include "pipeline/block_worker.h"

struct EsOutStream {
    FILE* file = nullptr;
    // The file of a stream the job has no use for (not video, not audio), removed with the
    // record: its name is unique, so nobody could find it afterwards.
    std::string otherPath;
    LibraryAudioDecoder* libraryAudio = nullptr;  // AMR-WB and MP3 tracks
    EsDescriptor descriptor;
    EsOutStream* previous = nullptr;
    EsOutStream* next = nullptr;
    int32_t id = 0;
    bool selected = false;
    int32_t total = 0;
};

struct EsOutState {
    std::string prefix;
    EsOutStream* list = nullptr;
};

namespace {

// The rate of the audio section for AAC sources.
constexpr uint32_t kPcmRate = 16000;
// Samples per channel of one AAC frame, and of an SBR frame (which doubles the rate).
constexpr int kAacFrameSamples = 1024;
constexpr int kMaxFrameSamples = 2 * kAacFrameSamples;
// The resampler counts rates in units of 1/25 of their value.
constexpr uint32_t kRateUnit = 25;

// AAC bytes that may wait for the decoding thread (about eight minutes at 64 kbit/s).
constexpr size_t kMaxWaitingAacBytes = 4u << 20;

// Files of the streams that are neither video nor audio.
constexpr char kOtherStreamExtension[] = ".cmp";

int32_t g_nextStreamId = 1;
bool g_writeFailed = false;

// AAC working buffers, kept for the whole process. Element 0 of each resampler input
// holds the last sample of the previous frame of the same track (0 before its first).
struct AacBuffers {
    int16_t inFirst[1 + kMaxFrameSamples] = {};
    int16_t inSecond[1 + kMaxFrameSamples] = {};
    std::vector<int16_t> outFirst, outSecond;
    std::vector<uint8_t> pcm;  // little-endian mono output of one frame
};
AacBuffers g_aac;

void freeRecord(EsOutStream* record) {
    if (record->file) std::fclose(record->file);
    removeJobFile(&record->otherPath);
    libraryAudioClose(record->libraryAudio);
    es_descriptor_Clean(&record->descriptor);
    delete record;
}

void appendRecord(EsOutStream** list, EsOutStream* record) {
    if (!*list) {
        *list = record;
        record->previous = record->next = record;
        return;
    }
    EsOutStream* head = *list;
    record->next = head;
    record->previous = head->previous;
    head->previous->next = record;
    head->previous = record;
}

int esdumpDel(EsOut* out, EsOutStream* handle) {
    return es_id_Del(out && out->state ? &out->state->list : nullptr, handle);
}

bool writePcm(const int16_t* samples, int count, bool mixSecond, const int16_t* second) {
    ConversionContext& c = g_context;
    g_aac.pcm.resize(static_cast<size_t>(count) * 2);
    for (int i = 0; i < count; ++i) {
        int32_t v = mixSecond ? (static_cast<int32_t>(samples[i]) + second[i]) >> 1 : samples[i];
        g_aac.pcm[2 * i] = static_cast<uint8_t>(v & 0xFF);
        g_aac.pcm[2 * i + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
    if (!c.pcmFile || count == 0) return true;  // no PCM file: the samples go nowhere
    return std::fwrite(g_aac.pcm.data(), 2, static_cast<size_t>(count), c.pcmFile) ==
           static_cast<size_t>(count);
}

// Writes `n` decoded samples of g_aac.inFirst and g_aac.inSecond (from element 1 on) at
// `rate` Hz as 16 kHz mono PCM: 16 kHz as it is (first channel), any other rate resampled
// and the two channels mixed.
bool writeDecodedFrame(int n, uint32_t rate) {
    bool ok;
    if (rate == kPcmRate) {
        ok = writePcm(g_aac.inFirst + 1, n, false, nullptr);
    } else {
        // Room for upsampling from the lowest AAC rates: the resampler makes about
        // n * 16000 / rate samples, plus the carried one and rounding.
        const uint32_t inputUnit = rate / kRateUnit;
        const size_t room =
            inputUnit ? static_cast<size_t>(n + 4) * (kPcmRate / kRateUnit) / inputUnit + 4 : 4;
        if (g_aac.outFirst.size() < room) {
            g_aac.outFirst.resize(room);
            g_aac.outSecond.resize(room);
        }
        int k = resample(g_aac.inFirst, g_aac.inSecond, n, rate, g_aac.outFirst.data(),
                         g_aac.outSecond.data());
        ok = writePcm(g_aac.outFirst.data(), k, true, g_aac.outSecond.data());
    }
    return ok;
}

enum class AacFrame {
    Written,
    Failed,       // not decoded, or larger than any AAC frame
    WriteFailed,  // the PCM file took less than it was given
    OtherLayout,  // decoded to a channel count the audio section cannot take
};

// Decodes one raw AAC frame and writes it as 16 kHz mono PCM. `*channels` is the
// decoder's channel count, 0 when it decoded nothing.
AacFrame decodeAacFrame(const Block* block, uint32_t* channelsOut) {
    ConversionContext& c = g_context;
    *channelsOut = 0;
    NeAACDecFrameInfo info = {};
    const int16_t* decoded = nullptr;
    if (c.aacDecoder && g_aacParams.initialized && block->size > 0) {
        decoded = static_cast<const int16_t*>(
            NeAACDecDecode(static_cast<NeAACDecHandle>(c.aacDecoder), &info, block->buffer,
                           static_cast<unsigned long>(block->size)));
    } else {
        info.error = 1;  // no decoder for this stream
    }
    if (info.error || !decoded) return AacFrame::Failed;
    const int channels = info.channels;
    *channelsOut = static_cast<uint32_t>(channels);
    if (channels < 1 || channels > 2) return AacFrame::OtherLayout;
    const int n = static_cast<int>(info.samples / static_cast<unsigned long>(channels));
    // Frames larger than an SBR frame do not exist; one would not fit the working buffers.
    if (n > kMaxFrameSamples) return AacFrame::Failed;
    // Every sample the decoder yields is taken, at the rate it reports.
    for (int i = 0; i < n; ++i) {
        g_aac.inFirst[1 + i] = decoded[i * channels];
        g_aac.inSecond[1 + i] = decoded[i * channels + channels - 1];
    }
    return writeDecodedFrame(n, static_cast<uint32_t>(info.samplerate)) ? AacFrame::Written
                                                                        : AacFrame::WriteFailed;
}

// Decodes one AAC frame on the job's thread.
void sendAac(const Block* block) {
    ConversionContext& c = g_context;
    ++c.audioFrames;
    uint32_t channels = 0;
    const AacFrame result = decodeAacFrame(block, &channels);
    // A channel count the section cannot take gives the track up before its next frame.
    if (channels) g_aacParams.channels = channels;
    if (result == AacFrame::Failed || result == AacFrame::WriteFailed) c.success = 0;
    if (result == AacFrame::WriteFailed) g_writeFailed = true;
}

// AAC decoding on a thread of its own, beside the rest of the job: the stream dump hands
// the frames over as the demultiplexer delivers them, and the thread decodes them into the
// PCM file in the same order, with the same decoder and resampler state, as sendAac would.
// Its verdict reaches the context only in finishBackgroundAac(), on the job's thread.
struct BackgroundAac {
    bool enabled = false;
    std::unique_ptr<BlockWorker> worker;
    // Written by the worker's thread only, read once it is idle or gone.
    bool failed = false;
    bool writeFailed = false;
    bool givenUp = false;
    uint32_t channels = 0;
};
BackgroundAac g_background;

void takeAacInBackground(Block* block) {
    BackgroundAac& b = g_background;
    if (!b.failed && !b.givenUp) {
        uint32_t channels = 0;
        const AacFrame result = decodeAacFrame(block, &channels);
        if (channels) b.channels = channels;
        b.failed = result == AacFrame::Failed || result == AacFrame::WriteFailed;
        b.writeFailed = result == AacFrame::WriteFailed;
        b.givenUp = result == AacFrame::OtherLayout;
    }
    block_Free(block);
}

// Hands an AAC frame to the thread, starting it with the job's first frame; false when no
// thread can be started (the frame is then decoded here).
bool giveAacToBackground(Block* block) {
    BackgroundAac& b = g_background;
    if (!b.worker) {
        b.failed = b.writeFailed = b.givenUp = false;
        b.channels = 0;
        b.worker = std::make_unique<BlockWorker>(takeAacInBackground, kMaxWaitingAacBytes);
        if (!b.worker->start()) {
            b.worker.reset();
            b.enabled = false;
            return false;
        }
    }
    b.worker->give(block);
    return true;
}

// Waits until the thread has decoded every frame it was given, before anything else
// touches the decoder, the resampler or the PCM file; what it saw of the channels is then
// known to the demultiplexer as if the frames had been decoded here.
void drainBackgroundAac() {
    BackgroundAac& b = g_background;
    if (!b.worker) return;
    b.worker->drain();
    if (b.channels) g_aacParams.channels = b.channels;
}

// One frame from the library decoder, through the AAC path's working buffers a piece at a
// time.
bool takeLibraryFrame(const int16_t* first, const int16_t* second, int n, uint32_t rate, void*) {
    for (int done = 0; done < n && g_context.success;) {
        const int piece = n - done < kMaxFrameSamples ? n - done : kMaxFrameSamples;
        std::memcpy(g_aac.inFirst + 1, first + done, static_cast<size_t>(piece) * 2);
        std::memcpy(g_aac.inSecond + 1, second + done, static_cast<size_t>(piece) * 2);
        if (!writeDecodedFrame(piece, rate)) {
            g_context.success = 0;
            g_writeFailed = true;
        }
        done += piece;
    }
    return g_context.success != 0;
}

// Decodes one sample of an AMR-WB or MP3 track and writes it as 16 kHz mono PCM.
void sendLibraryAudio(const EsOutStream* stream, const Block* block) {
    ConversionContext& c = g_context;
    drainBackgroundAac();  // the resampler and the PCM file are shared
    ++c.audioFrames;
    if (!stream->libraryAudio || !libraryAudioDecode(stream->libraryAudio, block->buffer,
                                                     block->size, takeLibraryFrame, nullptr)) {
        if (c.success) logError("audio sample %d could not be decoded", c.audioFrames);
    }
}

// The library decoder of an audio codec that neither AAC nor AMR-NB path takes.
bool libraryAudioCodecOf(uint32_t codec, LibraryAudioCodec* out) {
    if (codec == fourcc('s', 'a', 'w', 'b')) {
        *out = LibraryAudioCodec::AmrWb;
        return true;
    }
    if (codec == fourcc('m', 'p', 'g', 'a')) {
        *out = LibraryAudioCodec::Mp3;
        return true;
    }
    return false;
}

void sendAmr(const Block* block) {
    ConversionContext& c = g_context;
    // A sample holds whole frames of any frame type, each as long as its own header byte
    // says; the mode may change from one frame to the next. A frame cut short by the end of
    // the sample is dropped.
    const size_t size = block->size > 0 ? static_cast<size_t>(block->size) : 0;
    size_t whole = 0;
    uint32_t frames = 0;
    while (whole < size) {
        const size_t n = amr::storageFrameBytes(block->buffer[whole]);
        if (n > size - whole) {
            log_Warning("esdump_Send, drop an AMR frame cut short (%d bytes left of %d)",
                        static_cast<int>(size - whole), static_cast<int>(n));
            break;
        }
        whole += n;
        ++frames;
    }
    if (frames == 0) return;
    c.amrBuffer.resize(c.amrBytes);
    c.amrBuffer.insert(c.amrBuffer.end(), block->buffer, block->buffer + whole);
    c.amrBytes += static_cast<uint32_t>(whole);
    c.amrFrames += frames;
}

// Opens the library decoder of an AMR-WB or MP3 stream; any other codec fails the job.
void openLibraryAudio(EsOutStream* record) {
    const EsDescriptor& es = record->descriptor;
    LibraryAudioCodec codec;
    if (!libraryAudioCodecOf(es.codec, &codec)) {
        logError("esdump_Add, audio codec %.4s is not supported",
                 reinterpret_cast<const char*>(&es.codec));
        return;
    }
    record->libraryAudio = libraryAudioOpen(codec, es.audio.rate, es.audio.channels);
    if (!record->libraryAudio) {
        logError("esdump_Add, cannot open the audio decoder %s", libraryAudioName(codec));
        return;
    }
    std::printf("audio decoder: %s\n", libraryAudioName(codec));
    drainBackgroundAac();
    // Every rate but 16000 Hz is resampled to it, as for AAC.
    resampleInit(kPcmRate);
}

void onAudioSampleEntry(uint32_t type) {
    if (type != fourcc('s', 'a', 'm', 'r')) openPcmFile();
}

void onAacTrackOpened(const uint8_t* config, int32_t length) {
    drainBackgroundAac();  // an earlier track's frames still go through the decoder
    openAacDecoder(config, length);
    // Every AAC rate but 16000 Hz is resampled to it; the track starts the resampler
    // afresh, so nothing of an earlier job's audio carries into this one.
    resampleInit(kPcmRate);
    g_aac.inFirst[0] = 0;
    g_aac.inSecond[0] = 0;
}

}  // namespace

DemuxHooks esdump_DemuxHooks() {
    DemuxHooks hooks;
    hooks.audioSampleEntry = onAudioSampleEntry;
    hooks.aacTrackOpened = onAacTrackOpened;
    return hooks;
}

int esdump_Open(const char* prefix, EsOut** out) {
    *out = nullptr;
    EsOutState* state = new (std::nothrow) EsOutState;
    EsOut* sink = new (std::nothrow) EsOut;
    if (!state || !sink) {
        logError("esdump_Open, malloc failed");
        delete state;
        delete sink;
        return -1;
    }
    state->prefix = prefix ? prefix : "";
    sink->Add = esdump_Add;
    sink->Send = esdump_Send;
    sink->Del = esdumpDel;
    sink->Control = esdump_Control;
    sink->state = state;
    g_writeFailed = false;
    *out = sink;
    return 0;
}

void esdump_Close(EsOut* out) {
    if (!out || !out->state) {
        logError("esdump_Close, invalidate input parameters");
        return;
    }
    if (out->state->list) es_id_FreeList(&out->state->list);
    delete out->state;
    delete out;
}

EsOutStream* esdump_Add(EsOut* out, const EsDescriptor* descriptor) {
    if (!out || !out->state || !descriptor) {
        logError("esdump_Add, invalidate parameters");
        return nullptr;
    }
    if (descriptor->category == VIDEO_ES &&
        (descriptor->video.width > sourcelimits::kMaxSourceWidth ||
         descriptor->video.height > sourcelimits::kMaxSourceHeight)) {
        // Refused before its stream file exists: nothing of this video is written.
        logError("the picture is larger than %dx%d (%dx%d), not supported",
                 sourcelimits::kMaxSourceWidth, sourcelimits::kMaxSourceHeight,
                 static_cast<int>(descriptor->video.width),
                 static_cast<int>(descriptor->video.height));
        return nullptr;
    }
    EsOutStream* record = nullptr;
    if (es_id_Alloc(&record) != 0) return nullptr;
    es_descriptor_Copy(&record->descriptor, descriptor);

    const std::string& prefix = out->state->prefix;
    switch (descriptor->category) {
        case VIDEO_ES:
            record->file = createJobFile(g_context.moduleDir + g_context.baseName + kVideoEsStem,
                                         kVideoEsExtension, &g_context.videoEsPath);
            g_context.videoCodec = descriptor->codec;
            break;
        case AUDIO_ES:
            if (g_context.isAac && descriptor->codec != fourcc('m', 'p', '4', 'a'))
                openLibraryAudio(record);
            break;
        case SPU_ES:
            record->file = createJobFile(prefix + "spu" + std::to_string(record->id),
                                         kOtherStreamExtension, &record->otherPath);
            break;
        case UNKNOWN_ES:
            log_Warning("esdump_Add, encount a UNKNOWN_ES");
            record->file = createJobFile(prefix + "audio" + std::to_string(descriptor->id),
                                         kOtherStreamExtension, &record->otherPath);
            break;
        default:
            logError("esdump_Add, undefine type es");
            freeRecord(record);
            return nullptr;
    }
    record->selected = true;
    record->total = 0;
    appendRecord(&out->state->list, record);
    if (descriptor->category != AUDIO_ES && record->file && descriptor->extraSize > 0 &&
        descriptor->extra) {
        size_t size = static_cast<size_t>(descriptor->extraSize);
        if (std::fwrite(descriptor->extra, 1, size, record->file) != size) {
            logError("esdump_Add, file_Write error");
            if (descriptor->category == VIDEO_ES) g_writeFailed = true;
        }
    }
    return record;
}

int esdump_Send(EsOut* out, EsOutStream* handle, Block* block) {
    ConversionContext& c = g_context;
    if (!out || !handle || !block) {
        logError("esdump_Send, invalidate parameters");
        block_Free(block);
        return -1;
    }
    if (!handle->selected) {
        block_Free(block);
        log_Warning("esdump_Send, the es isn't selected");
        return -1;
    }
    const int32_t category = handle->descriptor.category;
    if (category == VIDEO_ES && !handle->file) {
        logError("esdump_Send, the file of this es id don't exist");
        g_writeFailed = true;
        block_Free(block);
        return -1;
    }
    log_Debug("esdump_Send, try to write %d bytes to file", static_cast<int>(block->size));
    if (category == VIDEO_ES) {
        size_t size = static_cast<size_t>(block->size);
        if (std::fwrite(block->buffer, 1, size, handle->file) != size) g_writeFailed = true;
        ++c.videoFrames;
        std::fflush(handle->file);
    } else if (category == AUDIO_ES && c.success) {
        if (c.isAac && handle->descriptor.codec != fourcc('m', 'p', '4', 'a')) {
            sendLibraryAudio(handle, block);
        } else if (c.isAac && g_background.enabled) {
            ++c.audioFrames;
            handle->total += block->size;
            if (giveAacToBackground(block)) return 0;  // the thread frees the block
            --c.audioFrames;
            handle->total -= block->size;
            sendAac(block);
        } else if (c.isAac) {
            sendAac(block);
        } else {
            sendAmr(block);
        }
    }
    handle->total += block->size;
    block_Free(block);
    return 0;
}

int esdump_Control(EsOut* out, int query, ...) {
    (void)out;
    if (static_cast<unsigned>(query) > static_cast<unsigned>(kEsOutLastQuery)) {
        logError("esdump_Controlm, encount a undefine command");
        return -1;
    }
    va_list args;
    va_start(args, query);
    if (query == ESOUT_SET_STATE) {
        EsOutStream* handle = va_arg(args, EsOutStream*);
        int selected = va_arg(args, int);
        if (handle) handle->selected = (selected & 0xFF) != 0;
    } else if (query == ESOUT_GET_STATE) {
        EsOutStream* handle = va_arg(args, EsOutStream*);
        bool* selected = va_arg(args, bool*);
        if (selected) *selected = handle && handle->selected;
    }
    va_end(args);
    return 0;
}

int es_id_Alloc(EsOutStream** out) {
    *out = nullptr;
    EsOutStream* record = new (std::nothrow) EsOutStream;
    if (!record) {
        logError("es_id_Alloc, alloc mem for block CB failed");
        return -1;
    }
    record->id = g_nextStreamId++;
    record->selected = false;
    *out = record;
    return 0;
}

int es_id_Del(EsOutStream** list, EsOutStream* record) {
    if (!list || !*list || !record) {
        logError("es_id_Del, invalidate parameters");
        return -1;
    }
    if (record->next == record) {
        *list = nullptr;
    } else {
        if (*list == record) *list = record->next;
        record->previous->next = record->next;
        record->next->previous = record->previous;
    }
    freeRecord(record);
    return 0;
}

void es_id_FreeList(EsOutStream** list) {
    if (!list || !*list) {
        logError("es_id_FreeList, invalidate parameters");
        return;
    }
    EsOutStream* head = *list;
    EsOutStream* record = head->next;
    while (record != head) {
        EsOutStream* next = record->next;
        freeRecord(record);
        record = next;
    }
    freeRecord(head);
    *list = nullptr;
}

void esdump_DecodeAacInBackground(bool on) {
    g_background.enabled = on;
}

bool esdump_FinishAacDecoding(bool abandon) {
    BackgroundAac& b = g_background;
    if (!b.worker) return true;
    b.worker->finish(abandon);
    b.worker.reset();
    if (abandon) return true;
    if (b.channels) g_aacParams.channels = b.channels;
    if (b.writeFailed) g_writeFailed = true;
    return !b.failed;
}

bool esdump_AacThreadRunning() {
    return g_background.worker != nullptr;
}

void esdump_AacThreadBehindVideo() {
    if (g_background.worker) g_background.worker->yieldToOthers();
}

bool esdump_WriteFailed() {
    return g_writeFailed;
}

int32_t esdump_NextStreamId() {
    return g_nextStreamId;
}
