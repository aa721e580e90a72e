#include "track_fixture.h"

namespace mp4test {

BuiltTracks::BuiltTracks(const MovieSpec& spec) : sink_(newRecordingSink()) {
    std::vector<uint8_t> bytes = buildMovie(spec);
    output_ = captureStdout([&] {
        file_.reset(new TreeFile(bytes));
        demux_.root = file_->root();
        demux_.out = sink_;
        demux_.movieTimeScale = spec.timeScale;
        demux_.fileSize = static_cast<int64_t>(bytes.size());
        demux_.trackCount = static_cast<uint32_t>(spec.tracks.size());
        demux_.tracks = std::vector<Mp4Track>(spec.tracks.size());
        for (size_t i = 0; i < spec.tracks.size(); ++i)
            mp4_TrackBuild(&demux_, &demux_.tracks[i],
                           MP4_FindBox(demux_.root, "/moov/trak[%d]", static_cast<int>(i)));
    });
}

BuiltTracks::~BuiltTracks() {
    for (Mp4Track& t : demux_.tracks) mp4_TrackFree(&t);
    closeRecordingSink(sink_);
}

}  // namespace mp4test
