#include "emulator/vdd_host/capture/csv_export.h"

#include "emulator/vdd_host/common/unit_names.h"

#include <cerrno>
#include <cstring>
#include <system_error>

namespace varnix::vddhost {

namespace {

constexpr size_t kBufferBytes = size_t{1} << 20;

// Quotes a text field when it holds a separator, a quote or a line break.
std::string Field(const std::string& text) {
    if (text.find_first_of(",\"\n\r") == std::string::npos) return text;
    std::string quoted = "\"";
    for (char c : text) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

}  // namespace

bool CsvWriter::Open(const std::string& path, std::string& error) {
    path_ = path;
    file_.reset(std::fopen(path.c_str(), "w"));
    if (!file_) {
        error = "cannot write CSV file " + path + ": " + std::generic_category().message(errno) +
                ": check the folder exists and is writable";
        return false;
    }
    std::setvbuf(file_.get(), nullptr, _IOFBF, kBufferBytes);
    std::fputs("session,device,channel,component,unit,sample,value\n", file_.get());
    return true;
}

void CsvWriter::SetLayouts(const std::vector<DeviceLayout>& layouts) {
    prefixes_.clear();
    names_.clear();
    for (const DeviceLayout& layout : layouts) {
        std::vector<std::string> prefixes;
        for (const StreamName& stream : layout.streams) {
            prefixes.push_back(Field(layout.name) + "," + Field(stream.output) + "," +
                               Field(stream.component) + "," + Field(UnitName(stream.unitCode)));
        }
        prefixes_.push_back(std::move(prefixes));
        names_.push_back(Field(layout.name));
    }
}

void CsvWriter::Take(size_t device, const CapturedPush& push, const PushNotes&) {
    if (!file_ || device >= prefixes_.size()) return;
    const std::vector<std::string>& prefixes = prefixes_[device];
    const size_t samples = push.samplesPerFrame > 0 ? static_cast<size_t>(push.samplesPerFrame) : 0;
    for (size_t j = 0; samples > 0 && j * samples < push.values.size(); ++j) {
        std::string unknown;
        if (j >= prefixes.size())
            unknown = names_[device] + ",?,stream " + std::to_string(j) + ",?";
        const std::string& prefix = j < prefixes.size() ? prefixes[j] : unknown;
        for (size_t i = 0; i < samples && j * samples + i < push.values.size(); ++i) {
            std::fprintf(file_.get(), "%d,%s,%lld,%.9g\n", push.sessionId, prefix.c_str(),
                         static_cast<long long>(push.firstSampleIndex) + static_cast<long long>(i),
                         static_cast<double>(push.values[j * samples + i]));
        }
    }
}

bool CsvWriter::Close(std::string& error) {
    if (!file_) return true;
    const bool failed = std::ferror(file_.get()) != 0;
    const int savedErrno = errno;
    const bool closed = std::fclose(file_.release()) == 0;
    if (failed || !closed) {
        error = "writing CSV file " + path_ +
                " failed: " + std::generic_category().message(failed ? savedErrno : errno) +
                ": check the disk";
        return false;
    }
    return true;
}

}  // namespace varnix::vddhost
