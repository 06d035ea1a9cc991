#include "station_answers.h"

#include <algorithm>

namespace varnix::station {

namespace {

size_t ItemCount(const std::optional<std::string>& itemList) {
    return itemList ? static_cast<size_t>(std::count(itemList->begin(), itemList->end(), '|')) : 0;
}

}  // namespace

void StationAnswers::Replace(StationTables tables) {
    tables_ = std::move(tables);
    geometryStale_ = true;
}

void StationAnswers::FillMetadata(VarnixMetadataBuf* pb) {
    if (pb == nullptr) return;
    // At least one rate per listed item, whatever a script provided.
    ratesOut_ = tables_.rates;
    if (ratesOut_.size() < ItemCount(tables_.itemList)) {
        ratesOut_.resize(ItemCount(tables_.itemList), 0.0);
    }
    pb->frameMultiple = tables_.frameMultiple;
    pb->sampleRates = ratesOut_.data();
}

const char* StationAnswers::Answer(const std::string& id, int32_t code) const {
    const auto answer = tables_.answers.find({id, code});
    if (answer == tables_.answers.end()) return "";
    return answer->second ? answer->second->c_str() : nullptr;
}

const std::vector<SensorGeometry>& StationAnswers::Geometry() {
    if (geometryStale_) {
        geometry_ = GeometryFromTables(tables_);
        geometryStale_ = false;
    }
    return geometry_;
}

}  // namespace varnix::station
