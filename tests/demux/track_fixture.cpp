#include "track_fixture.h"

namespace mp4test {

BuiltTracks::BuiltTracks(const MovieLayout& layout, const DemuxHooks& hooks)
    : sink_(newRecordingSink()) {
    std::vector<uint8_t> bytes = buildMovie(layout);
    output_ = captureStdout([&] {
        file_.reset(new TreeFile(bytes));
        demux_.root = file_->root();
        demux_.out = sink_;
        demux_.hooks = hooks;
        demux_.movieTimeScale = layout.timeScale;
        demux_.fileSize = static_cast<int64_t>(bytes.size());
        demux_.trackCount = static_cast<uint32_t>(layout.tracks.size());
        demux_.tracks = std::vector<Mp4Track>(layout.tracks.size());
        for (size_t i = 0; i < layout.tracks.size(); ++i)
            mp4_TrackBuild(&demux_, &demux_.tracks[i],
                           MP4_FindBox(demux_.root, "/moov/trak[%d]", static_cast<int>(i)));
    });
}

BuiltTracks::~BuiltTracks() {
    for (Mp4Track& t : demux_.tracks) mp4_TrackFree(&t);
    closeRecordingSink(sink_);
}

}  // namespace mp4test
