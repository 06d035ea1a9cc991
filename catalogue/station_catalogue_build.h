// Building the sensor catalogue from the station, through the bridge.
#pragma once

#include "bridge/bridge.h"
#include "catalogue/sensor_catalogue.h"

#include <string>

namespace varnix {

// [host] Zeroes all 24 bytes of `metadata`, calls varnix_initialize(metadata,
// 2, 1), asks varnix_infoRequest about every item (catalogue_build.h gives
// the order) and only then groups the answers into `catalogue`, replacing
// whatever it held.
//
// Two-step use, so that no lock is held while the station is called: pass a
// LOCAL metadata buffer and a LOCAL catalogue, then swap both into the plug-in
// state under its catalogue mutex. Nothing outside the two arguments is
// touched. Blocks for as long as the station takes to answer.
//
// Returns true on success (an item list without items is a success and gives
// an empty catalogue). Returns false when the station gave no item list,
// left a request unanswered, or listed items without a rate array: then
// `catalogue` is left EMPTY, so a station that stops answering leaves no
// stale devices behind, and `failure` holds one line naming the request, for
// the caller to log at level 3. The station's texts are never read when null.
//
// Allocates; may throw std::bad_alloc (the export boundary catches it).
bool BuildSensorCatalogue(VarnixMetadataBuf& metadata, SensorCatalogue& catalogue,
                          std::string& failure);

}  // namespace varnix
