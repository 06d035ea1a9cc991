#include "tests/windows/call_journal.h"

#include "tests/windows/freestanding.h"

void CallJournal::Add(const Text& line) {
    Line copy;
    CopyText(copy.text, sizeof copy.text, line.c_str());
    lines_.Push(copy);
}

bool CallJournal::Matches(size_t begin, size_t end, const CallJournal& expected,
                          Text& detail) const {
    const size_t got = end - begin;
    for (size_t i = 0; i < got && i < expected.Size(); ++i) {
        if (SameText(At(begin + i), expected.At(i))) continue;
        detail.Add("call ").Unsigned(i + 1).Add(": expected ").Add(expected.At(i));
        detail.Add(", got ").Add(At(begin + i));
        return false;
    }
    if (got == expected.Size()) return true;
    detail.Unsigned(got).Add(" calls, expected ").Unsigned(expected.Size());
    if (got < expected.Size()) {
        detail.Add("; first missing: ").Add(expected.At(got));
    } else {
        detail.Add("; first extra: ").Add(At(begin + expected.Size()));
    }
    return false;
}
