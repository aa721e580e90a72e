#pragma once
// Tracks set up from a built movie over a recording sink, for the track tests.

#include <memory>

#include "demux/track.h"
#include "demux_test_util.h"
#include "mp4_builder.h"
#include "recording_sink.h"

namespace mp4test {

class BuiltTracks {
  public:
    // Sets up every track of the movie, telling `hooks` what setup reports.
    explicit BuiltTracks(const MovieLayout& layout, const DemuxHooks& hooks = DemuxHooks());
    ~BuiltTracks();
    BuiltTracks(const BuiltTracks&) = delete;
    BuiltTracks& operator=(const BuiltTracks&) = delete;

    Mp4Demux& demux() { return demux_; }
    Mp4Track& track(size_t i) { return demux_.tracks.at(i); }
    RecordingSink& sink() { return recording(sink_); }
    const std::string& output() const { return output_; }  // what setup printed

  private:
    std::unique_ptr<TreeFile> file_;
    EsOut* sink_;
    Mp4Demux demux_;
    std::string output_;
};

}  // namespace mp4test
