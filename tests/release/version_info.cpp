// Prints the version resource of each DLL named, as Windows' own
// GetFileVersionInfo reads it (what Explorer's Details tab shows):
//   version_info.exe FILE...
// One "FILE: <path>" line, then "  <Name>: <value>" lines; exit 1 when a file
// has no version resource.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string Narrow(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<size_t>(size > 0 ? size - 1 : 0), '\0');
    if (size > 1) WideCharToMultiByte(CP_UTF8, 0, text, -1, narrow.data(), size, nullptr, nullptr);
    return narrow;
}

std::wstring Widen(const char* text) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(size > 0 ? size - 1 : 0), L'\0');
    if (size > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), size);
    return wide;
}

bool PrintVersion(const char* path) {
    const std::wstring file = Widen(path);
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(file.c_str(), &ignored);
    std::printf("FILE: %s\n", path);
    if (size == 0) {
        std::printf("  no version resource (error %lu)\n", GetLastError());
        return false;
    }
    std::vector<unsigned char> data(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, data.data())) return false;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed) {
        std::printf("  FixedFileVersion: %u.%u.%u.%u\n", unsigned{HIWORD(fixed->dwFileVersionMS)},
                    unsigned{LOWORD(fixed->dwFileVersionMS)},
                    unsigned{HIWORD(fixed->dwFileVersionLS)},
                    unsigned{LOWORD(fixed->dwFileVersionLS)});
        std::printf("  FixedProductVersion: %u.%u.%u.%u\n",
                    unsigned{HIWORD(fixed->dwProductVersionMS)},
                    unsigned{LOWORD(fixed->dwProductVersionMS)},
                    unsigned{HIWORD(fixed->dwProductVersionLS)},
                    unsigned{LOWORD(fixed->dwProductVersionLS)});
        std::printf("  FileType: %s\n", fixed->dwFileType == VFT_DLL ? "DLL" : "other");
    }
    for (const wchar_t* name :
         {L"ProductName", L"ProductVersion", L"FileDescription", L"FileVersion",
          L"OriginalFilename", L"Comments", L"LegalCopyright"}) {
        const std::wstring query = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
        wchar_t* value = nullptr;
        if (VerQueryValueW(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &length) &&
            value != nullptr) {
            std::printf("  %s: %s\n", Narrow(name).c_str(), Narrow(value).c_str());
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bool all = argc > 1;
    for (int i = 1; i < argc; ++i) all = PrintVersion(argv[i]) && all;
    return all ? 0 : 1;
}
