// One line of text built in place (the host has no std::string). Too long a
// line is cut and ends in "...".
#pragma once

#include <stddef.h>
#include <stdint.h>

class Text {
public:
    static constexpr size_t kCapacity = 1024;

    Text() { buffer_[0] = '\0'; }
    explicit Text(const char* text) : Text() { Add(text); }

    Text& Add(const char* text);
    Text& Add(const Text& text) { return Add(text.c_str()); }
    Text& Int(int64_t value);
    Text& Unsigned(uint64_t value);
    Text& Hex(uint64_t value);  // 0x-prefixed
    Text& Bool(bool value) { return Add(value ? "true" : "false"); }
    // A text the module handed over, quoted; a null or unreadable pointer is
    // named as such instead of being read (a module with the wrong argument
    // order hands over numbers where texts belong).
    Text& Quoted(const char* text);

    const char* c_str() const { return buffer_; }
    size_t Length() const { return length_; }
    bool Is(const char* text) const;
    Text& Char(char c);

private:
    char buffer_[kCapacity];
    size_t length_ = 0;
    bool cut_ = false;
};

// Plain text tests on NUL-terminated texts.
bool StartsWith(const char* text, const char* prefix);
bool Contains(const char* text, const char* part);
// ASCII letters compared without case, as Windows compares file names.
bool SameTextIgnoringCase(const char* a, const char* b);
// The folder part of a file name: everything before the last '\\' or '/'.
Text FolderOf(const char* path);

// True if the module's pointer can be a text of at most `maxLength` bytes:
// not null, not in the first 64 KiB Windows never maps, and readable.
bool ReadableText(const char* text, size_t maxLength);
// True if `size` bytes at `block` can be read (same rules).
bool ReadableMemory(const void* block, size_t size);
