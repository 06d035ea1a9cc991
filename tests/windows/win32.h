// The few Windows functions the reference host calls, declared here because
// no Windows SDK exists on the build machine. kernel32.def and msvcrt.def
// list the same names for the import libraries; both DLLs are Windows' own.
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace win {

using BOOL = int;
using DWORD = unsigned long;
using LONG = long;
using HANDLE = void*;
using HMODULE = void*;
// What GetProcAddress hands back; cast to the entry point's own type.
using FarProc = intptr_t(__stdcall*)();

// Zero-initialised is unlocked (SRWLOCK_INIT).
struct SRWLOCK {
    void* state;
};

struct EXCEPTION_RECORD {
    DWORD code;
    DWORD flags;
    EXCEPTION_RECORD* nested;
    void* address;
    DWORD parameterCount;
    uintptr_t parameters[15];
};
struct EXCEPTION_POINTERS {
    EXCEPTION_RECORD* record;
    void* context;
};
using ExceptionFilter = LONG(__stdcall*)(EXCEPTION_POINTERS*);
using ThreadStart = DWORD(__stdcall*)(void*);

constexpr DWORD kStdOutput = static_cast<DWORD>(-11);
constexpr DWORD kStdError = static_cast<DWORD>(-12);
constexpr DWORD kInvalidFileAttributes = 0xFFFFFFFFu;
constexpr DWORD kDirectoryAttribute = 0x10u;
constexpr LONG kContinueSearch = 0;
constexpr LONG kExecuteHandler = 1;
// SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX:
// a bad module or a crash never opens a dialog.
constexpr DWORD kNoErrorDialogs = 0x0001u | 0x0002u | 0x8000u;

constexpr DWORD kErrorFileNotFound = 2;
constexpr DWORD kErrorPathNotFound = 3;
constexpr DWORD kErrorModNotFound = 126;
constexpr DWORD kErrorProcNotFound = 127;
constexpr DWORD kErrorBadExeFormat = 193;

extern "C" {
__declspec(dllimport) HANDLE __stdcall GetStdHandle(DWORD which);
__declspec(dllimport) BOOL __stdcall WriteFile(HANDLE file, const void* data, DWORD size,
                                               DWORD* written, void* overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned exitCode);
__declspec(dllimport) BOOL __stdcall TerminateProcess(HANDLE process, unsigned exitCode);
__declspec(dllimport) HANDLE __stdcall GetCurrentProcess();
__declspec(dllimport) DWORD __stdcall GetCurrentThreadId();
__declspec(dllimport) DWORD __stdcall GetLastError();
__declspec(dllimport) DWORD __stdcall SetErrorMode(DWORD mode);

__declspec(dllimport) HMODULE __stdcall LoadLibraryA(const char* path);
__declspec(dllimport) BOOL __stdcall FreeLibrary(HMODULE module);
__declspec(dllimport) FarProc __stdcall GetProcAddress(HMODULE module, const char* name);
__declspec(dllimport) HMODULE __stdcall GetModuleHandleA(const char* name);
__declspec(dllimport) DWORD __stdcall GetModuleFileNameA(HMODULE module, char* path, DWORD size);
__declspec(dllimport) DWORD __stdcall GetFileAttributesA(const char* path);
__declspec(dllimport) BOOL __stdcall IsBadStringPtrA(const char* text, uintptr_t maxLength);
__declspec(dllimport) BOOL __stdcall IsBadReadPtr(const void* block, uintptr_t size);

__declspec(dllimport) void __stdcall Sleep(DWORD milliseconds);
__declspec(dllimport) uint64_t __stdcall GetTickCount64();
__declspec(dllimport) HANDLE
    __stdcall CreateThread(void* security, size_t stackSize, ThreadStart start, void* argument,
                           DWORD flags, DWORD* threadId);
__declspec(dllimport) BOOL __stdcall CloseHandle(HANDLE handle);

__declspec(dllimport) void __stdcall AcquireSRWLockExclusive(SRWLOCK* lock);
__declspec(dllimport) void __stdcall ReleaseSRWLockExclusive(SRWLOCK* lock);
__declspec(dllimport) unsigned char __stdcall TryAcquireSRWLockExclusive(SRWLOCK* lock);

__declspec(dllimport) ExceptionFilter __stdcall SetUnhandledExceptionFilter(ExceptionFilter filter);
__declspec(dllimport) void* __stdcall AddVectoredExceptionHandler(unsigned long first,
                                                                  ExceptionFilter handler);

// msvcrt.dll
struct StartupInfo {
    int newMode;
};
__declspec(dllimport) int __cdecl __getmainargs(int* argc, char*** argv, char*** env,
                                                int expandWildcards, StartupInfo* info);
__declspec(dllimport) void* __cdecl malloc(size_t size);
__declspec(dllimport) void* __cdecl realloc(void* block, size_t size);
__declspec(dllimport) void __cdecl free(void* block);
__declspec(dllimport) size_t __cdecl strlen(const char* text);
__declspec(dllimport) int __cdecl strcmp(const char* a, const char* b);
__declspec(dllimport) int __cdecl memcmp(const void* a, const void* b, size_t size);
}

// Holds an SRWLOCK for one scope. Never held while the module is called.
class LockGuard {
public:
    explicit LockGuard(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~LockGuard() { ReleaseSRWLockExclusive(&lock_); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    SRWLOCK& lock_;
};

}  // namespace win
