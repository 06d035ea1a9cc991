#include "tests/windows/pe_image.h"

#include "tests/windows/text.h"

// The linker's symbol at the first byte of this program's image.
extern "C" char __ImageBase;

namespace {

// Offsets into the headers of a PE32+ image.
constexpr uint32_t kNtHeadersOffsetField = 0x3C;
constexpr uint32_t kOptionalHeader = 4 + 20;
constexpr uint32_t kSizeOfImage = kOptionalHeader + 56;
constexpr uint32_t kDataDirectories = kOptionalHeader + 112;
constexpr uint32_t kDelayImportDirectory = 13;

uint32_t Read32(const char* at) {
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(at);
    uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | bytes[i];
    return value;
}

const char* NtHeaders(const char* base) {
    return base + Read32(base + kNtHeadersOffsetField);
}

}  // namespace

ImageRange ImageOf(const void* base) {
    ImageRange range;
    if (base == nullptr) return range;
    const char* image = static_cast<const char*>(base);
    range.begin = reinterpret_cast<uintptr_t>(image);
    range.end = range.begin + Read32(NtHeaders(image) + kSizeOfImage);
    return range;
}

ImageRange HostImage() {
    return ImageOf(&__ImageBase);
}

const char* HostImageBase() {
    return &__ImageBase;
}

const DelayImportDescriptor* FindDelayImports(const char* dll) {
    const char* base = &__ImageBase;
    const char* directory = NtHeaders(base) + kDataDirectories + 8 * kDelayImportDirectory;
    const uint32_t first = Read32(directory);
    if (first == 0) return nullptr;
    for (auto* d = reinterpret_cast<const DelayImportDescriptor*>(base + first); d->dllName != 0;
         ++d) {
        if (SameTextIgnoringCase(base + d->dllName, dll)) return d;
    }
    return nullptr;
}

size_t DelayImportCount(const DelayImportDescriptor& descriptor) {
    const auto* names =
        reinterpret_cast<const uint64_t*>(&__ImageBase + descriptor.importNameTable);
    size_t count = 0;
    while (names[count] != 0) ++count;
    return count;
}

const char* DelayImportName(const DelayImportDescriptor& descriptor, size_t index) {
    const auto* names =
        reinterpret_cast<const uint64_t*>(&__ImageBase + descriptor.importNameTable);
    const uint64_t entry = names[index];
    if ((entry >> 63) != 0) return nullptr;  // by ordinal
    // A hint of two bytes, then the name.
    return &__ImageBase + static_cast<uint32_t>(entry) + 2;
}
