// Reads the version a module or station library records in its file (the
// note of contract/version_note.h) without loading it: a host must learn
// what a module is before it runs any of its code.
#pragma once

#include <string>

namespace varnix::emulator {

struct FileVersion {
    bool recorded = false;  // the file holds our version note
    std::string version;    // "1.2.0", "1.2.0-dirty"
    std::string commit;     // what git described the tree as, or "unknown"
    std::string problem;    // why the file could not be read; empty when it could
};

// [any] Reads the ELF headers and note sections of `path`, at most a few
// kilobytes; allocates, takes no lock. A missing, unreadable, truncated or
// malformed file gives `problem`, never a crash or a read past its end.
FileVersion ReadFileVersion(const std::string& path);

// "version 1.2.0, commit 0123abcd4567", "version not recorded in the file"
// or "version unreadable: <problem>": for a line about the file.
std::string DescribeFileVersion(const FileVersion& version);

}  // namespace varnix::emulator
