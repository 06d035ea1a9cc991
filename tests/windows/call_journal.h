// The calls a module made on one host object, one line of text each, in
// order: `DefineDevice("Varnix, Inc", "EMG 1", ...)`, `AddOutput("EMG", 20)`.
// What the host expects is written with the same functions, so a check is a
// comparison of lines and a failure shows both.
#pragma once

#include "tests/windows/array.h"
#include "tests/windows/text.h"

class CallJournal {
public:
    struct Line {
        char text[400];
    };

    void Add(const Text& line);
    size_t Size() const { return lines_.Size(); }
    const char* At(size_t index) const { return lines_[index].text; }
    void Clear() { lines_.Clear(); }

    // Compares lines [begin, end) of this journal with `expected` (all of
    // it). True when they match; otherwise `detail` says where and how.
    bool Matches(size_t begin, size_t end, const CallJournal& expected, Text& detail) const;

private:
    Array<Line> lines_;
};
