// Plays a recording's data records back as the station's frames: frame k
// holds samples k x S .. k x S + S - 1 of every stream, S the stream's
// samples per frame, counted from the frame the replay begins at. Each value
// is the signal's physical value (its digital sample through the header's
// ranges) times its unit's scale, as a 4-byte float.
//
// Records are read one at a time as frames need them; each stream keeps only
// the samples of the last record it has not handed out yet, so memory is a
// record and a frame whatever the recording's length. After the last frame
// the player either has no more (Produce answers false) or, looping, starts
// again at its first frame.
#pragma once

#include "frame_source.h"
#include "recording_file.h"
#include "replay_layout.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace varnix::station {

// [any] Not thread-safe: the station calls it under its own lock. Produce
// blocks on the disk when it reads a record; it allocates only while its
// buffers grow to their size.
class RecordingPlayer final : public FrameSource {
public:
    // Plays `frameCount` frames of `file` from frame `firstFrame` on.
    RecordingPlayer(std::unique_ptr<RecordingFile> file, ReplayLayout layout, int64_t firstFrame,
                    int64_t frameCount, bool loop);

    void Restart() override;
    size_t FrameValueCount() const override { return frameValues_; }
    bool Produce(float* out) override;

    // The error of a read that failed during the replay (the file shrank),
    // once; "" when there is none to tell. The player has ended then.
    std::string TakeReadError();

private:
    struct Stream {
        size_t signal = 0;
        int32_t samplesPerFrame = 0;
        double scale = 1.0;
        size_t offset = 0;           // of its samples in a frame
        int64_t skip = 0;            // samples still to drop before the first frame
        std::vector<float> pending;  // decoded, not handed out yet, from `head` on
        size_t head = 0;
    };
    bool ReadNextRecord();
    void Append(Stream& stream, const char* samples);

    std::unique_ptr<RecordingFile> file_;
    ReplayLayout layout_;
    int64_t firstFrame_ = 0;
    int64_t frameCount_ = 0;
    bool loop_ = false;
    std::vector<Stream> streams_;
    size_t frameValues_ = 0;
    int64_t firstRecord_ = 0;  // where a restart reads from
    int64_t nextRecord_ = 0;
    int64_t played_ = 0;  // frames since the last restart
    std::vector<char> record_;
    bool failed_ = false;
    std::string readError_;
};

}  // namespace varnix::station
