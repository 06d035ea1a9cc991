#include "tests/windows/host_services.h"

#include "tests/windows/freestanding.h"

void HostServices::Log(const char* text, int32_t level) {
    Line line{};
    line.level = level;
    CopyText(line.text, sizeof line.text,
             ReadableText(text, sizeof line.text) ? text : "<not a text>");
    win::LockGuard lock(lock_);
    lines_.Push(line);
}

unsigned HostServices::Count(int32_t level, const char* text) {
    win::LockGuard lock(lock_);
    unsigned count = 0;
    for (size_t i = 0; i < lines_.Size(); ++i) {
        if (lines_[i].level == level && SameText(lines_[i].text, text)) ++count;
    }
    return count;
}

unsigned HostServices::CountStartingWith(int32_t level, const char* prefix) {
    win::LockGuard lock(lock_);
    unsigned count = 0;
    for (size_t i = 0; i < lines_.Size(); ++i) {
        if (lines_[i].level == level && StartsWith(lines_[i].text, prefix)) ++count;
    }
    return count;
}

unsigned HostServices::Others(int32_t level, const char* except, Text& lines) {
    win::LockGuard lock(lock_);
    unsigned count = 0;
    for (size_t i = 0; i < lines_.Size(); ++i) {
        if (lines_[i].level != level) continue;
        if (except != nullptr && StartsWith(lines_[i].text, except)) continue;
        lines.Add(count == 0 ? "" : "; ").Quoted(lines_[i].text);
        ++count;
    }
    return count;
}

unsigned HostServices::Containing(int32_t level, const char* part, Text& lines) {
    win::LockGuard lock(lock_);
    unsigned count = 0;
    for (size_t i = 0; i < lines_.Size(); ++i) {
        if (lines_[i].level != level || !Contains(lines_[i].text, part)) continue;
        lines.Add(count == 0 ? "" : " | ").Add(lines_[i].text);
        ++count;
    }
    return count;
}
