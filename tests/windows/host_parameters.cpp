#include "tests/windows/host_parameters.h"

#include "tests/windows/freestanding.h"

using ViconDigitalDevice::IParameterValue;
using ViconDigitalDevice::IParameterValueTemplate;

namespace {

int KeyIndex(const char* key) {
    if (!ReadableText(key, 64)) return -1;
    for (int i = 0; i < expected::kParameterCount; ++i) {
        if (SameText(key, expected::kParameters[i].key)) return i;
    }
    return -1;
}

}  // namespace

void HostParameters::Set(int key, bool value, FillPath path) {
    values_[key] = value;
    paths_[key] = path;
}

void HostParameters::Fill(IParameterValue& value, const char* key, const char* qualifier,
                          int device) {
    Read read{};
    read.device = device;
    read.key = KeyIndex(key);
    read.qualifierEmpty = ReadableText(qualifier, 8) && qualifier[0] == '\0';
    read.typeCodeOne = value.TypeCode() == 1;
    if (read.key >= 0 && read.typeCodeOne) {
        // Only a boolean value object may be addressed at the typed slots.
        auto& typed = static_cast<IParameterValueTemplate<bool>&>(value);
        const bool setting = values_[read.key];
        if (paths_[read.key] == FillPath::kSetValue) {
            typed.SetValue(setting);
            read.filled = true;
        } else {
            const uint8_t form[8] = {1, 0, 0, 0, setting ? uint8_t{1} : uint8_t{0}, 0, 0, 0};
            read.filled = value.AssignBytes(form, sizeof form);
        }
        read.readBack = typed.Value() == setting;
    }
    win::LockGuard lock(lock_);
    reads_.Push(read);
}

size_t HostParameters::ReadCount() {
    win::LockGuard lock(lock_);
    return reads_.Size();
}

HostParameters::Read HostParameters::ReadAt(size_t index) {
    win::LockGuard lock(lock_);
    return reads_[index];
}
