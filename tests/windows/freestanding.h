// What the host provides in place of a C runtime: it starts at its own entry
// point, links only kernel32.dll and msvcrt.dll, and has no exceptions, no
// RTTI and no static constructors.
#pragma once

#include <stddef.h>

// Ends the run with a FAIL line naming the running step: allocation is the
// one failure the host cannot carry on from.
[[noreturn]] void OutOfMemory();

// Copies at most `capacity` - 1 bytes of `text` and ends the copy with NUL.
void CopyText(char* target, size_t capacity, const char* text);
bool SameText(const char* a, const char* b);
