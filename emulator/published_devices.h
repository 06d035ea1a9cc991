// The host's structured picture of the device definitions a plug-in published.
#pragma once

#include "emulator/host_bool_value.h"

#include <cstdint>
#include <string>
#include <vector>

namespace varnix::emulator {

struct OutputDefinition {
    std::string name;
    int32_t unitCode = 0;
    std::vector<std::string> components;
};

struct ParameterDefinition {
    std::string key;
    std::string displayName;
    std::string help;
    std::string group;
    bool flag = false;
    BoolValueState defaultValue;     // read through the plug-in's CopyTo (the byte form)
    bool defaultCopied = false;      // CopyTo answered true
    BoolValueState defaultReported;  // what its TypeCode, Value and Flag1..3 answer
    bool reservedWasNull = true;
};

struct DeviceDefinition {
    std::string manufacturer;
    std::string name;
    std::string version;
    std::string nameAgain;
    std::string type;
    std::string addCommandCaption;
    std::string description;
    std::vector<OutputDefinition> outputs;
    std::vector<ParameterDefinition> parameters;
    std::vector<std::string> signals;
    bool committed = false;

    // Streams of the device: every component of every output.
    size_t ComponentCount() const {
        size_t count = 0;
        for (const OutputDefinition& output : outputs) count += output.components.size();
        return count;
    }
};

}  // namespace varnix::emulator
