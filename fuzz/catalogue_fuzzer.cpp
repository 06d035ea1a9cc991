// Drives the catalogue build with an arbitrary item list, arbitrary station
// answers (null included) and arbitrary rates, then checks what every reader
// of the catalogue relies on. Any broken rule traps.
//
// Input: frameMultiple (4 bytes), a control byte, the item list (a
// length-prefixed string); then, question by question, one byte picking the
// answer (null, one of a few recurring names, or a fresh string from the
// input); then the rates, 8 bytes each (0 when the input runs out).
#include "catalogue/catalogue_build.h"
#include "catalogue/frame_geometry.h"
#include "catalogue/unit_mapping.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

using varnix::CatalogueBuildResult;
using varnix::ChannelRecord;
using varnix::ComputeFrameGeometry;
using varnix::GroupItems;
using varnix::HostUnitFromText;
using varnix::ItemAnswers;
using varnix::QueryItems;
using varnix::SamplesPerFrame;
using varnix::SensorCatalogue;
using varnix::SensorGeometry;
using varnix::SensorRecord;
using varnix::StationAnswerSource;

namespace {

void Require(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

class FuzzedAnswers final : public StationAnswerSource {
public:
    explicit FuzzedAnswers(FuzzedDataProvider& input) : input_(input) {}

    const char* InfoRequest(const char* id, int code) override {
        Require(id != nullptr);
        Require(code == 0 || code == 2 || code == 3);
        ++questions;
        // Recurring names make sensors and channels group; the rest are new.
        static const char* const kNames[] = {"", "s7", "emg", "VOLTS", "emg 1", "a|b", "+"};
        const uint8_t pick = input_.ConsumeIntegral<uint8_t>();
        if (pick == 0xFF) {
            return nullptr;
        }
        if (pick < 0xC0) {
            answer_ = kNames[pick % (sizeof kNames / sizeof kNames[0])];
        } else {
            answer_ = input_.ConsumeRandomLengthString(32);
        }
        return answer_.c_str();
    }

    size_t questions = 0;

private:
    FuzzedDataProvider& input_;
    std::string answer_;
};

void CheckCatalogue(const CatalogueBuildResult& result, const SensorCatalogue& catalogue,
                    const std::vector<double>& rates) {
    std::set<std::string> sensorNames;
    size_t streams = 0;
    for (const SensorRecord& sensor : catalogue) {
        Require(sensorNames.insert(sensor.name).second);
        Require(!sensor.channels.empty());
        std::set<std::string> channelNames;
        int64_t components = 0;
        for (const ChannelRecord& channel : sensor.channels) {
            Require(channelNames.insert(channel.name).second);
            Require(!channel.componentNames.empty());
            components += static_cast<int64_t>(channel.componentNames.size());
            Require(HostUnitFromText(channel.unitText) >= 0 &&
                    HostUnitFromText(channel.unitText) <= 25);
        }
        Require(sensor.streamCount == components);
        streams += static_cast<size_t>(sensor.streamCount);
    }
    Require(streams == result.items.size());
    // Each sensor's rate is the one at the position of its first item.
    for (const ItemAnswers& item : result.items) {
        Require(item.position < result.positionCount);
    }
    for (const SensorRecord& sensor : catalogue) {
        for (const ItemAnswers& item : result.items) {
            if (item.sensorName == sensor.name) {
                Require(std::memcmp(&sensor.sampleRate, &rates[item.position], sizeof(double)) ==
                        0);
                break;
            }
        }
    }
}

void CheckGeometry(const SensorCatalogue& catalogue, int32_t frameMultiple) {
    const std::vector<SensorGeometry> geometry = ComputeFrameGeometry(catalogue, frameMultiple);
    Require(geometry.size() == catalogue.size());
    uint32_t offset = 0;
    for (size_t i = 0; i < geometry.size(); ++i) {
        Require(static_cast<uint32_t>(geometry[i].frameOffset) == offset);
        Require(geometry[i].samplesPerFrame ==
                SamplesPerFrame(frameMultiple, catalogue[i].sampleRate));
        Require(static_cast<size_t>(geometry[i].channelCount) == catalogue[i].channels.size());
        offset += static_cast<uint32_t>(geometry[i].valuesPerFrame);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider input(data, size);
    const int32_t frameMultiple = input.ConsumeIntegral<int32_t>();
    const uint8_t control = input.ConsumeIntegral<uint8_t>();
    const bool nullList = control == 0xFF;
    const bool nullRates = control == 0xFE;
    const std::string list = input.ConsumeRandomLengthString(512);

    FuzzedAnswers answers(input);
    const CatalogueBuildResult result = QueryItems(nullList ? nullptr : list.c_str(), answers);
    Require(result.ok || !result.failure.empty());
    Require(result.ok || result.items.empty());
    Require(result.items.size() <= result.positionCount);
    Require(answers.questions <= 4 * result.positionCount);

    // Exactly as many rates as the list has positions, so ASan catches a read
    // past them.
    std::vector<double> rates(result.positionCount);
    for (double& rate : rates) {
        if (input.remaining_bytes() >= sizeof(double)) {
            const std::vector<uint8_t> bits = input.ConsumeBytes<uint8_t>(sizeof(double));
            std::memcpy(&rate, bits.data(), sizeof rate);
        }
    }
    const SensorCatalogue catalogue = GroupItems(result, nullRates ? nullptr : rates.data());
    if (!result.ok || (nullRates && !result.items.empty())) {
        Require(catalogue.empty());
    } else {
        CheckCatalogue(result, catalogue, rates);
    }
    CheckGeometry(catalogue, frameMultiple);
    return 0;
}
