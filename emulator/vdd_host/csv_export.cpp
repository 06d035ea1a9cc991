#include "emulator/vdd_host/csv_export.h"

#include "emulator/vdd_host/unit_names.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace varnix::vddhost {

namespace {

// Quotes a text field when it holds a separator, a quote or a line break.
std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

bool WriteCsv(const std::string& path, const PushChecker& checker, std::string& error) {
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "w"), &std::fclose);
    if (!file) {
        error = "cannot write CSV file " + path + ": " + std::strerror(errno);
        return false;
    }
    std::fputs("session,device,channel,component,unit,sample,value\n", file.get());
    for (size_t d = 0; d < checker.DeviceCount(); ++d) {
        const DeviceLayout& layout = checker.Layouts()[d];
        std::vector<std::string> prefixes;  // per stream: "device,channel,component,unit"
        for (const StreamName& stream : layout.streams) {
            prefixes.push_back(Field(layout.name) + "," + Field(stream.output) + "," + Field(stream.component) +
                               "," + Field(UnitName(stream.unitCode)));
        }
        for (const CapturedPush& push : checker.Kept(d)) {
            const size_t samples = push.samplesPerFrame > 0 ? static_cast<size_t>(push.samplesPerFrame) : 0;
            for (size_t j = 0; j * samples < push.values.size() && samples > 0; ++j) {
                const std::string prefix =
                    j < prefixes.size() ? prefixes[j] : Field(layout.name) + ",?,stream " + std::to_string(j) + ",?";
                for (size_t i = 0; i < samples && j * samples + i < push.values.size(); ++i) {
                    std::fprintf(file.get(), "%d,%s,%lld,%.9g\n", push.sessionId, prefix.c_str(),
                                 static_cast<long long>(push.firstSampleIndex + static_cast<int64_t>(i)),
                                 static_cast<double>(push.values[j * samples + i]));
                }
            }
        }
    }
    if (std::ferror(file.get()) != 0) {
        error = "writing CSV file " + path + " failed: " + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace varnix::vddhost
