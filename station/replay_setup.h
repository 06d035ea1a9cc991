// Everything a replay profile needs before the station can answer from it:
// the recording opened and checked, its signals laid out as sensors, the
// frames it holds from where the replay begins, and the trigger pulses its
// annotations tell.
//
// Frames: the whole frames every stream has samples for; when the recording
// carries vdd-host's "recording ends; padding follows" mark, only the frames
// before it (the padding of the last record is not data). A replay that
// begins `from` seconds in starts at the frame that holds that moment.
// Pulses: the first "start pulse" and the first "stop pulse" from the
// replay's beginning to the end of the file's records, at their time from
// it.
#pragma once

#include "profile.h"
#include "recording_player.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace varnix::station {

struct ReplayPulses {
    std::optional<int64_t> startNs;  // from the replay's first frame
    std::optional<int64_t> stopNs;
};

struct PreparedReplay {
    std::unique_ptr<RecordingPlayer> player;
    ReplayPulses pulses;
    std::vector<std::string> warnings;  // one line each, for stderr
};

// [any] Opens `profile.replay`'s recording and fills `profile.sensors` and
// `profile.frameMultiple` from it. False with one line in `error`. Blocks on
// the disk (it reads the header and every record's annotations); allocates.
bool PrepareReplay(Profile& profile, PreparedReplay& prepared, std::string& error);

}  // namespace varnix::station
