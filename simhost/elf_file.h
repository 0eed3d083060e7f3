// Just enough of the ELF format to read a plug-in's property list and its
// exported symbols from the file itself, as a host reads resources.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace simhost {

class ElfFile {
public:
    // Throws SimhostError when the file cannot be read or is not a 64-bit
    // little-endian ELF shared object.
    explicit ElfFile(const std::string& path);

    // The bytes of the named section, or nothing when it is absent.
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

    std::string path_;
    std::vector<uint8_t> data_;
    std::vector<Section> sections_;
};

}  // namespace simhost
