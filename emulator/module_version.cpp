#include "emulator/module_version.h"

#include "contract/version_note.h"

#include <elf.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <vector>

namespace varnix::emulator {

namespace {

// No note section of ours comes near this; a larger one is not read.
constexpr uint64_t kMaxNoteSectionBytes = uint64_t{64} * 1024;

class FileReader {
public:
    explicit FileReader(const std::string& path) : file_(path, std::ios::binary | std::ios::ate) {
        if (file_) size_ = static_cast<uint64_t>(file_.tellg());
    }
    bool Open() const { return static_cast<bool>(file_); }

    // Fills `into` from `offset` when all `size` bytes lie inside the file.
    bool ReadAt(uint64_t offset, void* into, uint64_t size) {
        if (offset > size_ || size > size_ - offset) return false;
        file_.seekg(static_cast<std::streamoff>(offset));
        file_.read(static_cast<char*>(into), static_cast<std::streamsize>(size));
        return static_cast<bool>(file_);
    }

private:
    std::ifstream file_;
    uint64_t size_ = 0;
};

uint64_t AlignUp(uint64_t value, uint64_t alignment) {
    return (value + alignment - 1) / alignment * alignment;
}

// Walks the notes of one note section; true when ours was found and read.
bool FindVersionNote(const std::vector<char>& notes, uint64_t alignment, FileVersion& version) {
    uint64_t at = 0;
    while (at + sizeof(Elf64_Nhdr) <= notes.size()) {
        Elf64_Nhdr header{};
        std::memcpy(&header, notes.data() + at, sizeof header);
        const uint64_t ownerAt = at + sizeof header;
        const uint64_t textAt = ownerAt + AlignUp(header.n_namesz, alignment);
        const uint64_t next = textAt + AlignUp(header.n_descsz, alignment);
        if (next > notes.size() || next <= at) return false;
        const bool ours = header.n_type == contract::kVersionNoteType &&
                          header.n_namesz == sizeof contract::kVersionNoteOwner &&
                          std::memcmp(notes.data() + ownerAt, contract::kVersionNoteOwner,
                                      sizeof contract::kVersionNoteOwner) == 0;
        if (ours) {
            // Two NUL-ended texts; a missing NUL ends the text at the note's end.
            const char* text = notes.data() + textAt;
            const size_t size = header.n_descsz;
            const size_t versionLength = strnlen(text, size);
            version.version.assign(text, versionLength);
            if (versionLength < size) {
                const char* commit = text + versionLength + 1;
                version.commit.assign(commit, strnlen(commit, size - versionLength - 1));
            }
            version.recorded = true;
            return true;
        }
        at = next;
    }
    return false;
}

std::string CheckHeader(const Elf64_Ehdr& header) {
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0) return "not an ELF file";
    if (header.e_ident[EI_CLASS] != ELFCLASS64 || header.e_ident[EI_DATA] != ELFDATA2LSB)
        return "not a 64-bit little-endian ELF file";
    if (header.e_shnum != 0 && header.e_shentsize != sizeof(Elf64_Shdr))
        return "section header size " + std::to_string(header.e_shentsize) + ", expected " +
               std::to_string(sizeof(Elf64_Shdr));
    return "";
}

}  // namespace

FileVersion ReadFileVersion(const std::string& path) {
    FileVersion version;
    FileReader file(path);
    Elf64_Ehdr header{};
    if (!file.Open()) {
        version.problem = "cannot open " + path;
        return version;
    }
    if (!file.ReadAt(0, &header, sizeof header)) {
        version.problem = path + ": too short for an ELF header";
        return version;
    }
    version.problem = CheckHeader(header);
    if (!version.problem.empty()) {
        version.problem = path + ": " + version.problem;
        return version;
    }
    for (uint16_t s = 0; s < header.e_shnum; ++s) {
        Elf64_Shdr section{};
        if (!file.ReadAt(header.e_shoff + uint64_t{s} * sizeof section, &section, sizeof section)) {
            version.problem = path + ": section header " + std::to_string(s) + " lies past the end";
            return version;
        }
        if (section.sh_type != SHT_NOTE || section.sh_size == 0 ||
            section.sh_size > kMaxNoteSectionBytes)
            continue;
        std::vector<char> notes(section.sh_size);
        if (!file.ReadAt(section.sh_offset, notes.data(), notes.size())) continue;
        // Notes are 4-byte aligned, or 8 in a section that says so.
        if (FindVersionNote(notes, section.sh_addralign == 8 ? 8 : 4, version)) return version;
    }
    return version;
}

std::string DescribeFileVersion(const FileVersion& version) {
    if (!version.problem.empty()) return "version unreadable: " + version.problem;
    if (!version.recorded) return "version not recorded in the file";
    return "version " + version.version + ", commit " + version.commit;
}

}  // namespace varnix::emulator
