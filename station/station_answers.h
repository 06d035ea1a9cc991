// What the station answers at the catalogue build (the tables: item list,
// rates, frame multiple, the answer per id and request code), with the rate
// array it hands out and the frame layout the tables imply, worked out again
// only when the tables changed.
#pragma once

#include "contract/station_records.h"
#include "station_geometry.h"
#include "station_tables.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnix::station {

// No lock of its own: the station calls it with its own lock held. Texts it
// returns stay valid until the tables change.
class StationAnswers {
public:
    void Replace(StationTables tables);
    // [script] Edits the tables in place; `edit` is called with them.
    template <typename Change>
    void Edit(Change&& edit) {
        edit(tables_);
        geometryStale_ = true;
    }

    // Fills the frame multiple and the rate array (at least one rate per
    // listed item); the array stays valid until the next fill.
    void FillMetadata(VarnixMetadataBuf* pb);
    const char* ItemList() const { return tables_.itemList ? tables_.itemList->c_str() : nullptr; }
    // The answer to (id, code): "" for an id the tables do not know.
    const char* Answer(const std::string& id, int32_t code) const;
    int32_t FrameMultiple() const { return tables_.frameMultiple; }
    // The layout of a frame, per sensor. Allocates when the tables changed.
    const std::vector<SensorGeometry>& Geometry();

private:
    StationTables tables_;
    std::vector<double> ratesOut_;  // rate array handed out by initialize
    bool geometryStale_ = true;
    std::vector<SensorGeometry> geometry_;
};

}  // namespace varnix::station
