// Building the sensor catalogue from what the station says about itself, in
// two phases that never mix:
//
//   1. QueryItems walks the item list and asks the station about every item,
//      in a fixed order, copying every answer at once. It touches no
//      catalogue, so a caller may run it without holding any lock.
//   2. GroupItems turns those answers and the rate array into a fresh
//      catalogue: items grouped into sensors by sensor name and into channels
//      by channel name, exact byte comparison, linear scans.
//
// Both phases are pure: an item-list text and a source of answers in, a
// catalogue out. The plug-in feeds them from the station (see
// station_catalogue_build.h); tests and the fuzzer feed them directly.
//
// The item list is a run of item ids, each closed by "|". Text after the last
// "|" is no item. The group id of an item is its text before the first "+"
// (the whole id when it holds none). For every item the station is asked
//   (item, 2)  unit text
//   (group, 0) channel name, only when the group differs from the last one asked
//   (item, 0)  component name
//   (item, 3)  sensor name
//
// Choices where the station's format leaves room:
//   - An empty item ("||", or "|" at the very start) is skipped: nothing is
//     asked about it and it joins no sensor, but it keeps its position, so the
//     items behind it still take their rates from their own entry of the
//     rate array.
//   - The first item always asks about its group, even an empty one (an id
//     beginning with "+"): there is no channel name yet to reuse. Later items
//     follow the rule above, so an empty group after another group is asked
//     about like any other group change.
//   - A null answer ends the build: it is never read, the answers gathered so
//     far are dropped, and `failure` names the request. The caller publishes
//     nothing from such a build (an empty catalogue), rather than devices the
//     station no longer vouches for.
#pragma once

#include "catalogue/sensor_catalogue.h"

#include <cstddef>
#include <string>
#include <vector>

namespace varnix {

// Where the answers of the station come from. [host]
class StationAnswerSource {
public:
    // Returns the answer to information request `code` about `id`, or null
    // when the station gives none. `id` is lent for the call. The text stays
    // owned by the source and valid only until its next call: the build
    // copies it at once. May block (it may be a call into the station).
    virtual const char* InfoRequest(const char* id, int code) = 0;

protected:
    ~StationAnswerSource() = default;
};

// Everything phase 1 learnt about one item. [host]
struct ItemAnswers {
    size_t position = 0;        // place in the item list, empty items counted; index into the rates
    std::string unitText;       // answer to (item, 2)
    std::string channelName;    // latest answer to (group, 0) when the item was read
    std::string componentName;  // answer to (item, 0)
    std::string sensorName;     // answer to (item, 3)
};

// The product of phase 1.
struct CatalogueBuildResult {
    bool ok = true;                  // false: a request went unanswered
    std::string failure;             // one readable line when !ok
    std::vector<ItemAnswers> items;  // non-empty items in list order; empty when !ok
    size_t positionCount = 0;        // items in the list, empty ones included:
                                     // the rate array needs this many entries
};

// [host] Phase 1. `itemListText` null is a failure (the station gave no item list).
// Asks `answers` in the exact order above and stops at the first null answer.
// Allocates; may throw std::bad_alloc; takes no lock.
CatalogueBuildResult QueryItems(const char* itemListText, StationAnswerSource& answers);

// [host] Phase 2. `sampleRates` must have result.positionCount entries; entry
// `position` gives the rate of a sensor whose first item sits there. Reads
// the rates only for items present, so it may be null when there are none;
// a failed result, or a null `sampleRates` with items, gives an empty
// catalogue. Allocates; may throw std::bad_alloc.
SensorCatalogue GroupItems(const CatalogueBuildResult& result, const double* sampleRates);

}  // namespace varnix
