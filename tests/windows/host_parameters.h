// The trigger settings the host holds for the first device, and how it hands
// them to the plug-in: GetParameterValue writes a setting into the plug-in's
// value object either with SetValue (slot 11, `const bool&`) or with the
// 8-byte form through AssignBytes (slot 3), then reads it back with Value().
// Every read is recorded. [host][acquisition]: the session start reads them
// on the plug-in's acquisition thread.
#pragma once

#include "tests/windows/array.h"
#include "tests/windows/expected_definitions.h"
#include "tests/windows/sdk_interfaces.h"
#include "tests/windows/text.h"
#include "tests/windows/win32.h"

enum class FillPath { kSetValue, kAssignBytes };

class HostParameters {
public:
    struct Read {
        int device;  // the context it came through
        int key;     // index into expected::kParameters, -1: unknown key
        bool qualifierEmpty;
        bool typeCodeOne;  // the object said TypeCode 1 before it was filled
        bool filled;       // AssignBytes answered true (SetValue has no answer)
        bool readBack;     // Value() answered what the host wrote
    };

    // [host] Before the module reads: setting `key` (index into
    // expected::kParameters) holds `value`, handed over by `path`.
    void Set(int key, bool value, FillPath path);
    bool Value(int key) const { return values_[key]; }
    FillPath Path(int key) const { return paths_[key]; }

    // [host][acquisition] GetParameterValue's work. Takes the lock only to record.
    void Fill(ViconDigitalDevice::IParameterValue& value, const char* key, const char* qualifier,
              int device);

    // [host] The reads so far, copied under the lock.
    size_t ReadCount();
    Read ReadAt(size_t index);

private:
    bool values_[expected::kParameterCount] = {};
    FillPath paths_[expected::kParameterCount] = {};
    win::SRWLOCK lock_{};
    Array<Read> reads_;  // under lock_
};
