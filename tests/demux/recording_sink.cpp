#include "recording_sink.h"

#include <cstdarg>

namespace mp4test {
namespace {

// The sink's state pointer holds a RecordingSink.
RecordingSink& state(EsOut* out) {
    return *reinterpret_cast<RecordingSink*>(out->state);
}

// Stream handles are 1 + the stream's index.
int indexOf(EsOutStream* handle) {
    return static_cast<int>(reinterpret_cast<intptr_t>(handle)) - 1;
}

EsOutStream* add(EsOut* out, const EsDescriptor* descriptor) {
    RecordedStream s;
    es_descriptor_Copy(&s.descriptor, descriptor);
    state(out).streams.push_back(s);
    return reinterpret_cast<EsOutStream*>(static_cast<intptr_t>(state(out).streams.size()));
}

int send(EsOut* out, EsOutStream* handle, Block* block) {
    SentBlock b;
    b.stream = indexOf(handle);
    b.size = block->size;
    b.dts = block->dts;
    b.pts = block->pts;
    b.bytes.assign(block->buffer, block->buffer + block->size);
    state(out).blocks.push_back(b);
    block_Free(block);
    return 0;
}

int del(EsOut* out, EsOutStream* handle) {
    state(out).streams.at(static_cast<size_t>(indexOf(handle))).deleted = true;
    return 0;
}

int control(EsOut* out, int query, ...) {
    va_list args;
    va_start(args, query);
    RecordingSink& sink = state(out);
    if (query == ESOUT_SET_STATE) {
        int i = indexOf(va_arg(args, EsOutStream*));
        sink.streams.at(static_cast<size_t>(i)).selected = va_arg(args, int) & 0xFF;
    } else if (query == ESOUT_GET_STATE) {
        int i = indexOf(va_arg(args, EsOutStream*));
        *va_arg(args, bool*) = sink.streams.at(static_cast<size_t>(i)).selected;
    } else if (query == ESOUT_SELECT) {
        ++sink.selectCalls;
    }
    va_end(args);
    return 0;
}

}  // namespace

EsOut* newRecordingSink() {
    EsOut* out = new EsOut;
    out->Add = add;
    out->Send = send;
    out->Del = del;
    out->Control = control;
    out->state = reinterpret_cast<EsOutState*>(new RecordingSink);
    return out;
}

void closeRecordingSink(EsOut* out) {
    for (RecordedStream& s : state(out).streams) es_descriptor_Clean(&s.descriptor);
    delete &state(out);
    delete out;
}

RecordingSink& recording(EsOut* out) {
    return state(out);
}

void keepRecordingSink(EsOut*) {}

int openOnSink(const std::string& path, EsOut* sink, const DemuxHooks& hooks) {
    DemuxOpenArgs args;
    args.sourcePath = path.c_str();
    args.sink = sink;
    args.closeSink = keepRecordingSink;
    args.hooks = hooks;
    return DEMUX_Open(args);
}

}  // namespace mp4test
