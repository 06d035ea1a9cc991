// Reading PE images in memory: where an image lies, and which names this
// program delay-imports from a DLL.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct ImageRange {
    uintptr_t begin = 0;
    uintptr_t end = 0;
    bool Holds(const void* address) const {
        const uintptr_t at = reinterpret_cast<uintptr_t>(address);
        return at >= begin && at < end;
    }
};

// The image that starts at `base` (a module handle); empty for null.
ImageRange ImageOf(const void* base);
// This program's own image.
ImageRange HostImage();

// The delay-import descriptor as the linker lays it out (all addresses are
// offsets from the image base).
struct DelayImportDescriptor {
    uint32_t attributes;
    uint32_t dllName;
    uint32_t moduleHandle;
    uint32_t importAddressTable;
    uint32_t importNameTable;
    uint32_t boundImportAddressTable;
    uint32_t unloadImportAddressTable;
    uint32_t timeStamp;
};

// The descriptor of this program's delay imports from `dll` (compared without
// case), or null.
const DelayImportDescriptor* FindDelayImports(const char* dll);
// The imported name behind one import address table entry of `descriptor`,
// or null for an import by ordinal.
const char* DelayImportName(const DelayImportDescriptor& descriptor, size_t index);
// How many functions `descriptor` imports.
size_t DelayImportCount(const DelayImportDescriptor& descriptor);
// Base address of this program's image, for the descriptor's offsets.
const char* HostImageBase();
