// The embedded default profile: the text of profiles/default.json, compiled in.
#pragma once

namespace varnix::station {

// [any] Static text, valid for the life of the library. Does not allocate.
const char* DefaultProfileText();

}  // namespace varnix::station
