// --csv: every received sample as one row a spreadsheet opens directly,
// written as the pushes are checked.
//   session,device,channel,component,unit,sample,value
// `sample` is the push's first-sample index plus the sample's place in the
// push; `value` is printed with 9 significant digits, enough to read back
// the exact 4-byte value. Rows come push by push in the order the host
// checks them: each device's in its own order, devices interleaved.
#pragma once

#include "emulator/vdd_host/common/device_layout.h"
#include "emulator/vdd_host/common/push_sink.h"

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace varnix::vddhost {

// [host] Main thread only. Take writes through a stdio buffer (may block on
// the disk); it does not allocate per sample.
class CsvWriter final : public PushSink {
public:
    // Creates the file and writes the header. False with `error` set.
    bool Open(const std::string& path, std::string& error);
    // The devices' names; before the first Take.
    void SetLayouts(const std::vector<DeviceLayout>& layouts);
    void Take(size_t device, const CapturedPush& push, const PushNotes& notes) override;
    // Flushes and closes. False with `error` set when any write failed.
    bool Close(std::string& error);

private:
    std::string path_;
    std::unique_ptr<FILE, int (*)(FILE*)> file_{nullptr, &std::fclose};
    std::vector<std::vector<std::string>>
        prefixes_;                    // per device, per stream: "device,channel,component,unit"
    std::vector<std::string> names_;  // per device
};

}  // namespace varnix::vddhost
