// The version a binary records in its file, read back without loading it:
// from the real module and station, and from files that are not what the
// reader hopes (missing, not ELF, cut short, a note that lies about its size).
#include "contract/build_version.h"
#include "contract/version_note.h"
#include "emulator/module_version.h"
#include "tests/emulator/run_process.h"

#include <gtest/gtest.h>

#include <elf.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace varnix::emulator::testing {
namespace {

namespace fs = std::filesystem;

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

class ScratchFolder {
public:
    ScratchFolder()
        : path_(fs::temp_directory_path() / ("file_version_" + std::to_string(getpid()))) {
        fs::create_directories(path_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    std::string Write(const std::string& name, const std::vector<char>& bytes) const {
        const std::string path = (path_ / name).string();
        std::ofstream(path, std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path;
    }

private:
    fs::path path_;
};

// A minimal ELF64 file: its header, one note section holding `notes`, and
// the section header table after it.
std::vector<char> ElfWithNotes(const std::vector<char>& notes) {
    Elf64_Ehdr header{};
    std::memcpy(header.e_ident, ELFMAG, SELFMAG);
    header.e_ident[EI_CLASS] = ELFCLASS64;
    header.e_ident[EI_DATA] = ELFDATA2LSB;
    header.e_ident[EI_VERSION] = EV_CURRENT;
    header.e_type = ET_DYN;
    header.e_machine = EM_X86_64;
    header.e_ehsize = sizeof header;
    header.e_shentsize = sizeof(Elf64_Shdr);
    header.e_shnum = 2;
    header.e_shoff = sizeof header + notes.size();
    Elf64_Shdr sections[2]{};
    sections[1].sh_type = SHT_NOTE;
    sections[1].sh_offset = sizeof header;
    sections[1].sh_size = notes.size();
    sections[1].sh_addralign = 4;
    std::vector<char> file(sizeof header + notes.size() + sizeof sections);
    std::memcpy(file.data(), &header, sizeof header);
    if (!notes.empty()) std::memcpy(file.data() + sizeof header, notes.data(), notes.size());
    std::memcpy(file.data() + header.e_shoff, sections, sizeof sections);
    return file;
}

std::vector<char> Bytes(const contract::VersionNote& note) {
    const char* at = reinterpret_cast<const char*>(&note);
    return {at, at + sizeof note};
}

TEST(FileVersion, TheBuiltModuleAndStationCarryThisBuildsVersion) {
    for (const char* file : {"/VarnixViconPlugin.vdd", "/libVarnixAPI2.so"}) {
        const FileVersion version = ReadFileVersion(BinDir() + file);
        EXPECT_TRUE(version.problem.empty()) << version.problem;
        EXPECT_TRUE(version.recorded) << file;
        EXPECT_EQ(version.version, VARNIX_VERSION_TEXT) << file;
        EXPECT_EQ(version.commit, VARNIX_VERSION_COMMIT) << file;
        EXPECT_EQ(DescribeFileVersion(version), std::string("version ") + VARNIX_VERSION_TEXT +
                                                    ", commit " + VARNIX_VERSION_COMMIT);
    }
}

TEST(FileVersion, FilesWithoutOurNoteSayWhyAndNeverReadPastTheirEnd) {
    const ScratchFolder scratch;
    // The test program itself is an ELF file with notes, none of them ours.
    const FileVersion plain = ReadFileVersion(BinDir() + "/release_version_tests");
    EXPECT_FALSE(plain.recorded);
    EXPECT_EQ(plain.problem, "");
    EXPECT_EQ(DescribeFileVersion(plain), "version not recorded in the file");

    EXPECT_EQ(ReadFileVersion(BinDir() + "/no_such.vdd").problem,
              "cannot open " + BinDir() + "/no_such.vdd");
    const std::string text = scratch.Write("text.vdd", {'h', 'e', 'l', 'l', 'o'});
    EXPECT_EQ(ReadFileVersion(text).problem, text + ": too short for an ELF header");
    const std::string notElf = scratch.Write("not_elf.vdd", std::vector<char>(200, 'x'));
    EXPECT_EQ(DescribeFileVersion(ReadFileVersion(notElf)),
              "version unreadable: " + notElf + ": not an ELF file");

    // The module cut after its ELF header: the section table lies past the end.
    std::vector<char> module = ReadAll(BinDir() + "/VarnixViconPlugin.vdd");
    ASSERT_GT(module.size(), 4096u);
    module.resize(sizeof(Elf64_Ehdr) + 16);
    const FileVersion cut = ReadFileVersion(scratch.Write("cut.vdd", module));
    EXPECT_FALSE(cut.recorded);
    EXPECT_NE(cut.problem.find("lies past the end"), std::string::npos) << cut.problem;

    std::vector<char> thirtyTwo = ElfWithNotes({});
    thirtyTwo[EI_CLASS] = ELFCLASS32;
    EXPECT_NE(ReadFileVersion(scratch.Write("elf32.so", thirtyTwo)).problem.find("not a 64-bit"),
              std::string::npos);
}

TEST(FileVersion, ANoteIsReadOnlyWithinItsSection) {
    const ScratchFolder scratch;
    const contract::VersionNote note = contract::MakeVersionNote("2.3.4", "abc123");
    const FileVersion good = ReadFileVersion(scratch.Write("good.so", ElfWithNotes(Bytes(note))));
    EXPECT_TRUE(good.recorded);
    EXPECT_EQ(good.version, "2.3.4");
    EXPECT_EQ(good.commit, "abc123");

    // Guards against a reader that trusts the note's own size: a description
    // said to be longer than the section must not be read.
    contract::VersionNote lying = note;
    lying.textSize = 4096;
    const FileVersion overrun =
        ReadFileVersion(scratch.Write("lying.so", ElfWithNotes(Bytes(lying))));
    EXPECT_FALSE(overrun.recorded);
    EXPECT_EQ(overrun.problem, "");

    // Another owner's note of the same type comes first and is skipped.
    contract::VersionNote other = note;
    std::memcpy(other.owner, "GNU\0\0\0\0", sizeof other.owner);
    other.ownerSize = 4;
    std::vector<char> both = Bytes(other);
    both.erase(both.begin() + 16, both.begin() + 20);  // a 4-byte owner takes 4 bytes, not 8
    const std::vector<char> ours = Bytes(note);
    both.insert(both.end(), ours.begin(), ours.end());
    const FileVersion second = ReadFileVersion(scratch.Write("second.so", ElfWithNotes(both)));
    EXPECT_TRUE(second.recorded);
    EXPECT_EQ(second.version, "2.3.4");
}

TEST(FileVersion, LongTextsAreCutToFitTheNote) {
    const std::string longText(300, '7');
    const contract::VersionNote note =
        contract::MakeVersionNote(longText.c_str(), longText.c_str());
    // Both texts keep their NUL inside the description.
    EXPECT_EQ(note.text[contract::kVersionNoteTextSize - 1], '\0');
    const size_t versionLength = strnlen(note.text, contract::kVersionNoteTextSize);
    EXPECT_EQ(versionLength, contract::kVersionNoteTextSize - 2);
    EXPECT_EQ(note.text[versionLength], '\0');
    EXPECT_EQ(note.ownerSize, sizeof contract::kVersionNoteOwner);
    EXPECT_STREQ(note.owner, "Varnix");
}

}  // namespace
}  // namespace varnix::emulator::testing
