#include "emulator/vdd_host/describe/describe_table.h"

#include "emulator/vdd_host/common/unit_names.h"

#include <algorithm>
#include <iomanip>

namespace varnix::vddhost {

namespace {

std::string Joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text.empty() ? "-" : text;
}

std::string Bool(bool value) {
    return value ? "true" : "false";
}

}  // namespace

void PrintDefinitions(const std::vector<emulator::DeviceDefinition>& devices, std::ostream& out) {
    out << devices.size() << (devices.size() == 1 ? " device" : " devices") << " published\n";
    for (size_t d = 0; d < devices.size(); ++d) {
        const emulator::DeviceDefinition& device = devices[d];
        out << "\nDevice " << d + 1 << ": " << device.name << "\n"
            << "  manufacturer: " << device.manufacturer << "   type: " << device.type
            << "   version: " << device.version << "\n"
            << "  description: " << device.description << "   add command: \""
            << device.addCommandCaption << "\"\n";
        size_t nameWidth = 6;
        for (const auto& output : device.outputs)
            nameWidth = std::max(nameWidth, output.name.size());
        out << "  " << std::left << std::setw(static_cast<int>(nameWidth) + 2) << "Output"
            << std::setw(22) << "Unit code"
            << "Components\n";
        for (const auto& output : device.outputs) {
            const std::string unit =
                std::to_string(output.unitCode) + " (" + UnitName(output.unitCode) + ")";
            out << "  " << std::setw(static_cast<int>(nameWidth) + 2) << output.name
                << std::setw(22) << unit << Joined(output.components) << "\n";
        }
        out << std::right;
        if (device.outputs.empty()) out << "  (no outputs)\n";
        out << "  streams: " << device.ComponentCount() << "\n";
        for (const auto& parameter : device.parameters) {
            out << "  parameter " << parameter.key << " \"" << parameter.displayName << "\" group "
                << parameter.group << ", default " << Bool(parameter.defaultValue.value)
                << (parameter.defaultCopied ? "" : " (default value refused its copy)");
            const auto& copied = parameter.defaultValue;
            const auto& reported = parameter.defaultReported;
            if (parameter.defaultCopied &&
                (copied.typeCode != reported.typeCode || copied.value != reported.value ||
                 copied.flag1 != reported.flag1 || copied.flag2 != reported.flag2 ||
                 copied.flag3 != reported.flag3)) {
                out << " (its byte form and its getters disagree: value " << Bool(copied.value)
                    << " vs " << Bool(reported.value) << ", type " << copied.typeCode << " vs "
                    << reported.typeCode << ")";
            }
            if (!parameter.help.empty()) out << ": " << parameter.help;
            out << "\n";
        }
        if (!device.signals.empty()) out << "  signals: " << Joined(device.signals) << "\n";
    }
}

}  // namespace varnix::vddhost
