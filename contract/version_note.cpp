// The build's version note, linked into the module and the station library
// on Linux (cmake/BuildVersion.cmake). Nothing reads it at run time: it is
// data in the file, so the binary's exports and behaviour stay as they were.
#include "contract/version_note.h"

#include "contract/build_version.h"

namespace {

// `used`: kept although no code refers to it.
[[gnu::used, gnu::section(VARNIX_VERSION_NOTE_SECTION)]] alignas(4) const varnix::contract::VersionNote
    kBuildVersionNote = varnix::contract::MakeVersionNote(VARNIX_VERSION_TEXT, VARNIX_VERSION_COMMIT);

}  // namespace
