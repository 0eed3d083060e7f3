#include "simhost/elf_file.h"

#include <elf.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>

#include "simhost/simhost_error.h"

namespace simhost {
namespace {

template <class T>
T read_at(const std::vector<uint8_t>& data, uint64_t offset, const std::string& path) {
    if (offset > data.size() || data.size() - offset < sizeof(T))
        throw SimhostError(path + ": truncated ELF file");
    T value;
    std::memcpy(&value, data.data() + offset, sizeof(T));
    return value;
}

std::string string_at(const std::vector<uint8_t>& table, uint32_t offset) {
    if (offset >= table.size()) return {};
    const auto begin = table.begin() + offset;
    return std::string(begin, std::find(begin, table.end(), uint8_t(0)));
}

}  // namespace

ElfFile::ElfFile(const std::string& path) : path_(path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw SimhostError("cannot open " + path + ": " + std::strerror(errno));
    data_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());

    if (data_.size() < sizeof(Elf64_Ehdr) || std::memcmp(data_.data(), ELFMAG, SELFMAG) != 0)
        throw SimhostError(path + " is not a shared library");
    const auto eh = read_at<Elf64_Ehdr>(data_, 0, path_);
    if (eh.e_ident[EI_CLASS] != ELFCLASS64 || eh.e_ident[EI_DATA] != ELFDATA2LSB)
        throw SimhostError(path + " is not a 64-bit little-endian library");
    if (eh.e_type != ET_DYN) throw SimhostError(path + " is not a shared library");
    if (eh.e_shentsize != sizeof(Elf64_Shdr)) throw SimhostError(path + ": unexpected section header size");

    std::vector<Elf64_Shdr> headers;
    for (uint16_t i = 0; i < eh.e_shnum; ++i)
        headers.push_back(read_at<Elf64_Shdr>(data_, eh.e_shoff + uint64_t(i) * sizeof(Elf64_Shdr), path_));
    if (eh.e_shstrndx >= headers.size()) throw SimhostError(path + ": no section name table");
    const Elf64_Shdr& names = headers[eh.e_shstrndx];
    if (names.sh_offset > data_.size() || data_.size() - names.sh_offset < names.sh_size)
        throw SimhostError(path + ": truncated ELF file");
    const std::vector<uint8_t> name_table(data_.begin() + long(names.sh_offset),
                                          data_.begin() + long(names.sh_offset + names.sh_size));
    for (const auto& h : headers)
        sections_.push_back({string_at(name_table, h.sh_name), h.sh_type, h.sh_offset, h.sh_size,
                             h.sh_link, h.sh_entsize});
}

const ElfFile::Section* ElfFile::find(const std::string& name) const {
    for (const auto& s : sections_)
        if (s.name == name) return &s;
    return nullptr;
}

std::vector<uint8_t> ElfFile::bytes_of(const Section& s) const {
    if (s.type == SHT_NOBITS) return std::vector<uint8_t>(s.size, 0);
    if (s.offset > data_.size() || data_.size() - s.offset < s.size)
        throw SimhostError(path_ + ": section " + s.name + " lies outside the file");
    return std::vector<uint8_t>(data_.begin() + long(s.offset), data_.begin() + long(s.offset + s.size));
}

std::optional<std::vector<uint8_t>> ElfFile::section(const std::string& name) const {
    const Section* s = find(name);
    if (s == nullptr) return std::nullopt;
    return bytes_of(*s);
}

std::vector<std::string> ElfFile::defined_dynamic_symbols() const {
    std::vector<std::string> out;
    const Section* dynsym = nullptr;
    for (const auto& s : sections_)
        if (s.type == SHT_DYNSYM) dynsym = &s;
    if (dynsym == nullptr) return out;
    if (dynsym->link >= sections_.size()) throw SimhostError(path_ + ": bad dynamic string table");
    const auto strings = bytes_of(sections_[dynsym->link]);
    const auto symbols = bytes_of(*dynsym);
    for (size_t off = 0; off + sizeof(Elf64_Sym) <= symbols.size(); off += sizeof(Elf64_Sym)) {
        Elf64_Sym sym;
        std::memcpy(&sym, symbols.data() + off, sizeof(sym));
        const unsigned bind = ELF64_ST_BIND(sym.st_info);
        if (sym.st_shndx == SHN_UNDEF || (bind != STB_GLOBAL && bind != STB_WEAK)) continue;
        out.push_back(string_at(strings, sym.st_name));
    }
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace simhost
