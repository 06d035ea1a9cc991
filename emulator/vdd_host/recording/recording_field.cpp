#include "emulator/vdd_host/recording/recording_field.h"

#include "emulator/vdd_host/common/version_text.h"

namespace varnix::vddhost {

RecordingSubfields FitRecordingSubfields(const std::vector<std::string>& equipmentChoices,
                                         int session, int sessions,
                                         const std::string& frameMultipleNote) {
    const std::string number = "session " + std::to_string(session);
    // The note alone goes without the "; " that joins it to the session text.
    const size_t noteStart = frameMultipleNote.find_first_not_of("; ");
    const std::string candidates[] = {
        number + " of " + std::to_string(sessions) + frameMultipleNote, number + frameMultipleNote,
        noteStart == std::string::npos ? std::string() : frameMultipleNote.substr(noteStart)};
    RecordingSubfields fitted;
    for (const std::string& equipment : equipmentChoices) {
        fitted = {equipment, candidates[2]};
        const size_t used = equipment.size() + 1;  // and the space after it
        const size_t room = used < kRecordingSubfieldsWidth ? kRecordingSubfieldsWidth - used : 0;
        for (const std::string& additional : candidates) {
            if (additional.size() <= room) return {equipment, additional};
        }
    }
    return fitted;
}

RecordingSubfields RecordingSubfieldsOf(int session, int sessions,
                                        const std::string& frameMultipleNote) {
    return FitRecordingSubfields(EquipmentChoices(), session, sessions, frameMultipleNote);
}

}  // namespace varnix::vddhost
