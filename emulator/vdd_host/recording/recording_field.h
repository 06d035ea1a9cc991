// The recording identification of the EDF+/BDF+ files vdd-host writes:
// "Startdate dd-MMM-yyyy X X <equipment> <additional>". The equipment names
// the build that wrote the file (version_text.h); the additional subfield
// carries "session N of M" and the frame multiple note ("frameMultiple=F")
// that a replay reads back to lay out the frames, which must never be cut:
// a cut "frameMultiple=12" reads as 1.
#pragma once

#include <string>
#include <vector>

namespace varnix::vddhost {

// EDFlib writes at most 66 characters of the header's 80: after the 26 of
// "Startdate 08-DEC-2026 X X " (no admin code nor technician), 40 for the
// equipment, a space and the additional subfield; it cuts what is longer.
constexpr size_t kRecordingSubfieldsWidth = 40;

struct RecordingSubfields {
    std::string equipment;
    std::string additional;
};

// [host] The first of `equipmentChoices` (fullest first) beside which the
// note fits whole, with the fullest session text that still fits:
// "session N of M" + note, "session N" + note, the note alone.
// `frameMultipleNote` is "; frameMultiple=F", or "" for none. Pure.
RecordingSubfields FitRecordingSubfields(const std::vector<std::string>& equipmentChoices,
                                         int session, int sessions,
                                         const std::string& frameMultipleNote);

// [host] FitRecordingSubfields with this build's equipment choices
// (EquipmentChoices() in version_text.h).
RecordingSubfields RecordingSubfieldsOf(int session, int sessions,
                                        const std::string& frameMultipleNote);

}  // namespace varnix::vddhost
