#include "catalogue/station_catalogue_build.h"

#include "catalogue/catalogue_build.h"

#include <cstring>

namespace varnix {

namespace {

constexpr int kFrameThroughput = 2;
constexpr int kChannelOrganizationSelection = 1;

// Answers straight from the station. The text belongs to the station until
// the next bridge call; QueryItems copies it before asking again.
class BridgeAnswerSource final : public StationAnswerSource {
public:
    const char* InfoRequest(const char* id, int code) override {
        return varnix_infoRequest(id, code);
    }
};

}  // namespace

bool BuildSensorCatalogue(VarnixMetadataBuf& metadata, SensorCatalogue& catalogue,
                          std::string& failure) {
    catalogue.clear();
    failure.clear();

    std::memset(&metadata, 0, sizeof metadata);
    const char* itemList =
        varnix_initialize(metadata, kFrameThroughput, kChannelOrganizationSelection);

    BridgeAnswerSource station;
    const CatalogueBuildResult answers = QueryItems(itemList, station);
    if (!answers.ok) {
        failure = answers.failure;
        return false;
    }
    if (!answers.items.empty() && metadata.sampleRates == nullptr) {
        failure = "station listed " + std::to_string(answers.items.size()) +
                  " items but handed out no sample rates; no devices are published";
        return false;
    }
    catalogue = GroupItems(answers, metadata.sampleRates);
    return true;
}

}  // namespace varnix
