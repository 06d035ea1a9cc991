#include "tests/windows/text.h"

#include "tests/windows/freestanding.h"
#include "tests/windows/win32.h"

namespace {

constexpr size_t kQuotedMax = 480;
constexpr uintptr_t kLowestMapped = 0x10000;

}  // namespace

Text& Text::Char(char c) {
    if (cut_) return *this;
    if (length_ + 4 >= kCapacity) {
        for (int i = 0; i < 3; ++i) buffer_[length_++] = '.';
        buffer_[length_] = '\0';
        cut_ = true;
        return *this;
    }
    buffer_[length_++] = c;
    buffer_[length_] = '\0';
    return *this;
}

Text& Text::Add(const char* text) {
    if (text == nullptr) return Add("(null)");
    for (size_t i = 0; text[i] != '\0'; ++i) Char(text[i]);
    return *this;
}

Text& Text::Unsigned(uint64_t value) {
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (count > 0) Char(digits[--count]);
    return *this;
}

Text& Text::Int(int64_t value) {
    if (value >= 0) return Unsigned(static_cast<uint64_t>(value));
    Char('-');
    return Unsigned(0 - static_cast<uint64_t>(value));
}

Text& Text::Hex(uint64_t value) {
    Add("0x");
    char digits[16];
    size_t count = 0;
    do {
        digits[count++] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
    } while (value != 0);
    while (count > 0) Char(digits[--count]);
    return *this;
}

Text& Text::Quoted(const char* text) {
    if (text == nullptr) return Add("null");
    if (!ReadableText(text, kQuotedMax + 1)) {
        return Add("<not a text: ").Hex(reinterpret_cast<uintptr_t>(text)).Add(">");
    }
    Char('"');
    size_t i = 0;
    for (; text[i] != '\0' && i < kQuotedMax; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F) {
            Add("\\x").Char("0123456789ABCDEF"[c >> 4]).Char("0123456789ABCDEF"[c & 0xF]);
        } else {
            if (c == '"' || c == '\\') Char('\\');
            Char(static_cast<char>(c));
        }
    }
    Char('"');
    if (text[i] != '\0') Add("...");
    return *this;
}

bool Text::Is(const char* text) const {
    return SameText(buffer_, text);
}

bool StartsWith(const char* text, const char* prefix) {
    for (; *prefix != '\0'; ++prefix, ++text) {
        if (*text != *prefix) return false;
    }
    return true;
}

bool Contains(const char* text, const char* part) {
    for (; *text != '\0'; ++text) {
        if (StartsWith(text, part)) return true;
    }
    return part[0] == '\0';
}

bool SameTextIgnoringCase(const char* a, const char* b) {
    for (; *a != '\0' && *b != '\0'; ++a, ++b) {
        const char ca = (*a >= 'A' && *a <= 'Z') ? static_cast<char>(*a + 32) : *a;
        const char cb = (*b >= 'A' && *b <= 'Z') ? static_cast<char>(*b + 32) : *b;
        if (ca != cb) return false;
    }
    return *a == *b;
}

Text FolderOf(const char* path) {
    size_t end = 0;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        if (path[i] == '\\' || path[i] == '/') end = i;
    }
    Text folder;
    for (size_t i = 0; i < end; ++i) folder.Char(path[i]);
    return folder;
}

bool ReadableText(const char* text, size_t maxLength) {
    if (reinterpret_cast<uintptr_t>(text) < kLowestMapped) return false;
    // The system probes the bytes under its own exception handler; the run
    // guard leaves faults outside the host and the module to that handler.
    return win::IsBadStringPtrA(text, maxLength) == 0;
}

bool ReadableMemory(const void* block, size_t size) {
    if (reinterpret_cast<uintptr_t>(block) < kLowestMapped) return false;
    return win::IsBadReadPtr(block, size) == 0;
}
