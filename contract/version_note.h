// How our Linux binaries (the module, the station library) record the
// version they were built as: one ELF note, so that a tool reads it from the
// file without loading it (a host must not run a module's code to learn what
// it is). `readelf -n FILE` shows it too. The Windows DLLs carry the same
// facts in their version resource instead.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace varnix::contract {

// The note's owner name (NUL included) and type, as `readelf -n` prints them.
constexpr char kVersionNoteOwner[] = "Varnix";
constexpr uint32_t kVersionNoteType = 0x5645;  // "VE"
// Its section; ".note" makes the assembler give it the note type.
#define VARNIX_VERSION_NOTE_SECTION ".note.varnix.version"

// The description: the version text, a NUL, the commit, NULs to the end.
constexpr size_t kVersionNoteTextSize = 96;

// The note exactly as the ELF format lays it out: three 4-byte words, the
// owner padded to 4 bytes, the description (a multiple of 4 bytes).
struct VersionNote {
    uint32_t ownerSize;
    uint32_t textSize;
    uint32_t type;
    char owner[8];
    char text[kVersionNoteTextSize];
};
static_assert(sizeof kVersionNoteOwner <= sizeof VersionNote::owner);
static_assert(offsetof(VersionNote, owner) == 12 && offsetof(VersionNote, text) == 20);
static_assert(kVersionNoteTextSize % 4 == 0 && sizeof(VersionNote) == 20 + kVersionNoteTextSize);

// The note for `version` and `commit`; each is cut to fit, so the two texts
// and their NULs never overrun the description.
constexpr VersionNote MakeVersionNote(const char* version, const char* commit) {
    VersionNote note{sizeof kVersionNoteOwner, kVersionNoteTextSize, kVersionNoteType, {}, {}};
    for (size_t i = 0; i < sizeof kVersionNoteOwner; ++i) note.owner[i] = kVersionNoteOwner[i];
    size_t at = 0;
    for (const char* text : {version, commit}) {
        for (; *text != '\0' && at < kVersionNoteTextSize - 2; ++text) note.text[at++] = *text;
        note.text[at++] = '\0';
    }
    return note;
}

}  // namespace varnix::contract
