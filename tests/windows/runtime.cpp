// The pieces a C runtime would bring that clang-cl's code refers to: the
// floating-point marker, the pure-call trap, operator new and delete.
#include "tests/windows/freestanding.h"
#include "tests/windows/run_guard.h"
#include "tests/windows/win32.h"

// The linker looks for it once any floating-point type appears.
extern "C" int _fltused = 0;

// A call through a pure virtual slot: only a module calling a host object
// whose construction it watched fail could get here.
extern "C" int __cdecl _purecall() {
    guard::Fatal("a pure virtual function was called");
}

void* operator new(size_t size) {
    void* block = win::malloc(size == 0 ? 1 : size);
    if (block == nullptr) OutOfMemory();
    return block;
}
void operator delete(void* block) noexcept {
    win::free(block);
}
void operator delete(void* block, size_t) noexcept {
    win::free(block);
}

[[noreturn]] void OutOfMemory() {
    guard::Fatal("the host ran out of memory");
}

void CopyText(char* target, size_t capacity, const char* text) {
    if (capacity == 0) return;
    size_t i = 0;
    for (; text != nullptr && text[i] != '\0' && i + 1 < capacity; ++i) target[i] = text[i];
    target[i] = '\0';
}

bool SameText(const char* a, const char* b) {
    if (a == nullptr || b == nullptr) return a == b;
    return win::strcmp(a, b) == 0;
}
