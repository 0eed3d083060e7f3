// Just enough of the ELF format to read a plug-in's property list and its
// exported symbols from the file itself, as a host reads resources: the
// headers and the sections asked for, each read from where the headers say
// and bounded, never the whole file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace simhost {

// The largest section read: a plug-in's property list and symbol tables
// take a few kilobytes (its debugging symbols some megabytes).
constexpr uint64_t kMaxSectionBytes = uint64_t(64) << 20;

class ElfFile {
public:
    // Throws SimhostError when the file cannot be read, is not a regular
    // file (a device or a pipe has no end to read to) or is not a 64-bit
    // little-endian ELF shared object.
    explicit ElfFile(const std::string& path);
    ~ElfFile();
    ElfFile(const ElfFile&) = delete;
    ElfFile& operator=(const ElfFile&) = delete;

    // The bytes of the named section, or nothing when it is absent.
    // SimhostError for a section outside the file or larger than
    // kMaxSectionBytes.
    std::optional<std::vector<uint8_t>> section(const std::string& name) const;

    // Names of the symbols the library defines in its dynamic symbol table
    // with global or weak binding, sorted.
    std::vector<std::string> defined_dynamic_symbols() const;

private:
    struct Section {
        std::string name;
        uint32_t type;
        uint64_t offset;
        uint64_t size;
        uint32_t link;
        uint64_t entsize;
    };
    const Section* find(const std::string& name) const;
    std::vector<uint8_t> bytes_of(const Section& s) const;
    // `size` bytes at `offset`, which the file must hold.
    std::vector<uint8_t> read(uint64_t offset, uint64_t size) const;

    std::string path_;
    int fd_ = -1;
    uint64_t file_size_ = 0;
    std::vector<Section> sections_;
};

}  // namespace simhost
