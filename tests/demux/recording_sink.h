#pragma once
// A stream sink for tests: remembers every stream added and every block sent, and
// follows the selection state like the pipeline's sink.

#include <cstdint>
#include <string>
#include <vector>

#include "demux/demux.h"
#include "demux/es_out.h"

namespace mp4test {

struct SentBlock {
    int stream;  // index into RecordingSink::streams
    int32_t size;
    int64_t dts, pts;
    std::vector<uint8_t> bytes;
};

struct RecordedStream {
    EsDescriptor descriptor;  // the sink's copy
    bool selected = true;
    bool deleted = false;
};

struct RecordingSink {
    std::vector<RecordedStream> streams;
    std::vector<SentBlock> blocks;
    int selectCalls = 0;
};

// A new EsOut over a RecordingSink (owned by the EsOut). Free with closeRecordingSink;
// `recording(out)` reads what was recorded.
EsOut* newRecordingSink();
void closeRecordingSink(EsOut* out);
RecordingSink& recording(EsOut* out);
// A closer for DEMUX_Open that leaves the sink to the test.
void keepRecordingSink(EsOut* out);

// DEMUX_Open on `path` with a sink of the test's (left to the test when the demultiplexer
// closes) and the given hooks.
int openOnSink(const std::string& path, EsOut* sink, const DemuxHooks& hooks = DemuxHooks());

}  // namespace mp4test
