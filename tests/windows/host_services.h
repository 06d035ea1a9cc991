// The host's services: the log the module writes to (from any of its
// threads), the time base and the start code.
#pragma once

#include "tests/windows/array.h"
#include "tests/windows/sdk_interfaces.h"
#include "tests/windows/text.h"
#include "tests/windows/win32.h"

// Ticks per second the host declares; 2999999 / 2000 Hz = 1499.9995, so a
// period rounded instead of truncated shows.
constexpr uint32_t kTimebase = 2999999;
constexpr int32_t kStartCode = 77;

class HostServices final : public ViconDigitalDevice::IHostServices {
public:
    // [host][acquisition][handoff] Copies the text; takes the log's lock.
    void Log(const char* text, int32_t level) override;
    uint32_t GetTimebase() override { return kTimebase; }
    int32_t GetStartCode() override { return kStartCode; }

    // [host] Lines of `level` whose text is exactly `text`.
    unsigned Count(int32_t level, const char* text);
    // [host] Lines of `level` whose text starts with `prefix`.
    unsigned CountStartingWith(int32_t level, const char* prefix);
    // [host] Every line of `level` not starting with `except` (null: none
    // excepted), joined for a FAIL line; returns how many.
    unsigned Others(int32_t level, const char* except, Text& lines);
    // [host] Every line of `level` that holds `part`, as it came (joined by
    // " | "); returns how many.
    unsigned Containing(int32_t level, const char* part, Text& lines);

private:
    struct Line {
        int32_t level;
        char text[480];
    };
    win::SRWLOCK lock_{};
    Array<Line> lines_;  // under lock_
};
